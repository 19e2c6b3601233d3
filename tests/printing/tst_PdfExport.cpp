// `tamapiko --convert IN out.pdf`: the printed pages of a document as a
// PDF, checked against the pages the engine laid out: their number, size
// and text, for every RTF file of the corpus.

#include "app/ConvertCommand.h"
#include "app/PageSettings.h"
#include "document/DefaultPage.h"
#include "document/DocumentFile.h"
#include "document/DocumentFileTypes.h"
#include "engine/TTextEngine.h"
#include "support/PdfProbe.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

using namespace tamapiko::test;

namespace {

int convert(const QString &in, const QString &out, QString *messages)
{
    QTextStream errors(messages);
    return runConvertCommand({in, out}, errors);
}

} // namespace

class tst_PdfExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (!havePdfTools())
            QSKIP("poppler-utils (pdfinfo, pdftotext) not installed");
    }

    void corpusPagesAreTheEnginesPages_data()
    {
        QTest::addColumn<QString>("path");
        const QString corpus = sharedDir() + QStringLiteral("/corpus/rtf");
        const QStringList files = QDir(corpus).entryList({QStringLiteral("*.rtf")}, QDir::Files, QDir::Name);
        if (sharedDir().isEmpty() || files.isEmpty())
            QSKIP("shared corpus not present");
        for (const QString &file : files)
            QTest::newRow(qPrintable(file)) << QDir(corpus).filePath(file);
    }

    void corpusPagesAreTheEnginesPages()
    {
        QFETCH(QString, path);
        const QString pdf = m_dir.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".pdf"));
        QString messages;
        const int status = convert(path, pdf, &messages);

        // The same document as a window opens it.
        TTextEngine engine;
        const DefaultPage start = defaultPageForLanguage(engine.Language());
        engine.setPageWidth(start.pageWidth);
        engine.setPageHeight(start.pageHeight);
        PageSettingsRecord page;
        QString reason;
        if (!tamapiko::document::loadDocumentFile(engine, path, 5, page, &reason)) {
            // A file the program refuses is refused by the export too.
            QCOMPARE(status, 1);
            QVERIFY(!QFileInfo::exists(pdf));
            return;
        }
        QVERIFY2(status == 0, qPrintable(messages));

        const PdfFacts facts = pdfFacts(pdf);
        QCOMPARE(facts.pages, engine.CurrentPages());
        QVERIFY(qAbs(facts.pageSize.width() - engine.PageWidth() / 20.0) <= 1.0);
        QVERIFY(qAbs(facts.pageSize.height() - engine.PageHeight() / 20.0) <= 1.0);

        const QStringList printed = pdfPageTexts(pdf);
        const QStringList laidOut = enginePageTexts(&engine);
        QCOMPARE(printed.size(), laidOut.size());
        QStringList differing;
        for (int i = 0; i < printed.size(); ++i) {
            // Compatibility forms compared as their characters: a font that
            // draws 用 and the radical ⽤ with one glyph gives the PDF reader
            // the radical back.
            if (withoutSpaces(printed[i]).normalized(QString::NormalizationForm_KC)
                != withoutSpaces(laidOut[i]).normalized(QString::NormalizationForm_KC)) {
                differing << QString::number(i + 1);
            }
        }
        QVERIFY2(differing.isEmpty(), qPrintable(QStringLiteral("pages ") + differing.join(u',')));
    }

    void aParagraphBrokenAcrossPagesPrintsEachLineOnce()
    {
        // One long paragraph of numbered words runs over three pages: each
        // word is printed once, on the page the caret finds it on.
        QString text;
        for (int i = 1; i <= 1500; ++i)
            text += QStringLiteral("w%1 ").arg(i, 4, 10, QLatin1Char('0'));
        const QString source = writeFile(m_dir, QStringLiteral("long.txt"), text.toUtf8());
        QVERIFY(!source.isEmpty());
        const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
        QString messages;
        QCOMPARE(convert(source, pdf, &messages), 0);

        TTextEngine engine;
        const DefaultPage start = defaultPageForLanguage(engine.Language());
        engine.setPageWidth(start.pageWidth);
        engine.setPageHeight(start.pageHeight);
        PageSettingsRecord page;
        QVERIFY(tamapiko::document::loadDocumentFile(engine, source, *tamapiko::document::formatForFileName(source), page, nullptr));
        const QStringList printed = pdfPageTexts(pdf);
        const QStringList laidOut = enginePageTexts(&engine);
        QVERIFY(printed.size() >= 3);
        QCOMPARE(printed.size(), laidOut.size());
        for (int i = 0; i < printed.size(); ++i)
            QCOMPARE(withoutSpaces(printed[i]), withoutSpaces(laidOut[i]));
        const QString all = printed.join(QString());
        QCOMPARE(all.count(QStringLiteral("w0001")), 1);
        QCOMPARE(all.count(QStringLiteral("w1500")), 1);
    }

    void badCommandLinesAndTargets()
    {
        TAMAPIKO_REQUIRE_SHARED(source, "corpus/rtf/kota7_cp932.rtf");
        QString messages;
        // A PDF is written, never read.
        QCOMPARE(convert(m_dir.filePath(QStringLiteral("in.pdf")), m_dir.filePath(QStringLiteral("out.rtf")), &messages), 2);
        // A folder that does not exist: an error, no file.
        const QString nowhere = m_dir.filePath(QStringLiteral("missing/out.pdf"));
        QCOMPARE(convert(source, nowhere, &messages), 1);
        QVERIFY(messages.contains(nowhere));

        // Writing over an older PDF replaces it whole, and leaves nothing
        // else beside it.
        const QString target = m_dir.filePath(QStringLiteral("again.pdf"));
        QCOMPARE(convert(source, target, &messages), 0);
        const qint64 first = QFileInfo(target).size();
        QCOMPARE(convert(source, target, &messages), 0);
        QCOMPARE(QFileInfo(target).size(), first);
        const QStringList hidden = QDir(m_dir.path()).entryList({QStringLiteral(".again*")}, QDir::Files | QDir::Hidden);
        QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(u' ')));
    }
};

QTEST_MAIN(tst_PdfExport)
#include "tst_PdfExport.moc"
