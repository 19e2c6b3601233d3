#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <QDir>
#include <QFileInfo>

namespace tamapiko::test {

QString sharedDir()
{
    const QString configured = qEnvironmentVariable("TAMAPIKO_SHARED_DIR", QStringLiteral(TAMAPIKO_SHARED_DIR));
    const QFileInfo info(configured);
    return info.isDir() ? info.canonicalFilePath() : QString();
}

QString withUniformBullets(const QString &text)
{
    static const QString bullets = QStringLiteral("•◦▪▫■□●○‣⁃–—-·o➢✓\uF0A7\uF0B7");
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        qsizetype at = 0;
        while (at < line.size() && line.at(at).isSpace())
            ++at;
        if (at + 1 < line.size() && bullets.contains(line.at(at)) && line.at(at + 1).isSpace())
            line[at] = QChar(0x2022);
    }
    return lines.join(QLatin1Char('\n'));
}

// White space differs between extractors (cells on lines, tabs after list
// labels), so it is dropped; U+FFFD and the reference tool's "?" both mean
// "undecodable", and pictures have no text.
QString normalisedCorpusText(const QString &raw)
{
    const QString text = withUniformBullets(QString(raw).replace(QChar::LineSeparator, QLatin1Char('\n'))
                                                .replace(QChar::ParagraphSeparator, QLatin1Char('\n')));
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (c.isSpace() || c == QChar::ObjectReplacementCharacter || c == QChar(0x200B) || c == QChar(0xFEFF))
            continue;
        result.append(c == QChar::ReplacementCharacter ? QLatin1Char('?') : c);
    }
    return result;
}

int firstTextDifference(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a.at(i) != b.at(i))
            return int(i);
    }
    return int(n);
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

} // namespace tamapiko::test
