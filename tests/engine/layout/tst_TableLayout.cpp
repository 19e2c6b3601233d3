// Tables laid out the way the files that hold them were written: each row
// with its own cells, left edge, alignment, padding and height; header rows
// again at the top of every page the table goes on to; tables inside cells.

#include "engine/EngineProperties.h"
#include "engine/TTextEngine.h"
#include "engine/layout/PageLayout.h"
#include "support/PdfProbe.h"
#include "support/SavedAndReopened.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using tamapiko::engine::PageLayout;
using tamapiko::engine::TableGeometry;

namespace {

PageLayout *layoutOf(TTextEngine &engine)
{
    return qobject_cast<PageLayout *>(engine.document()->documentLayout());
}

QTextTable *firstTable(TTextEngine &engine)
{
    for (QTextFrame *frame : engine.document()->rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

int positionOf(TTextEngine &engine, const QString &text)
{
    return engine.document()->find(text).selectionStart();
}

constexpr char kBox[] = "\\clbrdrl\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10\\clbrdrt\\brdrs\\brdrw10"
                        "\\clbrdrb\\brdrs\\brdrw10";

// Three rows that share no grid: two cells from the left of the margin;
// one cell further in, of exact height, with padding above its text; two
// narrow cells centred between the margins.
QByteArray unevenRowsRtf()
{
    const QByteArray box(kBox);
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\paperw12240\\paperh15840"
           "\\margl1440\\margr1440\\margt1440\\margb1440\n"
           "\\trowd\\trgaph108\\trleft-108" + box + "\\cellx2880" + box + "\\cellx5760"
           "\\pard\\intbl AAA\\cell BBB\\cell\\row\n"
           "\\trowd\\trgaph108\\trleft1332\\trrh-1440\\trpaddt200\\trpaddft3" + box + "\\cellx7200"
           "\\pard\\intbl CCC\\cell\\row\n"
           "\\trowd\\trgaph108\\trqc" + box + "\\cellx1440" + box + "\\cellx2880"
           "\\pard\\intbl DDD\\cell EEE\\cell\\row\n"
           "\\pard after\\par}";
}

// Page n as PrintPage draws it at 96 dpi.
QImage printed(TTextEngine &engine, int page)
{
    QImage image(engine.PageWidth() / 15, engine.PageHeight() / 15, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(100);
    engine.PrintPage(page);
    painter.end();
    engine.setPrintDevice(nullptr);
    return image;
}

bool hasInk(const QImage &image, const QRect &area)
{
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            if (qGray(image.pixel(x, y)) < 224) // thin lines are drawn grey
                return true;
    return false;
}

} // namespace

class tst_TableLayout : public QObject
{
    Q_OBJECT

private slots:
    void rowsKeepTheirOwnCells_data();
    void rowsKeepTheirOwnCells();
    void headerRowsOpenEveryPageTheTableReaches();
    void aTableInACellIsLaidOutInsideIt_data();
    void aTableInACellIsLaidOutInsideIt();
};

void tst_TableLayout::rowsKeepTheirOwnCells_data()
{
    tamapiko::test::addRtfSavedAsRows();
}

void tst_TableLayout::rowsKeepTheirOwnCells()
{
    QFETCH(int, savedAs);
    QTemporaryDir dir;
    TTextEngine read;
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::rtfSavedAndReopened(unevenRowsRtf(), read, saved, savedAs, dir);
    QVERIFY(engine);
    QTextTable *table = firstTable(*engine);
    QVERIFY(table);
    PageLayout *layout = layoutOf(*engine);
    layout->ensureComplete();
    const TableGeometry *g = layout->tableGeometry(table);
    QVERIFY(g);
    QCOMPARE(int(g->rowTop.size()), 3);

    // Edges from the margin as the file gave them; the centred row sits in
    // the middle of the 9360 twips between the margins.
    QCOMPARE(g->cellLeft(0, 0), -108);
    QCOMPARE(g->cellRight(0, 1, 1), 5760);
    QCOMPARE(g->cellLeft(1, 0), 1332);
    QCOMPARE(g->cellRight(1, 0, 1), 7200);
    QCOMPARE(g->cellLeft(2, 0), 3240);
    QCOMPARE(g->cellRight(2, 1, 1), 6120);
    QCOMPARE(g->rowHeight[1], 1440);

    // Text inside its own cell, after the cell's padding.
    const QRectF c = layout->caretRect(positionOf(*engine, QStringLiteral("CCC")));
    QCOMPARE(qRound(c.left()), 1332 + 108);
    QCOMPARE(qRound(c.top()), g->rowTop[1] + 200);
    const QRectF e = layout->caretRect(positionOf(*engine, QStringLiteral("EEE")));
    QCOMPARE(qRound(e.left()), 4680 + 108);

    // Drawn where they are: the middle row's right side at its own edge,
    // no line where the first row's grid would have put one.
    const QImage page = printed(*engine, 1);
    const int pageTop = layout->pageTop(0);
    const int middle = (1440 + g->rowTop[1] - pageTop + 720) / 15;
    QVERIFY(hasInk(page, QRect((1440 + 7200) / 15 - 1, middle - 5, 3, 10)));
    QVERIFY(!hasInk(page, QRect((1440 + 5760) / 15 - 2, middle - 5, 5, 10)));
}

void tst_TableLayout::headerRowsOpenEveryPageTheTableReaches()
{
    if (!tamapiko::test::havePdfTools())
        QSKIP("poppler-utils (pdftotext) not installed");
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\paperw12240\\paperh15840"
                     "\\margl1440\\margr1440\\margt1440\\margb1440\n"
                     "\\trowd\\trhdr\\trrh600\\cellx4000\\cellx8000\\pard\\intbl HEAD\\cell TITLE\\cell\\row\n";
    for (int row = 0; row < 50; ++row)
        rtf += "\\trowd\\trrh600\\cellx4000\\cellx8000\\pard\\intbl r" + QByteArray::number(row) + "\\cell x\\cell\\row\n";
    rtf += "\\pard after\\par}";
    QTemporaryDir dir;
    TTextEngine read;
    QCOMPARE(read.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    // The header row survives the file's own way back.
    const QString resaved = dir.filePath(QStringLiteral("saved.rtf"));
    QCOMPARE(read.SaveDocument(resaved, 0, 5, 0), 0);
    TTextEngine engine;
    QCOMPARE(engine.LoadDocument(resaved, 0, 5, 0), 0);
    QCOMPARE(engine.CurrentPages(), 3);

    const QStringList pages = tamapiko::test::printedPageTexts(engine, dir.filePath(QStringLiteral("out.pdf")));
    QVERIFY(pages.size() >= 3);
    for (int page = 0; page < 3; ++page) {
        const QString text = tamapiko::test::withoutSpaces(pages.at(page));
        QVERIFY2(text.startsWith(QStringLiteral("HEADTITLE")), qPrintable(text));
        QCOMPARE(text.count(QStringLiteral("HEAD")), 1);
    }
    // The rows below keep their order and none is lost or drawn twice.
    const QString all = tamapiko::test::withoutSpaces(pages.mid(0, 3).join(QString()));
    for (int row = 0; row < 50; ++row)
        QCOMPARE(all.count(QStringLiteral("r%1x").arg(row)), 1);

}

void tst_TableLayout::aTableInACellIsLaidOutInsideIt_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("savedAs");
    QTest::newRow("html") << QStringLiteral("html") << 0;
    QTest::newRow("rtf") << QStringLiteral("rtf") << 0;
    QTest::newRow("rtf saved as rtf") << QStringLiteral("rtf") << 5;
    QTest::newRow("rtf saved as native") << QStringLiteral("rtf") << 3;
}

void tst_TableLayout::aTableInACellIsLaidOutInsideIt()
{
    QFETCH(QString, source);
    QFETCH(int, savedAs);
    QTemporaryDir dir;
    TTextEngine read;
    if (source == QLatin1String("html")) {
        read.document()->setHtml(QStringLiteral(
            "<table border=1 width=100%><tr><td>outer<table border=1><tr><td>in1</td><td>in2</td></tr>"
            "<tr><td>in3</td><td>in4</td></tr></table></td><td>right</td></tr></table><p>after</p>"));
    } else {
        const QByteArray innerRow = "{\\*\\nesttableprops\\trowd\\trgaph108\\trleft-108\\cellx1500\\cellx3000"
                                    "\\nestrow}{\\nonesttables\\par}\n";
        const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\n"
                               "\\trowd\\trgaph108\\trleft-108\\cellx4000\\cellx8000\n"
                               "\\pard\\intbl outer\\par\n"
                               "\\pard\\intbl\\itap2 in1\\nestcell in2\\nestcell" + innerRow +
                               "\\pard\\intbl\\itap2 in3\\nestcell in4\\nestcell" + innerRow +
                               "\\pard\\intbl\\itap1 \\cell right\\cell\\row\n"
                               "\\pard after\\par}";
        QCOMPARE(read.LoadDocument(tamapiko::test::writeFile(dir, QStringLiteral("in.rtf"), rtf), 0, 5, 0), 0);
    }
    TTextEngine saved;
    TTextEngine *engine = tamapiko::test::savedAndReopened(read, saved, savedAs, dir);
    QVERIFY(engine);
    QTextTable *outer = firstTable(*engine);
    QVERIFY(outer);
    QCOMPARE(outer->rows(), 1);
    QCOMPARE(outer->columns(), 2);
    QTextTable *inner = nullptr;
    for (QTextFrame *frame : outer->childFrames())
        inner = qobject_cast<QTextTable *>(frame);
    QVERIFY(inner);
    QCOMPARE(inner->rows(), 2);
    QCOMPARE(inner->columns(), 2);
    QCOMPARE(QTextCursor(inner->cellAt(1, 1).firstCursorPosition()).block().text(), QStringLiteral("in4"));
    QCOMPARE(outer->cellAt(0, 1).firstCursorPosition().block().text(), QStringLiteral("right"));

    PageLayout *layout = layoutOf(*engine);
    layout->ensureComplete();
    const TableGeometry *g = layout->tableGeometry(outer);
    QVERIFY(g);
    const QRectF cell(g->cellLeft(0, 0), g->rowTop[0], g->cellRight(0, 0, 1) - g->cellLeft(0, 0), g->rowHeight[0]);
    const QRectF in1 = layout->caretRect(positionOf(*engine, QStringLiteral("in1")));
    const QRectF in2 = layout->caretRect(positionOf(*engine, QStringLiteral("in2")));
    const QRectF in3 = layout->caretRect(positionOf(*engine, QStringLiteral("in3")));
    const QRectF after = layout->caretRect(positionOf(*engine, QStringLiteral("after")));
    // Side by side in rows of their own, all inside the outer cell.
    QCOMPARE(in1.top(), in2.top());
    QVERIFY(in2.left() > in1.left());
    QVERIFY(in3.top() > in1.top());
    QCOMPARE(in3.left(), in1.left());
    for (const QRectF &r : {in1, in2, in3})
        QVERIFY2(cell.contains(r.topLeft()), qPrintable(QStringLiteral("%1,%2").arg(r.left()).arg(r.top())));
    QVERIFY(after.top() >= g->exitY - 1);
    // No empty paragraph between the cell's text and its table.
    const QRectF outerText = layout->caretRect(positionOf(*engine, QStringLiteral("outer")));
    if (source == QLatin1String("rtf"))
        QCOMPARE(in1.top(), outerText.bottom());

    // Typing in an inner cell moves only what follows it.
    QTextCursor cursor(engine->document());
    cursor.setPosition(positionOf(*engine, QStringLiteral("in1")));
    cursor.insertText(QStringLiteral("長い長い長い長い長い長い長い長い長い長い長い長い長い長い長い長い長い長い"));
    layout->ensureComplete();
    QCOMPARE(layout->caretRect(positionOf(*engine, QStringLiteral("in2"))).top(), in2.top());
    QVERIFY(layout->caretRect(positionOf(*engine, QStringLiteral("after"))).top() > after.top());
}

QTEST_MAIN(tst_TableLayout)
#include "tst_TableLayout.moc"
