// Documents we write, converted to text by LibreOffice: it must find the
// same text in them that we have. One soffice run converts the whole batch.

#include "engine/DocumentModel.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/formats/RtfFilter.h"
#include "support/RichDocumentBuilder.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

// The peer puts table cells and list labels on lines of their own and
// turns pictures into nothing, so white space and U+FFFC are not compared.
QString normalised(const QString &text)
{
    QString result;
    for (const QChar c : withUniformBullets(text)) {
        if (!c.isSpace() && c != QChar::ObjectReplacementCharacter && c != QChar(0xFEFF))
            result.append(c);
    }
    return result;
}

// Characters that Shift-JIS lacks, symbols with control words of their own,
// and text in a table with merged cells.
void buildMixedScripts(DocumentModel &model)
{
    QTextCursor cursor(model.document());
    QTextCharFormat format;
    format.setFontFamilies(QStringList{QStringLiteral("IPAMincho")});
    format.setFontPointSize(10.5);
    cursor.insertText(QStringLiteral("日本語とEnglish、한국어、简体中文、Ελληνικά、café、\U0001F600。"), format);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("“quotes” — dash – bullet • {braces} back\\slash ｶﾀｶﾅ ①②"), format);
    cursor.insertBlock();
    QTextTable *table = cursor.insertTable(2, 3);
    const QStringList cells = {QStringLiteral("結合"), QString(), QStringLiteral("右"),
                               QStringLiteral("下1"), QStringLiteral("下2"), QStringLiteral("下3")};
    for (int i = 0; i < cells.size(); ++i)
        table->cellAt(i / 3, i % 3).firstCursorPosition().insertText(cells.at(i), format);
    table->mergeCells(0, 0, 1, 2);
}

QByteArray rtfOf(const DocumentModel &model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!RtfFilter().write(buffer, model, {}, &error))
        qWarning() << error;
    return buffer.data();
}

} // namespace

class tst_RtfPeer : public QObject
{
    Q_OBJECT

private slots:
    void libreOfficeReadsWhatWeWrite();
};

void tst_RtfPeer::libreOfficeReadsWhatWeWrite()
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice (soffice) is not installed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QMap<QString, QString> expected; // file stem -> our text

    auto add = [&](const QString &stem, const DocumentModel &model) {
        QFile file(dir.filePath(stem + QLatin1String(".rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(rtfOf(model));
        expected.insert(stem, PlainTextFilter::documentText(*model.document(), QStringLiteral("\n")));
    };

    DocumentModel rich;
    RichDocumentBuilder(QString(), RichDocumentBuilder::ParagraphFrames).build(rich);
    add(QStringLiteral("rich"), rich);
    DocumentModel mixed;
    buildMixedScripts(mixed);
    add(QStringLiteral("mixed"), mixed);

    // Other programs' files, as we write them after reading them.
    const QString shared = sharedDir();
    if (!shared.isEmpty()) {
        const QDir corpus(shared + QLatin1String("/corpus/rtf"));
        for (const QFileInfo &info : corpus.entryInfoList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name)) {
            QFile in(info.filePath());
            QVERIFY(in.open(QIODevice::ReadOnly));
            DocumentModel model;
            QString error;
            if (RtfFilter().read(in, model, {}, &error))
                add(QStringLiteral("corpus_") + info.completeBaseName(), model);
        }
    }

    QStringList arguments = {QStringLiteral("-env:UserInstallation=")
                                 + QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
                             QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                             QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"),
                             dir.filePath(QStringLiteral("out"))};
    for (const QString &stem : expected.keys())
        arguments.append(dir.filePath(stem + QLatin1String(".rtf")));
    QProcess process;
    process.start(soffice, arguments);
    QVERIFY2(process.waitForFinished(240000), "soffice did not finish in four minutes");

    QStringList misses;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QFile out(dir.filePath(QStringLiteral("out/") + it.key() + QLatin1String(".txt")));
        if (!out.open(QIODevice::ReadOnly)) {
            misses.append(it.key() + QLatin1String(" (no output)"));
            continue;
        }
        const QString theirs = normalised(QString::fromUtf8(out.readAll()));
        const QString ours = normalised(it.value());
        if (theirs != ours) {
            qsizetype at = 0;
            while (at < std::min(theirs.size(), ours.size()) && theirs.at(at) == ours.at(at))
                ++at;
            misses.append(QStringLiteral("%1 at %2: ours \"%3\" theirs \"%4\"")
                              .arg(it.key()).arg(at).arg(ours.mid(at, 20), theirs.mid(at, 20)));
        }
    }
    QVERIFY2(misses.isEmpty(), qPrintable(misses.join(QLatin1String("; "))));
}

QTEST_MAIN(tst_RtfPeer)
#include "tst_RtfPeer.moc"
