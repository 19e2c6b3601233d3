// Every RTF file of the shared corpus (written by other programs) is read;
// its text must match what another word processor extracted from it,
// writing it out and reading it back must keep that text, and our own RTF
// read back must be written again byte for byte: the reader takes in all
// the writer says.

#include "engine/DocumentModel.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/formats/RtfFilter.h"
#include "support/FilterBytes.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QTextDocument>
#include <QtTest>

using namespace tamapiko::engine;
using namespace tamapiko::test;

namespace {

bool load(const QByteArray &data, DocumentModel &model, QString *error)
{
    return readWith(RtfFilter(), data, model, error);
}

QByteArray save(const DocumentModel &model)
{
    return writeWith(RtfFilter(), model);
}

// The text a user saving the document as text gets (list numbers
// included), as the reference texts were made.
QString plainText(const DocumentModel &model)
{
    return PlainTextFilter::documentText(*model.document(), QStringLiteral("\n"));
}

} // namespace

class tst_RtfCorpus : public QObject
{
    Q_OBJECT

private slots:
    void everyFileMatchesItsReferenceText();
};

void tst_RtfCorpus::everyFileMatchesItsReferenceText()
{
    TAMAPIKO_REQUIRE_SHARED(corpus, "corpus/rtf");
    const QFileInfoList files = QDir(corpus).entryInfoList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());

    int compared = 0;
    int matched = 0;
    QStringList roundTripLosses;
    QStringList rewrittenDifferently;
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();

        QElapsedTimer timer;
        timer.start();
        DocumentModel model;
        QString error;
        const bool ok = load(data, model, &error);
        const QString text = normalisedCorpusText(plainText(model));

        // Written and read back, the text must survive whatever else happens.
        const QByteArray ours = save(model);
        DocumentModel reloaded;
        QVERIFY2(load(ours, reloaded, &error), qPrintable(info.fileName() + QLatin1String(": ") + error));
        if (normalisedCorpusText(plainText(reloaded)) != text)
            roundTripLosses.append(info.fileName());
        if (save(reloaded) != ours)
            rewrittenDifferently.append(info.fileName());

        const QString refPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1String(".ref.txt");
        if (!QFileInfo::exists(refPath)) {
            qInfo("%-60s no reference; read %s in %lld ms", qPrintable(info.fileName()),
                  ok ? "ok" : qPrintable(QLatin1String("refused: ") + error), timer.elapsed());
            continue;
        }
        QFile ref(refPath);
        QVERIFY(ref.open(QIODevice::ReadOnly));
        const QString expected = normalisedCorpusText(QString::fromUtf8(ref.readAll()));
        ++compared;
        const bool same = ok && text == expected;
        matched += same ? 1 : 0;
        if (same) {
            qInfo("%-60s match (%lld chars, %lld ms)", qPrintable(info.fileName()), qsizetype(text.size()),
                  timer.elapsed());
        } else {
            const int at = firstTextDifference(text, expected);
            qInfo("%-60s MISS at %d: ours \"%s\" reference \"%s\"", qPrintable(info.fileName()), at,
                  qPrintable(text.mid(std::max(0, at - 10), 40)), qPrintable(expected.mid(std::max(0, at - 10), 40)));
        }
    }
    qInfo("%d of %d files match their reference text", matched, compared);
    QVERIFY2(roundTripLosses.isEmpty(), qPrintable(QLatin1String("text changed by write and read: ")
                                                   + roundTripLosses.join(QLatin1String(", "))));
    QVERIFY2(rewrittenDifferently.isEmpty(), qPrintable(QLatin1String("our RTF read back is written differently: ")
                                                        + rewrittenDifferently.join(QLatin1String(", "))));
    QVERIFY2(matched * 100 >= compared * 95, qPrintable(QStringLiteral("%1 of %2 match").arg(matched).arg(compared)));
}

QTEST_MAIN(tst_RtfCorpus)
#include "tst_RtfCorpus.moc"
