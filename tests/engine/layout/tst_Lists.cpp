// Numbered and bulleted lists: read from RTF list tables and HTML, numbered
// as they are drawn (so the numbers follow every edit), printed, and
// written back.

#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"
#include "support/SavedAndReopened.h"
#include "support/TestSupport.h"
#include "support/PdfProbe.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>
#include <QtTest>

namespace {

// A list of two levels whose second level restarts under each item of the
// first, then a bullet list. The \listtext numbers are wrong on purpose:
// the list's own numbering must win over them.
const char kListRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}{\\f1\\fcharset2 Symbol;}}"
    "{\\*\\listtable"
    "{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li720}"
    "{\\listlevel\\levelnfc4\\levelstartat1{\\leveltext\\'02\\'01);}{\\levelnumbers\\'01;}\\fi-360\\li1440}\\listid7}"
    "{\\list\\listtemplateid2{\\listlevel\\levelnfc23{\\leveltext\\'01\\u-3913 ?;}\\f1\\fi-360\\li720}\\listid9}}"
    "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid9\\listoverridecount0\\ls2}}\n"
    "{\\listtext X.\\tab}\\pard\\ls1\\ilvl0\\fi-360\\li720 alpha\\par\n"
    "{\\listtext X.\\tab}\\pard\\ls1\\ilvl1\\fi-360\\li1440 beta\\par\n"
    "{\\listtext X.\\tab}\\pard\\ls1\\ilvl1\\fi-360\\li1440 gamma\\par\n"
    "{\\listtext X.\\tab}\\pard\\ls1\\ilvl0\\fi-360\\li720 delta\\par\n"
    "{\\listtext X.\\tab}\\pard\\ls1\\ilvl1\\fi-360\\li1440 epsilon\\par\n"
    "{\\listtext X.\\tab}\\pard\\ls2\\ilvl0\\fi-360\\li720 bullet\\par\n"
    "\\pard plain\\par}";

const QString kListText = QStringLiteral("1.alphaa)betab)gamma2.deltaa)epsilon\u2022bulletplain");

// The first page as PrintPage draws it into a PDF, read back as text.
QString printedText(TTextEngine &engine, const QTemporaryDir &dir)
{
    const QStringList pages = tamapiko::test::printedPageTexts(engine, dir.filePath(QStringLiteral("print.pdf")));
    return pages.isEmpty() ? QString() : pages.first();
}

QTextBlock blockWithText(QTextDocument *document, const QString &text)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.text() == text)
            return block;
    }
    return {};
}

// Where the first line of the paragraph holding `text` starts, twips.
int firstLineX(TTextEngine &engine, const QString &text)
{
    engine.CurrentPages(); // laid out
    const QTextBlock block = blockWithText(engine.document(), text);
    return block.isValid() && block.layout()->lineCount() > 0 ? int(block.layout()->lineAt(0).x()) : -1;
}

} // namespace

class tst_Lists : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        if (!tamapiko::test::havePdfTools())
            QSKIP("poppler-utils (pdftotext) not installed");
    }

    void rtfListsAreNumberedDrawnAndWrittenBack_data()
    {
        tamapiko::test::addRtfSavedAsRows();
    }

    void rtfListsAreNumberedDrawnAndWrittenBack()
    {
        QFETCH(int, savedAs);
        TTextEngine read;
        TTextEngine saved;
        TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(kListRtf, read, saved, savedAs, m_dir);
        QVERIFY(engine);
        // The numbers are not text of the document, only drawn.
        QCOMPARE(engine->document()->toPlainText(),
                 QStringLiteral("alpha\nbeta\ngamma\ndelta\nepsilon\nbullet\nplain"));
        QCOMPARE(printedText(*engine, m_dir), kListText);
        // Saved as text, each item begins with what the page shows before it.
        const QString text = m_dir.filePath(QStringLiteral("list.txt"));
        QCOMPARE(engine->SaveDocument(text, 0, 1, 0), 0);
        QFile file(text);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QStringLiteral("    1. alpha\n        a) beta\n        b) gamma\n    2. delta\n        a) epsilon\n"
                                "    \u2022 bullet\nplain"));
        // The text after the number starts at the hanging indent.
        QCOMPARE(firstLineX(*engine, QStringLiteral("alpha")), 720);
        QCOMPARE(firstLineX(*engine, QStringLiteral("beta")), 1440);
        QCOMPARE(firstLineX(*engine, QStringLiteral("plain")), 0);
    }

    void numbersFollowTheUsersEdits()
    {
        TTextEngine engine;
        engine.resize(800, 600);
        engine.show();
        QVERIFY(QTest::qWaitForWindowExposed(&engine));
        QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(m_dir, QStringLiteral("edit.rtf"), kListRtf), 0, 5, 0), 0);
        engine.setFocus();

        // A new paragraph after "delta" is the next item of its level.
        engine.setSelStart(blockWithText(engine.document(), QStringLiteral("delta")).position() + 5);
        QTest::keyClick(&engine, Qt::Key_Return);
        QTest::keyClicks(&engine, QStringLiteral("zeta"));
        QCOMPARE(printedText(engine, m_dir),
                 QStringLiteral("1.alphaa)betab)gamma2.delta3.zetaa)epsilon\u2022bulletplain"));

        // Deleting the first item renumbers the rest.
        engine.setSelStart(0);
        QTest::keyClick(&engine, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&engine, Qt::Key_Delete);
        // (The paragraph that stays is beta's, a second-level item; delta is
        // now the first item of the first level.)
        QCOMPARE(printedText(engine, m_dir), QStringLiteral("a)betab)gamma1.delta2.zetaa)epsilon\u2022bulletplain"));

        // Undo the deletion, the typing and the new paragraph.
        for (int step = 0; step < 3; ++step)
            QTest::keyClick(&engine, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(printedText(engine, m_dir), kListText);
    }

    void htmlListsAreNumbered()
    {
        const QByteArray html = "<html><body><ol><li>one</li><li>two<ol type=\"a\"><li>inner</li></ol></li>"
                                "<li>three</li></ol><ul><li>dot</li></ul><p>after</p></body></html>";
        TTextEngine engine;
        QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(m_dir, QStringLiteral("list.html"), html), 0, 4, 0), 0);
        QCOMPARE(printedText(engine, m_dir), QStringLiteral("1.one2.twoa.inner3.three\u2022dotafter"));
        // Each level indented by its own step, the number hanging before it.
        QCOMPARE(firstLineX(engine, QStringLiteral("one")), 360);
        QCOMPARE(firstLineX(engine, QStringLiteral("inner")), 720);
    }
};

QTEST_MAIN(tst_Lists)
#include "tst_Lists.moc"
