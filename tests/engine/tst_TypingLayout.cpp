// Typing into a long formatted document lays out only what the key touched,
// and the layout it leaves is the one a fresh layout of the same text gives.

#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using tamapiko::engine::PageFrame;
using tamapiko::engine::PageLayout;

namespace {

// Paragraphs with bold Japanese runs in a Japanese font, and a small table
// now and then; headings kept with the paragraph after them, paragraphs kept
// whole, widow control and footnotes: what a long document written
// elsewhere looks like. With `sections`, a part in two columns whose end is
// balanced above a section that goes on on the same page, and one in three.
QByteArray formattedRtf(int paragraphs, bool sections = false)
{
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
                     "\\'96\\'be\\'92\\'a9;}{\\f1\\fswiss Arial;}}\\widowctrl\n";
    for (int i = 0; i < paragraphs; ++i) {
        if (sections && i == paragraphs / 4)
            rtf += "\\sect\\sectd\\cols2\\colsx500\\linebetcol\n";
        if (sections && i == paragraphs / 2 + 7)
            rtf += "\\sect\\sectd\\sbknone\n";
        if (sections && i == paragraphs * 3 / 4)
            rtf += "\\sect\\sectd\\sbknone\\cols3\n";
        if (i % 7 == 3)
            rtf += "\\pard\\plain\\keepn\\f0\\fs28 Heading " + QByteArray::number(i) + "\\par\n";
        rtf += "\\pard\\plain" + QByteArray(i % 17 == 5 ? "\\keep" : "") + "\\f0\\fs21 Paragraph " + QByteArray::number(i)
            + " {\\b \\u22826?\\u23383? bold} then plain words that run on long enough to wrap onto a "
              "second line of the page, {\\i italic} and {\\f1 Arial} too.";
        if (i % 13 == 2)
            rtf += "{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} A note on paragraph " + QByteArray::number(i)
                + " that is long enough to need a second line at the foot of the page, or nearly.}";
        if (i == 150)
            rtf += "{\\super\\chftn}{\\footnote\\ftnalt\\pard\\plain{\\super\\chftn} An endnote.}";
        rtf += "\\par\n";
        if (i % 40 == 39) {
            rtf += "\\trowd\\cellx3000\\cellx6000\\pard\\intbl {\\b cell} one\\cell two\\cell\\row\n"
                   "\\trowd\\cellx3000\\cellx6000\\pard\\intbl three\\cell four\\cell\\row\n";
        }
    }
    return rtf + "}";
}

// Where the note marks of `document` start, in order.
QList<int> notePositions(const QTextDocument &document)
{
    QList<int> positions;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(tamapiko::engine::CharNote))
                positions.append(it.fragment().position());
        }
    }
    return positions;
}

PageLayout *layoutOf(TTextEngine &engine)
{
    return qobject_cast<PageLayout *>(engine.document()->documentLayout());
}

} // namespace

class tst_TypingLayout : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void keysLayOutOnlyTheirParagraph();
    void layoutAfterTypingEqualsAFreshOne_data();
    void layoutAfterTypingEqualsAFreshOne();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void tst_TypingLayout::init()
{
    m_path = m_dir.filePath(QStringLiteral("long.rtf"));
    QFile file(m_path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(formattedRtf(400));
}

void tst_TypingLayout::keysLayOutOnlyTheirParagraph()
{
    TTextEngine engine;
    engine.resize(900, 700);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    QCOMPARE(engine.LoadDocument(m_path, 0, 5, 0), 0);
    QVERIFY(engine.CurrentPages() > 10);
    PageLayout *layout = layoutOf(engine);
    QVERIFY(layout);
    engine.setFocus();
    QCoreApplication::processEvents();

    const int length = engine.document()->characterCount() - 1;
    for (const int position : {0, length / 2, length}) {
        engine.setSelStart(position);
        QCoreApplication::processEvents();
        for (const char *keys : {"ab", "c"}) {
            const int before = layout->brokenBlockCount();
            QTest::keyClicks(&engine, QString::fromLatin1(keys));
            QCoreApplication::processEvents();   // paint, toolbar and status bar
            // The paragraph typed into and its two neighbours, per key.
            QVERIFY2(layout->brokenBlockCount() - before <= 3 * int(qstrlen(keys)),
                     qPrintable(QStringLiteral("%1 blocks laid out again for a key at %2")
                                    .arg(layout->brokenBlockCount() - before)
                                    .arg(position)));
        }
    }
}

void tst_TypingLayout::layoutAfterTypingEqualsAFreshOne_data()
{
    QTest::addColumn<qint64>("foregroundBudgetMs");
    QTest::addColumn<bool>("sections");
    QTest::newRow("edits stacked at once") << qint64(1000) << false;
    // Every key leaves the pages below it to the background, and the next
    // key arrives before the background has caught up.
    QTest::newRow("rest stacked in the background") << qint64(0) << false;
    QTest::newRow("sections in columns") << qint64(1000) << true;
    QTest::newRow("sections in columns, in the background") << qint64(0) << true;
}

void tst_TypingLayout::layoutAfterTypingEqualsAFreshOne()
{
    QFETCH(qint64, foregroundBudgetMs);
    QFETCH(bool, sections);
    if (sections) {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(formattedRtf(400, true));
    }
    TTextEngine engine;
    engine.resize(900, 700);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    QCOMPARE(engine.LoadDocument(m_path, 0, 5, 0), 0);
    QCOMPARE(layoutOf(engine)->sectionCount(), sections ? 4 : 1);
    engine.CurrentPages();
    layoutOf(engine)->setForegroundBudget(foregroundBudgetMs);
    engine.setFocus();

    // Words, a new paragraph that pushes everything below it down, and a
    // deletion, near the start and in the middle.
    const int length = engine.document()->characterCount() - 1;
    for (const int position : {5, length / 2}) {
        engine.setSelStart(position);
        QTest::keyClicks(&engine, QStringLiteral("typed words "));
        QTest::keyClick(&engine, Qt::Key_Return);
        // The screen shows the pages below before the background catches
        // up; then keys that keep the line count, right after one that
        // moved every line below.
        engine.viewport()->repaint();
        QTest::keyClicks(&engine, QStringLiteral("xy"));
        QTest::keyClick(&engine, Qt::Key_Backspace);
        QTest::keyClick(&engine, Qt::Key_Backspace);
        QCoreApplication::processEvents();
    }
    engine.setSelStart(length / 3);
    QTest::keyClick(&engine, Qt::Key_Return);
    QTest::keyClick(&engine, Qt::Key_Z);
    // The first footnote's mark ("1") deleted: its note leaves the page.
    // Words typed right before and right after the next marks.
    const QList<int> marks = notePositions(*engine.document());
    QVERIFY(marks.size() > 4);
    engine.setSelStart(marks[0] + 1);
    QTest::keyClick(&engine, Qt::Key_Backspace);
    engine.setSelStart(marks[1] - 1);
    QTest::keyClicks(&engine, QStringLiteral("ab"));
    engine.setSelStart(marks[2] + 2);
    QTest::keyClicks(&engine, QStringLiteral("cd"));
    QCOMPARE(notePositions(*engine.document()).size(), marks.size() - 1);
    PageLayout *typed = layoutOf(engine);
    typed->ensureComplete();

    std::unique_ptr<QTextDocument> copy(engine.document()->clone());
    auto *fresh = new PageLayout(copy.get());
    fresh->setPageSetup(typed->pageSetup());
    copy->setDocumentLayout(fresh);
    fresh->ensureComplete();

    QCOMPARE(typed->knownPageCount(), fresh->knownPageCount());
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next()) {
        const int position = block.position() + block.length() - 1;
        QCOMPARE(typed->caretRect(position), fresh->caretRect(position));
    }
    QString notes;
    for (int page = 0; page < fresh->knownPageCount(); ++page) {
        const PageFrame &typedFrame = typed->pages().page(page);
        const PageFrame &freshFrame = fresh->pages().page(page);
        QCOMPARE(typedFrame.columnCount, freshFrame.columnCount);
        for (int c = 0; c < freshFrame.columnCount; ++c)
            QCOMPARE(typed->pages().column(typedFrame.firstColumn + c).rect,
                     fresh->pages().column(freshFrame.firstColumn + c).rect);
        QCOMPARE(typedFrame.notes, freshFrame.notes);
        QCOMPARE(typed->notes().textOnPage(page), fresh->notes().textOnPage(page));
        notes += typed->notes().textOnPage(page);
    }
    QVERIFY(!notes.contains(u"note on paragraph 2 "));
    QVERIFY(notes.contains(u"note on paragraph 15 "));
}

QTEST_MAIN(tst_TypingLayout)
#include "tst_TypingLayout.moc"
