#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"
#include "engine/layout/PageTable.h"
#include "engine/view/ViewGeometry.h"
#include "support/SavedAndReopened.h"
#include "support/TestSupport.h"
#include "support/PdfProbe.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QtTest>

using tamapiko::engine::HeaderFooterKind;
using tamapiko::engine::HeaderFooterPages;
using tamapiko::engine::ColumnBand;
using tamapiko::engine::PageFrame;
using tamapiko::engine::PageLayout;
using tamapiko::engine::PageSetup;
using tamapiko::engine::PageTable;
using tamapiko::engine::ViewGeometry;

namespace {

PageLayout *layoutOf(TTextEngine &engine)
{
    return qobject_cast<PageLayout *>(engine.document()->documentLayout());
}

QString paragraphs(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1．吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
                               "Mixed English words wrap at spaces, 日本語は文字の間で折り返す。")
                    .arg(i);
    return list.join(u'\n');
}

// Page n of the engine as PrintPage draws it at 100 % on a 96 dpi image of the
// page's own paper size.
QImage printed(TTextEngine &engine, int page)
{
    const QSize paper = layoutOf(engine)->pages().page(page - 1).paper;
    QImage image(paper.width() / 15, paper.height() / 15, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(100);
    const bool ok = engine.PrintPage(page);
    painter.end();
    return ok ? image : QImage();
}

bool hasInk(const QImage &image, const QRect &area)
{
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (qGray(image.pixel(x, y)) < 160)
                return true;
    return false;
}

// Tall and short pages in turn, as sections of different paper sizes make.
PageSetup alternatingPage(int page)
{
    PageSetup setup;
    if (page % 2 == 1) {
        setup.height = 8419;   // A5 landscape height on an A4-wide sheet
        setup.marginTop = 1000;
        setup.marginBottom = 900;
    }
    return setup;
}

} // namespace

class tst_PageLayout : public QObject
{
    Q_OBJECT

private slots:
    void pagesOfDifferentHeightsHoldTheirOwnLines();
    void pageFramesHaveHeaderAndFooterBands();
    void viewAndPrintFollowThePageTable();
    void aLineAtAPageBreakIsDrawnOnce();
    void tableCellTextKeepsItsColour();
    void aRowTallerThanAPageBreaksBetweenItsLines();
    void aParagraphKeptWithTheNextGoesWithItToTheNextPage();
    void paginationRulesOfRtfParagraphs_data();
    void paginationRulesOfRtfParagraphs();
    void notesStandAtTheFootOfTheirPageAndAtTheEnd_data();
    void notesStandAtTheFootOfTheirPageAndAtTheEnd();
    void aTableStopsAboveTheFootnotesOfItsPage();
    void justifiedLinesBeforeBreaksCapitalsAndHiddenText();
    void linesAreAsTallAsInWord();
    void headersAndFootersPrintOnTheirPages_data();
    void headersAndFootersPrintOnTheirPages();
    void doubleClickingTheHeaderBandEditsIt();
    void sectionsShowTheirOwnHeadersOrThoseBefore_data();
    void sectionsShowTheirOwnHeadersOrThoseBefore();
    void aSectionHeaderIsEditedWhereItIsShown();
    void theBodyMakesWayForATallHeaderOrFooter();
    void sectionsHaveTheirOwnPages_data();
    void sectionsHaveTheirOwnPages();
    void columnsAreFilledAndBalanced_data() { sectionsHaveTheirOwnPages_data(); }
    void columnsAreFilledAndBalanced();
};

void tst_PageLayout::pagesOfDifferentHeightsHoldTheirOwnLines()
{
    TTextEngine engine;
    PageLayout *layout = layoutOf(engine);
    layout->setPageProvider(alternatingPage);
    engine.document()->setPlainText(paragraphs(120));
    const int pages = engine.CurrentPages();
    QVERIFY2(pages >= 6, qPrintable(QString::number(pages)));
    const PageTable &table = layout->pages();

    // Every line lies wholly inside the body of the page the table gives for
    // it, and each page's recorded first line is the first one found there.
    QList<int> linesPerPage(pages, 0);
    for (QTextBlock block = engine.document()->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *lines = block.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const int top = layout->lineTop(block, i);
            const int page = table.pageOfY(top);
            QVERIFY(page < pages);
            QVERIFY(top >= table.flowTop(page));
            QVERIFY2(top + layout->lineAdvance(block, lines->lineAt(i)) <= table.flowBottom(page),
                     qPrintable(QStringLiteral("line runs off page %1").arg(page + 1)));
            if (linesPerPage[page]++ == 0) {
                QCOMPARE(table.page(page).firstBlock.blockNumber(), block.blockNumber());
                QCOMPARE(table.page(page).firstLine, i);
            }
        }
    }
    // Short pages hold fewer lines than tall ones; none is empty.
    for (int page = 0; page + 2 < pages; page += 2) {
        QVERIFY(linesPerPage[page + 1] > 0);
        QVERIFY(linesPerPage[page] > linesPerPage[page + 1] * 3 / 2);
    }
    QCOMPARE(table.page(1).body.height(), 8419 - 1000 - 900);
    QCOMPARE(table.flowTop(2), table.page(0).body.height() + table.page(1).body.height());

    // The caret walks to the last page and knows which page it is on.
    engine.setSelStart(engine.document()->characterCount() - 1);
    QCOMPARE(engine.CurrentPage(), pages);

    // Back to alike pages: fewer, taller pages again.
    layout->setPageSetup(PageSetup{});
    QVERIFY(engine.CurrentPages() < pages);
}

void tst_PageLayout::pageFramesHaveHeaderAndFooterBands()
{
    PageSetup setup;
    setup.width = 12240;
    setup.height = 15840;
    setup.marginLeft = setup.marginRight = 1800;
    setup.marginTop = setup.marginBottom = 1440;
    const auto frame = PageTable::frameFor(setup);
    QCOMPARE(frame.paper, QSize(12240, 15840));
    QCOMPARE(frame.body, QRect(1800, 1440, 8640, 12960));
    QCOMPARE(frame.header, QRect(1800, 720, 8640, 720));
    QCOMPARE(frame.footer, QRect(1800, 14400, 8640, 720));

    // Margins that leave no room still give a usable body and a sheet that
    // holds it; a header distance beyond the top margin leaves no header band.
    setup.marginTop = 9000;
    setup.marginBottom = 9000;
    setup.headerDistance = 20000;
    const auto squeezed = PageTable::frameFor(setup);
    QCOMPARE(squeezed.body.height(), PageTable::MinimumBodyHeight);
    QVERIFY(squeezed.paper.height() >= squeezed.body.bottom() + 1);
    QCOMPARE(squeezed.header.height(), 0);
}

void tst_PageLayout::viewAndPrintFollowThePageTable()
{
    TTextEngine engine;
    engine.resize(900, 700);
    layoutOf(engine)->setPageProvider(alternatingPage);
    engine.document()->setPlainText(paragraphs(120));
    const int pages = engine.CurrentPages();
    QVERIFY(pages >= 4);

    // PrintPage covers each page's own paper and nothing more.
    for (int page : {1, 2}) {
        const QImage image = printed(engine, page);
        QVERIFY(!image.isNull());
        QCOMPARE(image.pixelColor(image.width() - 1, image.height() - 1), QColor(Qt::white));
        QVERIFY(hasInk(image, image.rect()));
    }

    // Clicking on the short second sheet of the page view puts the caret on
    // page 2, and End of document scrolls to a sheet that shows the caret.
    engine.setViewMode(1);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    const double scale = engine.pixelsPerTwip();
    const auto &first = layoutOf(engine)->pages().page(0);
    const auto &second = layoutOf(engine)->pages().page(1);
    const int secondSheetTop = qRound((300 + first.paper.height() + 300) * scale);
    engine.verticalScrollBar()->setValue(secondSheetTop);
    QCoreApplication::processEvents();
    const int y = secondSheetTop - engine.verticalScrollBar()->value()
        + qRound((second.body.top() + 100) * scale);
    const int x = engine.pageOriginX() - engine.viewport()->x() + qRound((second.body.left() + 300) * scale);
    QTest::mouseClick(engine.viewport(), Qt::LeftButton, {}, QPoint(x, y));
    QCOMPARE(engine.CurrentPage(), 2);
    const int firstOnSecond = second.firstBlock.position()
        + second.firstBlock.layout()->lineAt(second.firstLine).textStart();
    QVERIFY(engine.SelStart() > firstOnSecond && engine.SelStart() < firstOnSecond + 10);
}

void tst_PageLayout::aLineAtAPageBreakIsDrawnOnce()
{
    TTextEngine engine;
    engine.document()->setPlainText(paragraphs(80));
    PageLayout *layout = layoutOf(engine);
    const int pages = engine.CurrentPages();
    QVERIFY(pages >= 3);
    // A paragraph that runs over a page end draws its lines on each page once:
    // nothing of the previous page's last line in the next page's top margin,
    // nothing of the next page's first line in the bottom margin (a line's
    // descent may reach a pixel or two below the body, a whole line may not).
    for (int page = 2; page <= pages; ++page) {
        const auto &frame = layout->pages().page(page - 1);
        const QImage image = printed(engine, page);
        const QRect topMargin(0, 0, image.width(), frame.body.top() / 15 - 1);
        QVERIFY2(!hasInk(image, topMargin), qPrintable(QStringLiteral("ink above the body of page %1").arg(page)));
        const QRect bottomMargin(0, (frame.body.bottom() + 1) / 15 + 4, image.width(), image.height());
        QVERIFY2(!hasInk(image, bottomMargin), qPrintable(QStringLiteral("ink below the body of page %1").arg(page)));
    }
}

void tst_PageLayout::tableCellTextKeepsItsColour()
{
    TTextEngine engine;
    engine.resize(900, 500);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    engine.setTableGridLines(true);
    QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
    QTextTable *table = engine.textCursor().currentTable();
    QVERIFY(table);
    // A borderless table shows its grid in grey; its text, as a file brings
    // it, has no colour of its own.
    QTextTableFormat borderless = table->format();
    borderless.setBorder(0);
    table->setFormat(borderless);
    table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("WWWWWWWW"), QTextCharFormat());
    engine.setSelStart(table->cellAt(0, 0).lastPosition());

    // The screen draws the cell's text black, not in the grey of the grid.
    const QRectF caret = static_cast<QWidget &>(engine).inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    const QImage view = engine.viewport()->grab().toImage();
    const QPoint origin = engine.viewport()->pos();
    int darkest = 255;
    const QRect text = caret.toRect().translated(-origin).adjusted(-80, 0, -2, 0);
    for (int y = text.top(); y <= text.bottom(); ++y)
        for (int x = std::max(0, text.left()); x <= text.right(); ++x)
            darkest = std::min(darkest, qGray(view.pixel(x, y)));
    QVERIFY2(darkest < 60, qPrintable(QString::number(darkest)));
}

void tst_PageLayout::aRowTallerThanAPageBreaksBetweenItsLines()
{
    TTextEngine engine;
    QTest::keyClicks(&engine, QStringLiteral("before"));
    QTest::keyClick(&engine, Qt::Key_Return);
    QCOMPARE(engine.TableInsert(2, 2, -1, 0), 0);
    QTextTable *table = engine.textCursor().currentTable();
    QVERIFY(table);
    // One cell of the first row holds text for about two pages.
    QTextCursor cell = table->cellAt(0, 1).firstCursorPosition();
    cell.insertText(paragraphs(70));
    table->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("next row"));
    QTextCursor end(engine.document());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("after the table"));

    PageLayout *layout = layoutOf(engine);
    const int pages = engine.CurrentPages();
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    const PageTable &table_ = layout->pages();

    // Every line of the tall cell lies inside one page's body, the row ends
    // below its last line, and what follows starts below the row.
    int lastBottom = 0;
    const QTextTableCell tall = table->cellAt(0, 1);
    for (QTextBlock b = engine.document()->findBlock(tall.firstPosition());
         b.isValid() && b.position() <= tall.lastPosition(); b = b.next()) {
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const int top = layout->lineTop(b, i);
            const int page = table_.pageOfY(top);
            const int bottom = top + layout->lineAdvance(b, b.layout()->lineAt(i));
            QVERIFY(top >= table_.flowTop(page));
            QVERIFY2(bottom <= table_.flowBottom(page), qPrintable(QStringLiteral("line crosses the end of page %1").arg(page + 1)));
            lastBottom = std::max(lastBottom, bottom);
        }
    }
    const auto *g = layout->tableGeometry(table);
    QVERIFY(g);
    QVERIFY(g->rowTop[0] + g->rowHeight[0] >= lastBottom);
    QVERIFY(g->rowTop[1] >= g->rowTop[0] + g->rowHeight[0]);
    QVERIFY(layout->lineTop(engine.document()->lastBlock(), 0) >= g->rowTop[1] + g->rowHeight[1]);

    // The middle page shows the cell's text: it is printed, not lost.
    const QImage middle = printed(engine, 2);
    const auto &frame = table_.page(1);
    QVERIFY(hasInk(middle, QRect(frame.body.left() / 15, frame.body.top() / 15,
                                 frame.body.width() / 15, frame.body.height() / 15)));

    // Clicking the middle of page 2 lands in the tall cell.
    const int position = layout->hitTestFlow(1, QPointF(g->columnX[1] + 400, table_.flowTop(1) + 2000));
    QVERIFY(position > tall.firstPosition() && position < tall.lastPosition());
}

void tst_PageLayout::aParagraphKeptWithTheNextGoesWithItToTheNextPage()
{
    TTextEngine engine;
    QStringList lines;
    for (int i = 0; i < 120; ++i)
        lines << QStringLiteral("見出し %1").arg(i);
    engine.document()->setPlainText(lines.join(u'\n'));
    PageLayout *layout = layoutOf(engine);
    QVERIFY(engine.CurrentPages() >= 2);
    // The last paragraph of page 1, a heading for the one that starts page 2.
    const QTextBlock heading = layout->pages().page(0).lastBlock;
    const QTextBlock next = heading.next();
    QCOMPARE(layout->pages().page(1).firstBlock.blockNumber(), next.blockNumber());

    QTextCursor cursor(heading);
    QTextBlockFormat keep;
    keep.setProperty(tamapiko::engine::ParagraphKeepWithNext, true);
    cursor.mergeBlockFormat(keep);
    engine.CurrentPages();
    QCOMPARE(layout->lineTop(heading, 0), layout->pageTop(1));
    QCOMPARE(layout->pages().page(1).firstBlock.blockNumber(), heading.blockNumber());
    QVERIFY(layout->lineTop(next, 0) > layout->pageTop(1));

    // A paragraph with room for the next line stays where it is.
    const QTextBlock early = engine.document()->findBlockByNumber(3);
    const int before = layout->lineTop(early, 0);
    QTextCursor(early).mergeBlockFormat(keep);
    engine.CurrentPages();
    QCOMPARE(layout->lineTop(early, 0), before);
}


namespace {

// A page of twelve 12-point lines; paragraphs of numbered lines ("A0",
// "A1"...) held together by manual line breaks.
QByteArray twelveLinePages(const char *documentWords, const QList<std::tuple<char, int, const char *>> &paragraphs)
{
    QByteArray rtf = QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}") + documentWords
        + "\\paperw6000\\paperh4320\\margl720\\margr720\\margt720\\margb720\\f0\\fs20\n";
    for (const auto &[prefix, lines, words] : paragraphs) {
        rtf += QByteArray("\\pard") + words + "\\sl-240\\slmult0 ";
        for (int i = 0; i < lines; ++i)
            rtf += (i ? "\\line " : "") + QByteArray(1, prefix) + QByteArray::number(i);
        rtf += "\\par\n";
    }
    return rtf + "}";
}

// The lines each page holds, as the layout placed them.
QStringList pageLines(TTextEngine &engine)
{
    PageLayout *layout = layoutOf(engine);
    QStringList pages;
    for (int page = 0; page < engine.CurrentPages(); ++page) {
        QStringList lines;
        layout->forEachLineOnPage(page, 0, [&](const QTextBlock &block, int index, int, int) {
            const QTextLine line = block.layout()->lineAt(index);
            lines << block.text().mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator).trimmed();
        });
        pages << lines.join(u' ');
    }
    return pages;
}

} // namespace

void tst_PageLayout::paginationRulesOfRtfParagraphs_data()
{
    // What LibreOffice makes of the same files.
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("orphan: a paragraph's first line does not stay behind")
        << twelveLinePages("\\widowctrl", {{'A', 11, ""}, {'B', 3, ""}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10", "B0 B1 B2"};
    QTest::newRow("the paragraph turns widow control off")
        << twelveLinePages("\\widowctrl", {{'A', 11, ""}, {'B', 3, "\\nowidctlpar"}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 B0", "B1 B2"};
    QTest::newRow("off where the file does not ask for it")
        << twelveLinePages("", {{'A', 11, ""}, {'B', 3, ""}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 A10 B0", "B1 B2"};
    QTest::newRow("widow: the last line takes one along")
        << twelveLinePages("", {{'A', 9, ""}, {'B', 4, "\\widctlpar"}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7 A8 B0 B1", "B2 B3"};
    QTest::newRow("lines kept together")
        << twelveLinePages("", {{'A', 8, ""}, {'B', 5, "\\keep"}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7", "B0 B1 B2 B3 B4"};
    QTest::newRow("page break before")
        << twelveLinePages("", {{'A', 2, ""}, {'B', 1, "\\pagebb"}}) << QStringList{"A0 A1", "B0"};
    QTest::newRow("a chain of paragraphs kept with the next")
        << twelveLinePages("", {{'A', 10, ""}, {'H', 1, "\\keepn"}, {'G', 1, "\\keepn"}, {'C', 4, ""}})
        << QStringList{"A0 A1 A2 A3 A4 A5 A6 A7 A8 A9", "H0 G0 C0 C1 C2 C3"};
}

void tst_PageLayout::paginationRulesOfRtfParagraphs()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QStringList, pages);
    QTemporaryDir dir;
    TTextEngine read;
    QCOMPARE(read.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    QCOMPARE(pageLines(read), pages);
    for (const int format : {5, 3}) {
        const QString path = dir.filePath(QStringLiteral("saved.%1").arg(format));
        QCOMPARE(read.SaveDocument(path, 0, format, 0), 0);
        TTextEngine saved;
        QCOMPARE(saved.LoadDocument(path, 0, format, 0), 0);
        QCOMPARE(pageLines(saved), pages);
    }

    // Lines taken away above: what moved on comes back, in the same
    // places as in a fresh layout of the same text.
    QTextCursor cursor(read.document());
    cursor.movePosition(QTextCursor::Right, QTextCursor::KeepAnchor, 3);   // "A0" and its line break
    cursor.removeSelectedText();
    const QStringList edited = pageLines(read);
    layoutOf(read)->setPageProvider([page = read.model()->pageSetup()](int) { return page; });
    QCOMPARE(pageLines(read), edited);
}


namespace {

// Four pages: the first with a header of its own and no footer, then even
// and odd headers in turn, and a footer numbering the pages.
const char kHeaderFooterRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}}"
    "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\\headery600\\footery500"
    "\\facingp\\titlepg\n"
    "{\\headerf \\pard\\qc FIRSTHEAD\\par}\n"
    "{\\headerl \\pard EVENHEAD\\par}\n"
    "{\\headerr \\pard\\qr ODDHEAD\\par}\n"
    "{\\footer \\pard\\qc Page {\\field{\\*\\fldinst { PAGE }}{\\fldrslt {9}}} of "
    "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 9}}\\par}\n"
    "\\pard bodyone\\page bodytwo\\page bodythree\\page bodyfour\\par}";


// Where a point of page `page`'s sheet (twips) is in the engine's viewport.
QPoint sheetPoint(TTextEngine &engine, int page, QPoint twips)
{
    PageLayout *layout = layoutOf(engine);
    const ViewGeometry geometry(*layout, ViewGeometry::PageLayoutMode, engine.pixelsPerTwip(),
                                engine.viewport()->width(), layout->knownPageCount());
    const QPointF sheet = geometry.sheetRect(page).topLeft()
        - QPointF(engine.horizontalScrollBar()->value(), engine.verticalScrollBar()->value());
    return (sheet + QPointF(twips) * geometry.scale()).toPoint();
}

// Twelve-line pages again: a footnote on the first page, one on the
// third, and an endnote.
const char kNotesRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
    "\\paperw6000\\paperh4320\\margl720\\margr720\\margt720\\margb720\\f0\\fs20\n"
    "\\pard\\sl-240\\slmult0 A0\\line A1{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} FIRSTNOTE}\\line A2\\par\n"
    "\\pard\\sl-240\\slmult0 B0\\line B1\\line B2\\line B3\\line B4\\line B5\\line B6\\line B7\\line B8\\line B9\\line "
    "B10\\line B11\\line B12\\line B13\\line B14\\line B15\\line B16\\line B17\\line B18\\line B19\\line B20\\line "
    "B21\\line B22\\line B23{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} SECONDNOTE}\\line B24"
    "{\\super\\chftn}{\\footnote\\ftnalt\\pard\\plain{\\super\\chftn} THEENDNOTE}\\par}";

} // namespace

void tst_PageLayout::notesStandAtTheFootOfTheirPageAndAtTheEnd_data()
{
    tamapiko::test::addRtfSavedAsRows();
}

void tst_PageLayout::notesStandAtTheFootOfTheirPageAndAtTheEnd()
{
    QFETCH(int, savedAs);
    if (!tamapiko::test::havePdfTools())
        QSKIP("poppler-utils (pdftotext) not installed");
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(kNotesRtf, read, saved, savedAs, dir);
    QVERIFY(engine);

    // The marks keep their notes, numbered and raised (endnotes in roman).
    QStringList marks;
    for (QTextBlock block = engine->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.hasProperty(tamapiko::engine::CharNote)) {
                QCOMPARE(format.verticalAlignment(), QTextCharFormat::AlignSuperScript);
                marks << it.fragment().text() + u'=' + format.stringProperty(tamapiko::engine::CharNote)
                        + QString::fromUtf16(format.boolProperty(tamapiko::engine::CharEndnote) ? u"(end)" : u"");
            }
        }
    }
    QCOMPARE(marks, (QStringList{"1=FIRSTNOTE", "2=SECONDNOTE", "i=THEENDNOTE(end)"}));

    // Each footnote under the text of its mark's page, whose lines stay
    // above it; the endnote after the last line.
    PageLayout *layout = layoutOf(*engine);
    const QStringList pages = pageLines(*engine);
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[0].startsWith(u"A0 A11 A2 B0"));
    QVERIFY(pages[2].contains(u"B23"));
    const QStringList texts = tamapiko::test::printedPageTexts(*engine, dir.filePath(QStringLiteral("out.pdf")));
    QVERIFY2(texts[0].endsWith(u"1FIRSTNOTE"), qPrintable(texts[0]));
    QVERIFY2(!texts[1].contains(u"NOTE"), qPrintable(texts[1]));
    QVERIFY2(texts[2].endsWith(u"2SECONDNOTEiTHEENDNOTE") || texts[2].endsWith(u"iTHEENDNOTE2SECONDNOTE"),
             qPrintable(texts[2]));
    for (const int page : {0, 2}) {
        const QRect notes = layout->pages().page(page).notes;
        // The separator and at least one line of 10-point text.
        QVERIFY(notes.height() >= tamapiko::engine::PageNotes::SeparatorRoom + 200);
        layout->forEachLineOnPage(page, 0, [&](const QTextBlock &, int, int, int bottom) {
            QVERIFY(bottom - layout->pageTop(page) + layout->pages().page(page).body.top() <= notes.top());
        });
    }
    QVERIFY(layout->pages().page(1).notes.isEmpty());
}

void tst_PageLayout::aTableStopsAboveTheFootnotesOfItsPage()
{
    // A footnote's mark, then a table of more rows than the page holds.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
                     "\\paperw6000\\paperh4320\\margl720\\margr720\\margt720\\margb720\\f0\\fs20\n"
                     "\\pard A0{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} THENOTE}\\par\n";
    for (int r = 0; r < 30; ++r)
        rtf += "\\trowd\\cellx2000\\cellx4000\\pard\\intbl row " + QByteArray::number(r) + "\\cell x\\cell\\row\n";
    rtf += "\\pard after\\par}";
    QTemporaryDir dir;
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    QVERIFY(engine.CurrentPages() >= 2);
    PageLayout *layout = layoutOf(engine);
    QTextCursor cursor(engine.document());
    cursor.setPosition(engine.document()->findBlock(0).next().position());
    QTextTable *table = cursor.currentTable();
    QVERIFY(table);
    const auto *g = layout->tableGeometry(table);
    QVERIFY(g);

    // The rows on the first page end above its note area; the rest go on
    // on the next page.
    const PageFrame &first = layout->pages().page(0);
    QVERIFY(!first.notes.isEmpty());
    int rowsOnFirstPage = 0;
    for (size_t r = 0; r < g->rowTop.size(); ++r) {
        if (layout->pageOfY(g->rowTop[r]) != 0)
            continue;
        ++rowsOnFirstPage;
        const int bottom = g->rowTop[r] + g->rowHeight[r] - layout->pageTop(0) + first.body.top();
        QVERIFY2(bottom <= first.notes.top(), qPrintable(QStringLiteral("row %1 runs into the notes").arg(r)));
    }
    QVERIFY(rowsOnFirstPage > 2);
    QVERIFY(layout->pageOfY(g->rowTop.back()) > 0);
}

void tst_PageLayout::justifiedLinesBeforeBreaksCapitalsAndHiddenText()
{
    if (!tamapiko::test::havePdfTools())
        QSKIP("poppler-utils (pdftotext) not installed");
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}{\\f1 Noto Sans CJK JP;}}"
        "\\paperw6000\\paperh4320\\margl720\\margr720\\margt720\\margb720\\f0\\fs20\n"
        "\\pard\\qj one two three\\line {\\f1 \\u26085?\\u26412?\\u35486?}\\line last line\\par\n"
        "\\pard {\\caps capital} {\\scaps small} shown{\\v HIDDEN}after\\par}";
    QTemporaryDir dir;
    TTextEngine read;
    QCOMPARE(read.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    QCOMPARE(read.SaveDocument(dir.filePath(QStringLiteral("saved.rtf")), 0, 5, 0), 0);
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(dir.filePath(QStringLiteral("saved.rtf")), 0, 5, 0), 0);

    // Lines that end in a manual break fill the width, Latin and Japanese
    // alike; the paragraph's last line does not.
    const QTextBlock justified = engine.document()->firstBlock();
    const QTextLayout *layout = justified.layout();
    QCOMPARE(layout->lineCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QTextLine line = layout->lineAt(i);
        const qreal end = line.cursorToX(line.textStart() + line.textLength() - (i < 2 ? 1 : 0));
        if (i < 2)
            QVERIFY2(end > line.width() - 30, qPrintable(QStringLiteral("line %1 ends at %2 of %3").arg(i).arg(end).arg(line.width())));
        else
            QVERIFY(end < line.width() / 2);
    }

    // Capitals shown as capitals; hidden text kept but neither printed nor
    // taking room, until the marks are shown.
    const QTextBlock second = justified.next();
    const int hiddenAt = int(second.text().indexOf(u"HIDDEN"));
    QVERIFY(hiddenAt > 0);
    QTextCursor cursor(second);
    cursor.setPosition(second.position() + hiddenAt + 1);
    QVERIFY(cursor.charFormat().boolProperty(tamapiko::engine::CharHidden));
    const QStringList texts = tamapiko::test::printedPageTexts(engine, dir.filePath(QStringLiteral("out.pdf")));
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].endsWith(u"CAPITALSMALLshownafter"), qPrintable(texts[0]));
    const QTextLine line = second.layout()->lineAt(0);
    const qreal hiddenWidth = line.cursorToX(hiddenAt + 6) - line.cursorToX(hiddenAt);
    QVERIFY2(hiddenWidth < 20, qPrintable(QString::number(hiddenWidth)));
    engine.setControlChars(true);
    const QTextLine shown = second.layout()->lineAt(0);
    QVERIFY(shown.cursorToX(hiddenAt + 6) - shown.cursorToX(hiddenAt) > 400);
}

void tst_PageLayout::linesAreAsTallAsInWord()
{
    // Word: a line is the font's Windows ascent and descent, plus only the
    // part of its line gap they leave out: 1.22 em for Carlito (whose gap
    // they include), 1.15 em for Liberation Serif (whose they do not).
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Carlito;}{\\f1 Liberation Serif;}}"
                           "\\pard\\f0\\fs40 one\\line two\\par\\pard\\f1\\fs40 one\\line two\\par}";
    QTemporaryDir dir;
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    PageLayout *layout = layoutOf(engine);
    layout->ensureComplete();   // a loaded machine leaves the rest to the event loop
    const QTextBlock carlito = engine.document()->firstBlock();
    const QTextBlock serif = carlito.next();
    QVERIFY(qAbs(layout->lineTop(carlito, 1) - layout->lineTop(carlito, 0) - 2500 * 400 / 2048) <= 2);
    QVERIFY(qAbs(layout->lineTop(serif, 1) - layout->lineTop(serif, 0) - 2355 * 400 / 2048) <= 2);

    // Spacing of 1.15 lines widens a line holding a picture by 0.15 of its
    // text's height, not of the picture's (as LibreOffice lays it out).
    const QByteArray picture = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f1 Liberation Serif;}}\\pard\\sl276\\slmult1\\f1\\fs40 "
                               "{\\pict\\pngblip\\picw1\\pich1\\picwgoal1440\\pichgoal1440 "
                               "89504e470d0a1a0a0000000d49484452000000010000000108000000003a7e9b550000000a49444154789c63"
                               "6000000002000148afa4710000000049454e44ae426082}\\line after\\par}";
    TTextEngine withPicture;
    QCOMPARE(withPicture.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("pic.rtf"), picture), 0, 5, 0), 0);
    layoutOf(withPicture)->ensureComplete();
    const QTextBlock block = withPicture.document()->firstBlock();
    const int advance = layoutOf(withPicture)->lineTop(block, 1) - layoutOf(withPicture)->lineTop(block, 0);
    const int text = 2355 * 400 / 2048;
    QVERIFY2(qAbs(advance - (block.layout()->lineAt(0).height() + text * 15 / 100)) <= 3, qPrintable(QString::number(advance)));

    // Word gives a Japanese face 1.3 em: a 10.5 point line of MS Mincho is
    // 13.65 points (273 twips), single or empty, in the body or a cell;
    // 1.5 lines are 1.5 times that.
    const QByteArray japanese = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
                                "\\'96\\'be\\'92\\'a9;}}\\pard\\f0\\fs21 \\'93\\'fa\\'96\\'7b\\line \\'93\\'fa\\'96\\'7b\\par"
                                "\\pard\\sl360\\slmult1\\f0\\fs21 \\'93\\'fa\\line \\'96\\'7b\\par"
                                "\\pard\\f0\\fs21\\par\\pard\\f0\\fs21 \\'93\\'fa\\par"
                                "\\trowd\\cellx4000\\pard\\intbl\\f0\\fs21 \\'93\\'fa\\line \\'96\\'7b\\cell\\row}";
    TTextEngine mincho;
    QCOMPARE(mincho.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("ja.rtf"), japanese), 0, 5, 0), 0);
    PageLayout *minchoLayout = layoutOf(mincho);
    minchoLayout->ensureComplete();
    const QTextBlock single = mincho.document()->firstBlock();
    QCOMPARE(minchoLayout->lineTop(single, 1) - minchoLayout->lineTop(single, 0), 273);
    const QTextBlock oneAndAHalf = single.next();
    QCOMPARE(minchoLayout->lineTop(oneAndAHalf, 1) - minchoLayout->lineTop(oneAndAHalf, 0), 410);
    const QTextBlock empty = oneAndAHalf.next();
    QVERIFY(empty.text().isEmpty());
    QCOMPARE(minchoLayout->lineTop(empty.next(), 0) - minchoLayout->lineTop(empty, 0), 273);
    QTextBlock cell = empty.next().next();
    while (cell.isValid() && cell.layout()->lineCount() < 2)
        cell = cell.next();
    QVERIFY(cell.isValid());
    QCOMPARE(int(cell.layout()->lineAt(1).y() - cell.layout()->lineAt(0).y()), 273);

    // A footnote in that face: two 10-point lines of 13 points each.
    const QByteArray note = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 "
                            "\\'96\\'be\\'92\\'a9;}}\\pard\\f0\\fs21 \\'93\\'fa{\\super\\chftn}{\\footnote\\pard\\plain\\f0 "
                            "{\\super\\chftn} \\'93\\'fa\\par\\pard\\f0 \\'96\\'7b}\\par}";
    TTextEngine withNote;
    QCOMPARE(withNote.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("note.rtf"), note), 0, 5, 0), 0);
    layoutOf(withNote)->ensureComplete();
    QCOMPARE(layoutOf(withNote)->pages().page(0).notes.height(), tamapiko::engine::PageNotes::SeparatorRoom + 2 * 260);
}

void tst_PageLayout::headersAndFootersPrintOnTheirPages_data()
{
    tamapiko::test::addRtfSavedAsRows();
    QTest::newRow("rtf saved as word") << 9;
}

void tst_PageLayout::headersAndFootersPrintOnTheirPages()
{
    QFETCH(int, savedAs);
    if (!tamapiko::test::havePdfTools())
        QSKIP("poppler-utils (pdftotext) not installed");
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(kHeaderFooterRtf, read, saved, savedAs, dir);
    QVERIFY(engine);

    QCOMPARE(engine->CurrentPages(), 4);
    const PageSetup page = engine->model()->pageSetup();
    QCOMPARE(page.headerDistance, 600);
    QCOMPARE(page.footerDistance, 500);
    // Fields show each page's own number and the count; the first page has
    // its own header and, having no footer of its own, none.
    const QStringList texts = tamapiko::test::printedPageTexts(*engine, dir.filePath(QStringLiteral("out.pdf")));
    QCOMPARE(texts, (QStringList{QStringLiteral("FIRSTHEADbodyone"), QStringLiteral("EVENHEADbodytwoPage2of4"),
                                 QStringLiteral("ODDHEADbodythreePage3of4"),
                                 QStringLiteral("EVENHEADbodyfourPage4of4")}));

    // Each drawn in its band: the header from the band's top, the footer
    // standing on the band's bottom, the header right-aligned on odd pages.
    const QImage third = printed(*engine, 3);
    const PageFrame frame = layoutOf(*engine)->pages().page(2);
    const int headerTop = 600 / 15;
    const int footerBottom = (frame.paper.height() - 500) / 15;
    QVERIFY(!hasInk(third, QRect(0, 0, third.width(), headerTop - 2)));
    QVERIFY(hasInk(third, QRect(third.width() / 2, headerTop, third.width() / 2, 20)));
    QVERIFY(!hasInk(third, QRect(0, headerTop, third.width() / 2, 20)));
    QVERIFY(hasInk(third, QRect(0, footerBottom - 20, third.width(), 20)));
    QVERIFY(!hasInk(third, QRect(0, footerBottom + 2, third.width(), third.height() - footerBottom - 2)));
}

void tst_PageLayout::doubleClickingTheHeaderBandEditsIt()
{
    TTextEngine engine;
    engine.resize(900, 700);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    engine.setZoomFactor(100);
    engine.document()->setPlainText(QStringLiteral("body text"));
    QSignalSpy changes(&engine, &TTextEngine::OnChange);
    const PageFrame frame = layoutOf(engine)->pages().page(0);
    auto &stories = engine.model()->headerFooters();

    // A double-click above the body opens the header; typing goes there.
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {}, sheetPoint(engine, 0, frame.header.center()));
    auto *editor = engine.findChild<QTextEdit *>(QStringLiteral("headerFooterEditor"));
    QVERIFY(editor && editor->isVisible());
    QTRY_VERIFY(editor->hasFocus());
    QTest::keyClicks(editor, QStringLiteral("Report"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
    QTRY_VERIFY(!changes.isEmpty());
    QTextDocument *header = stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default);
    QVERIFY(header);
    QCOMPARE(header->toPlainText(), QStringLiteral("Report"));
    QCOMPARE(engine.document()->toPlainText(), QStringLiteral("body text"));
    QVERIFY(hasInk(printed(engine, 1), QRect(frame.header.left() / 15, frame.header.top() / 15, 200, 20)));

    // Below the body, the footer; a double-click in the body returns to it.
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {},
                       sheetPoint(engine, 0, QPoint(frame.footer.center().x(), frame.footer.bottom() - 60)));
    QVERIFY(editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("Foot"));
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {}, sheetPoint(engine, 0, frame.body.center()));
    QVERIFY(!editor->isVisible());
    QCOMPARE(stories.story(HeaderFooterKind::Footer, HeaderFooterPages::Default)->toPlainText(), QStringLiteral("Foot"));

    // Emptied, the header goes away again.
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {}, sheetPoint(engine, 0, frame.header.center()));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default));
    QVERIFY(!hasInk(printed(engine, 1), QRect(0, 0, frame.paper.width() / 15, frame.body.top() / 15)));
}

namespace {

// Three sections: the first with a header and a footer; the second with a
// first page of its own, its own header and a blank footer; the third with
// none of its own, so it shows the second's.
const char kSectionHeadersRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Sans;}}"
    "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\\headery600\\footery500\n"
    "{\\header \\pard ONEHEAD\\par}{\\footer \\pard ONEFOOT {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}\\par}\n"
    "\\pard one\\page oneb\\sect\n"
    "\\sectd\\titlepg{\\headerf \\pard TWOFIRST\\par}{\\header \\pard TWOHEAD\\par}{\\footer \\pard\\par}\n"
    "\\pard two\\page twob\\sect\n"
    "\\sectd \\pard three\\par}";

} // namespace

void tst_PageLayout::sectionsShowTheirOwnHeadersOrThoseBefore_data()
{
    tamapiko::test::addRtfSavedAsRows();
    QTest::newRow("rtf saved as word") << 9;
}

void tst_PageLayout::sectionsShowTheirOwnHeadersOrThoseBefore()
{
    QFETCH(int, savedAs);
    if (!tamapiko::test::havePdfTools())
        QSKIP("poppler-utils (pdftotext) not installed");
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(kSectionHeadersRtf, read, saved, savedAs, dir);
    QVERIFY(engine);
    QCOMPARE(engine->CurrentPages(), 5);
    const QStringList texts = tamapiko::test::printedPageTexts(*engine, dir.filePath(QStringLiteral("out.pdf")));
    QCOMPARE(texts, (QStringList{QStringLiteral("ONEHEADoneONEFOOT1"), QStringLiteral("ONEHEADonebONEFOOT2"),
                                 QStringLiteral("TWOFIRSTtwo"), QStringLiteral("TWOHEADtwob"),
                                 QStringLiteral("TWOHEADthree")}));
}

void tst_PageLayout::aSectionHeaderIsEditedWhereItIsShown()
{
    QTemporaryDir dir;
    TTextEngine engine;
    engine.resize(900, 700);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("s.rtf"), kSectionHeadersRtf), 0, 5, 0), 0);
    engine.setZoomFactor(100);
    PageLayout *layout = layoutOf(engine);
    layout->ensureComplete();
    auto &stories = engine.model()->headerFooters();
    auto editHeaderOf = [&](int page, const QString &typed) {
        const PageFrame frame = layout->pages().page(page);
        const ViewGeometry geometry(*layout, ViewGeometry::PageLayoutMode, engine.pixelsPerTwip(),
                                    engine.viewport()->width(), layout->knownPageCount());
        engine.verticalScrollBar()->setValue(int(geometry.sheetRect(page).top()));
        QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {}, sheetPoint(engine, page, frame.header.center()));
        auto *editor = engine.findChild<QTextEdit *>(QStringLiteral("headerFooterEditor"));
        QVERIFY(editor && editor->isVisible());
        QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Escape);
    };

    // The last page shows the second section's header: editing it there
    // edits that one, which both sections show; the first keeps its own.
    editHeaderOf(4, QStringLiteral("X"));
    QCOMPARE(stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default, 1)->toPlainText(),
             QStringLiteral("TWOHEADX"));
    QCOMPARE(stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default, 0)->toPlainText(),
             QStringLiteral("ONEHEAD"));
    QVERIFY(!stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default, 2));

    // The second section's first page has its own.
    editHeaderOf(2, QStringLiteral("Y"));
    QCOMPARE(stories.story(HeaderFooterKind::Header, HeaderFooterPages::First, 1)->toPlainText(),
             QStringLiteral("TWOFIRSTY"));

    // Emptied, a later section's story stays, blank: the band shows nothing
    // rather than the first section's header.
    editHeaderOf(3, QString());
    auto *editor = engine.findChild<QTextEdit *>(QStringLiteral("headerFooterEditor"));
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {},
                       sheetPoint(engine, 3, layout->pages().page(3).header.center()));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClick(editor, Qt::Key_Escape);
    QTextDocument *blank = stories.story(HeaderFooterKind::Header, HeaderFooterPages::Default, 1);
    QVERIFY(blank && blank->isEmpty());
    const PageFrame fourth = layout->pages().page(3);
    QVERIFY(!hasInk(printed(engine, 4), QRect(0, 0, fourth.paper.width() / 15, fourth.body.top() / 15)));
    QVERIFY(hasInk(printed(engine, 1), QRect(0, 0, fourth.paper.width() / 15, fourth.body.top() / 15)));
}

void tst_PageLayout::theBodyMakesWayForATallHeaderOrFooter()
{
    // A six-line header in a margin that holds two lines; a one-line footer
    // that fits its margin.
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
                     "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\\headery720\\footery720"
                     "{\\header \\pard\\f0\\fs24 H1\\line H2\\line H3\\line H4\\line H5\\line H6\\par}"
                     "{\\footer \\pard\\f0\\fs24 FOOT\\par}\\pard\\f0\\fs24 ";
    for (int i = 0; i < 135; ++i)   // three pages, four once the footer grows
        rtf += "line " + QByteArray::number(i) + "\\par ";
    rtf += "}";
    QTemporaryDir dir;
    TTextEngine engine;
    engine.resize(900, 700);
    engine.show();
    QVERIFY(QTest::qWaitForWindowExposed(&engine));
    QCOMPARE(engine.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("tall.rtf"), rtf), 0, 5, 0), 0);
    engine.setZoomFactor(100);
    PageLayout *layout = layoutOf(engine);
    layout->ensureComplete();
    const int lineHeight = 2355 * 240 / 2048;   // 12-point Liberation Serif, as Word spaces it
    auto bodyOf = [&](int page) { return layout->pages().page(page).body; };
    auto linesEndAbove = [&](int page, int bottom) {
        bool above = true;
        layout->forEachLineOnPage(page, 0, [&](const QTextBlock &, int, int, int lineBottom) {
            above = above && lineBottom - layout->pageTop(page) + bodyOf(page).top() <= bottom;
        });
        return above;
    };
    QVERIFY2(qAbs(bodyOf(0).top() - (720 + 6 * lineHeight)) <= 6, qPrintable(QString::number(bodyOf(0).top())));
    QCOMPARE(bodyOf(0).bottom() + 1, 16838 - 1440);
    const int pages = engine.CurrentPages();

    // Lines typed into the footer push the body's foot up on every page.
    const PageFrame first = layout->pages().page(0);
    QTest::mouseDClick(engine.viewport(), Qt::LeftButton, {},
                       sheetPoint(engine, 0, QPoint(first.footer.center().x(), first.footer.bottom() - 60)));
    auto *editor = engine.findChild<QTextEdit *>(QStringLiteral("headerFooterEditor"));
    QVERIFY(editor && editor->isVisible());
    QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(editor, Qt::Key_Return);
        QTest::keyClicks(editor, QStringLiteral("more"));
    }
    QTest::keyClick(editor, Qt::Key_Escape);
    layout->ensureComplete();
    const int footerTop = 16838 - 720 - 6 * lineHeight;
    QVERIFY2(qAbs(bodyOf(0).bottom() + 1 - footerTop) <= 6, qPrintable(QString::number(bodyOf(0).bottom())));
    QCOMPARE(bodyOf(1).bottom(), bodyOf(0).bottom());
    QVERIFY(linesEndAbove(0, bodyOf(0).bottom() + 1));
    QVERIFY(linesEndAbove(1, bodyOf(1).bottom() + 1));
    QVERIFY(engine.CurrentPages() > pages);
}

namespace {

// A Letter section, a landscape one with narrow margins, a section that
// continues on its page, and one that must start on an even page.
const char kSectionsRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
    "\\paperw12240\\paperh15840\\margl1800\\margr1800\\margt1440\\margb1440\n"
    "\\sectd\\f0\\fs24 \\pard ONE\\par\\pard ONEB\\sect\n"
    "\\sectd\\lndscpsxn\\pgwsxn15840\\pghsxn12240\\marglsxn720\\margrsxn720\\margtsxn720\\margbsxn720"
    " \\pard TWO\\sect\n"
    "\\sectd\\sbknone\\lndscpsxn\\pgwsxn15840\\pghsxn12240 \\pard TWOB\\sect\n"
    "\\sectd\\sbkeven \\pard THREE\\par}";

} // namespace

void tst_PageLayout::sectionsHaveTheirOwnPages_data()
{
    tamapiko::test::addRtfSavedAsRows();
}

void tst_PageLayout::sectionsHaveTheirOwnPages()
{
    QFETCH(int, savedAs);
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(kSectionsRtf, read, saved, savedAs, dir);
    QVERIFY(engine);

    // The page set-up the program edits is the first section's.
    QCOMPARE(engine->PageWidth(), 12240);
    QCOMPARE(engine->PageMarginL(), 1800);
    // Page 3 stays blank so that the last section starts on an even page.
    QCOMPARE(pageLines(*engine), (QStringList{"ONE ONEB", "TWO TWOB", "", "THREE"}));
    const PageTable &pages = layoutOf(*engine)->pages();
    QCOMPARE(pages.page(0).paper, QSize(12240, 15840));
    QCOMPARE(pages.page(1).paper, QSize(15840, 12240));
    QCOMPARE(pages.page(1).body, QRect(720, 720, 15840 - 1440, 12240 - 1440));
    // The continuous section sets the pages after the one it shares.
    QCOMPARE(pages.page(2).paper, QSize(15840, 12240));
    QCOMPARE(pages.page(2).body.left(), 1800);
    QCOMPARE(pages.page(3).paper, QSize(12240, 15840));
    // Lines of the landscape section are as wide as its own body.
    const QTextBlock two = engine->document()->findBlock(engine->document()->toPlainText().indexOf(u"TWO"));
    QCOMPARE(two.layout()->lineAt(0).width(), 15840 - 1440);

    // Text added to the first section pushes the others on (the last one
    // needs no blank page now), as a fresh layout of the same text would.
    QTextCursor cursor(engine->document());
    cursor.insertText(QStringLiteral("more\n").repeated(60));
    const QStringList edited = pageLines(*engine);
    QCOMPARE(edited.size(), 4);
    QVERIFY(edited[1].endsWith(u"ONE ONEB"));
    QCOMPARE(edited.mid(2), (QStringList{"TWO TWOB", "THREE"}));
    QCOMPARE(layoutOf(*engine)->pages().page(2).paper, QSize(15840, 12240));
    QCOMPARE(engine->SaveDocument(dir.filePath(QStringLiteral("edited.txm")), 0, 3, 0), 0);
    TTextEngine fresh;
    QCOMPARE(fresh.LoadDocument(dir.filePath(QStringLiteral("edited.txm")), 0, 3, 0), 0);
    QCOMPARE(pageLines(fresh), edited);

    // Enter at the start of a section adds a paragraph to it, not a section.
    fresh.setSelStart(fresh.document()->toPlainText().indexOf(u"TWO"));
    QTest::keyClick(&fresh, Qt::Key_Return);
    QCOMPARE(fresh.CurrentPages(), 4);
    QCOMPARE(layoutOf(fresh)->sectionCount(), 4);
}

namespace {

// A title, nine paragraphs in two columns balanced above a section that
// goes on on the same page, then a page in three columns with a column break.
QByteArray columnsRtf()
{
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}\\paperw12240\\paperh15840"
                     "\\margl1440\\margr1440\\margt1440\\margb1440\\f0\\fs24\n"
                     "\\sectd \\pard Title\\par\\sect\\sectd\\sbknone\\cols2\\colsx720\\linebetcol\n";
    for (int i = 0; i < 9; ++i)
        rtf += "\\pard\\sa120 P" + QByteArray::number(i)
            + " some words that run on long enough to wrap onto a second line in a column.\\par\n";
    return rtf + "\\sect\\sectd\\sbknone \\pard BELOW\\par\\sect\\sectd\\cols3 \\pard X\\par\\pard\\column Y\\par}";
}

// Where the column holding the first line of the paragraph that starts
// with `text` is on its page's body.
QRect columnOf(TTextEngine &engine, const QString &text)
{
    PageLayout *layout = layoutOf(engine);
    const QTextBlock block = engine.document()->findBlock(engine.document()->toPlainText().indexOf(text));
    return layout->pages().column(layout->pages().columnOfY(layout->lineTop(block, 0))).rect;
}

} // namespace

void tst_PageLayout::columnsAreFilledAndBalanced()
{
    QFETCH(int, savedAs);
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(columnsRtf(), read, saved, savedAs, dir);
    QVERIFY(engine);
    QCOMPARE(engine->CurrentPages(), 2);

    // The two columns share the nine paragraphs about equally (as
    // LibreOffice does: P4 runs over into the second), and the section
    // after them starts below the taller one, in one column again.
    const QRect first = columnOf(*engine, QStringLiteral("P0"));
    const QRect second = columnOf(*engine, QStringLiteral("P5"));
    QCOMPARE(first.left(), 0);
    QCOMPARE(columnOf(*engine, QStringLiteral("P3")), first);
    QVERIFY(second.left() >= first.right() + 720);
    QCOMPARE(second.top(), first.top());
    const QRect below = columnOf(*engine, QStringLiteral("BELOW"));
    QCOMPARE(below.left(), 0);
    QCOMPARE(below.top(), first.bottom() + 1);
    QVERIFY(below.top() < 5000);
    // The line between the columns is drawn, in the columns' height only.
    const QImage page = printed(*engine, 1);
    const int lineX = (1440 + second.left() - 360) / 15;
    auto marked = [&](int top, int height) {   // a thin line is grey at this scale
        for (int py = top; py < top + height; ++py)
            for (int px = lineX - 1; px <= lineX + 1; ++px)
                if (qGray(page.pixel(px, py)) < 240)
                    return true;
        return false;
    };
    QVERIFY(marked((1440 + first.top() + 200) / 15, 5));
    QVERIFY(!marked((1440 + below.top() + 400) / 15, 40));

    // A click on a line of the second column puts the caret there.
    if (savedAs == 0) {
        engine->resize(900, 700);
        engine->show();
        QVERIFY(QTest::qWaitForWindowExposed(engine));
        engine->setZoomFactor(100);
        PageLayout *layout = layoutOf(*engine);
        const int p6 = engine->document()->toPlainText().indexOf(u"P6");
        const QTextBlock block = engine->document()->findBlock(p6);
        const ColumnBand &band = layout->pages().column(layout->pages().columnOfY(layout->lineTop(block, 0)));
        const int lineY = layout->lineTop(block, 0) - band.flowTop + band.rect.top() + 100;
        const QPoint at = sheetPoint(*engine, 0, QPoint(1440 + band.rect.left() + 30, 1440 + lineY));
        QTest::mouseClick(engine->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(engine->SelStart(), p6);
    }

    // Three columns on the next page; a column break moves Y on.
    const QRect x = columnOf(*engine, QStringLiteral("X"));
    const QRect y = columnOf(*engine, QStringLiteral("Y"));
    QCOMPARE(x.left(), 0);
    QCOMPARE(x.width(), (9360 - 2 * 720) / 3);
    QCOMPARE(y.left(), x.width() + 720);
}

QTEST_MAIN(tst_PageLayout)
#include "tst_PageLayout.moc"
