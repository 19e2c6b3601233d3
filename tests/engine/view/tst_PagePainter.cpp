// What a printed page of a table shows: each cell's own border sides, its
// shading and its text in the text's own colour.

#include "engine/DocumentModel.h"
#include "engine/TTextEngine.h"
#include "engine/formats/PlainTextFilter.h"
#include "engine/formats/RtfFilter.h"
#include "support/FilterBytes.h"

#include <QImage>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int TwipsPerPixel = 15;          // 96 dpi
constexpr int Margin = 1440 / TwipsPerPixel;

// Two cells side by side at the top-left of the body: the first (x 0–3000
// twips) has only a thick bottom border, red text and yellow shading; the
// second (3000–6000) a thin box on all four sides and black text; below the
// table a paragraph.
const QByteArray kBorderedTable = R"({\rtf1\ansi\deff0{\fonttbl{\f0 Liberation Serif;}}
{\colortbl;\red255\green0\blue0;\red255\green255\blue0;}
\paperw11906\paperh16838\margl1440\margr1440\margt1440\margb1440
\trowd\trgaph0\trleft0
\clcbpat2\clbrdrb\brdrs\brdrw40\cellx3000
\clbrdrt\brdrs\brdrw10\clbrdrl\brdrs\brdrw10\clbrdrb\brdrs\brdrw10\clbrdrr\brdrs\brdrw10\cellx6000
\pard\intbl\plain\fs24{\cf1 RED RED RED}\cell\plain\fs24 black text\cell\row
\pard\plain\fs24 after the table\par})";

QImage printedFirstPage(const QByteArray &rtf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.rtf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(rtf) != rtf.size())
        return {};
    file.close();
    TTextEngine engine;
    if (engine.LoadDocument(path, 0, 5, 0) != 0)
        return {};
    QImage image(11906 / TwipsPerPixel, 16838 / TwipsPerPixel, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    engine.setPrintDevice(&painter);
    engine.setPrintZoom(100);
    const bool ok = engine.PrintPage(1);
    painter.end();
    return ok ? image : QImage();
}

bool dark(QRgb pixel) { return qGray(pixel) < 110; }
bool ink(QRgb pixel) { return qGray(pixel) < 200; }   // thin lines are drawn anti-aliased
bool red(QRgb pixel) { return qRed(pixel) > 170 && qGreen(pixel) < 90 && qBlue(pixel) < 90; }
bool yellow(QRgb pixel) { return qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) < 120; }

// Rows (y) at which column x has ink, from `top` down to `bottom`.
QList<int> inkedRows(const QImage &image, int x, int top, int bottom)
{
    QList<int> rows;
    for (int y = top; y <= bottom; ++y)
        if (ink(image.pixel(x, y)))
            rows.append(y);
    return rows;
}

} // namespace

class tst_PagePainter : public QObject
{
    Q_OBJECT

private slots:
    void eachCellDrawsItsOwnSidesShadingAndTextColour();
    void aTableOpeningTheDocumentHasNoParagraphBeforeIt();
    void underlinedBlanksEndingALineReachTheMargin();
    void tabLeadersFillTheGapUpToTheStop();
};

void tst_PagePainter::eachCellDrawsItsOwnSidesShadingAndTextColour()
{
    const QImage page = printedFirstPage(kBorderedTable);
    QVERIFY(!page.isNull());
    const int firstLeft = Margin;
    const int secondLeft = Margin + 3000 / TwipsPerPixel;
    const int secondRight = Margin + 6000 / TwipsPerPixel;

    // The second cell's box: a line across its top at the body's top, and one
    // across its bottom further down.
    const int secondMiddle = (secondLeft + secondRight) / 2;
    const QList<int> secondRows = inkedRows(page, secondMiddle, Margin - 3, Margin + 80);
    QVERIFY2(!secondRows.isEmpty() && secondRows.first() <= Margin + 2,
             qPrintable(QStringLiteral("no top side: %1").arg(secondRows.isEmpty() ? -1 : secondRows.first())));
    const int rowBottom = secondRows.last();
    QVERIFY2(rowBottom > Margin + 10, "the second cell's bottom side is missing");
    const int rowMiddle = (Margin + rowBottom) / 2;
    QVERIFY2(ink(page.pixel(secondRight, rowMiddle)) || ink(page.pixel(secondRight - 1, rowMiddle)),
             "the second cell's right side is missing");

    // The first cell names only its bottom: nothing at its top or left edge,
    // a thick line at its bottom, the shared edge drawn by the second cell.
    const int firstMiddle = (firstLeft + secondLeft) / 2;
    for (int x = firstLeft + 2; x < secondLeft - 2; x += 7)
        QVERIFY2(!ink(page.pixel(x, Margin - 1)) && !ink(page.pixel(x, Margin)), qPrintable(QStringLiteral("top side drawn at x=%1").arg(x)));
    for (int dx = -3; dx <= -1; ++dx)   // outside the cell: its text starts at the edge
        QVERIFY2(!ink(page.pixel(firstLeft + dx, rowMiddle)), "left side drawn");
    const QList<int> firstRows = inkedRows(page, firstLeft + 3, rowBottom - 6, rowBottom + 6);
    QVERIFY2(firstRows.size() >= 2, "the thick bottom side is missing or thin");
    QVERIFY(ink(page.pixel(secondLeft, rowMiddle)) || ink(page.pixel(secondLeft - 1, rowMiddle))
            || ink(page.pixel(secondLeft + 1, rowMiddle)));

    // Shading fills the first cell; its text is red, the second cell's black.
    int shaded = 0;
    int redInk = 0;
    for (int y = Margin + 1; y < rowBottom - 2; ++y) {
        for (int x = firstLeft + 1; x < secondLeft - 1; ++x) {
            shaded += yellow(page.pixel(x, y));
            redInk += red(page.pixel(x, y));
        }
    }
    QVERIFY2(shaded > (secondLeft - firstLeft) * (rowBottom - Margin) / 3, qPrintable(QString::number(shaded)));
    QVERIFY2(redInk > 20, qPrintable(QString::number(redInk)));
    int blackInk = 0;
    int redInSecond = 0;
    for (int y = Margin + 2; y < rowBottom - 2; ++y) {
        for (int x = secondLeft + 3; x < secondMiddle; ++x) {
            blackInk += dark(page.pixel(x, y));
            redInSecond += red(page.pixel(x, y)) || yellow(page.pixel(x, y));
        }
    }
    QVERIFY2(blackInk > 20, qPrintable(QString::number(blackInk)));
    QCOMPARE(redInSecond, 0);

    // The paragraph after the table starts below the row, not over it.
    bool inkBelow = false;
    for (int y = rowBottom + 3; y < rowBottom + 40 && !inkBelow; ++y)
        for (int x = firstLeft; x < firstLeft + 60 && !inkBelow; ++x)
            inkBelow = dark(page.pixel(x, y));
    QVERIFY2(inkBelow, "no text after the table");
}

void tst_PagePainter::aTableOpeningTheDocumentHasNoParagraphBeforeIt()
{
    using namespace tamapiko::engine;
    using namespace tamapiko::test;
    DocumentModel model;
    QVERIFY(readWith(RtfFilter(), kBorderedTable, model));
    const QByteArray rtf = writeWith(RtfFilter(), model);
    QVERIFY2(!rtf.left(rtf.indexOf("\\trowd")).contains("\\par"), rtf.constData());
    QVERIFY(writeWith(PlainTextFilter(), model).startsWith("RED RED RED\t"));

    // Typed into, the paragraph above the table is the user's own.
    QTextCursor(model.document()).insertText(QStringLiteral("見出し"));
    DocumentModel reread;
    QVERIFY(readWith(RtfFilter(), writeWith(RtfFilter(), model), reread));
    QVERIFY(writeWith(PlainTextFilter(), reread).startsWith("見出し"));
}

// A form's "Name:" followed by underlined blanks, more than the line holds:
// the underline runs on to the right margin and stops there; a second line
// of underlined blanks that fits stops where its blanks end.
void tst_PagePainter::underlinedBlanksEndingALineReachTheMargin()
{
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
                           "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\\fs24\n"
                           "\\pard Name:{\\ul " + QByteArray(300, ' ') + "}\\par\n"
                           "\\pard Date:{\\ul " + QByteArray(20, ' ') + "}\\par}";
    const QImage page = printedFirstPage(rtf);
    QVERIFY(!page.isNull());
    const int right = (11906 - 1440) / TwipsPerPixel;
    // The underline: the lowest inked row near the right margin of line one.
    const QList<int> nearMargin = inkedRows(page, right - 3, Margin, Margin + 30);
    QVERIFY2(!nearMargin.isEmpty(), "the underline stops short of the margin");
    const int underline = nearMargin.first();
    for (int x = right + 4; x < right + 60; x += 5)
        QVERIFY2(!ink(page.pixel(x, underline)), qPrintable(QStringLiteral("drawn past the margin at x=%1").arg(x)));
    int lastInk = 0;
    const int secondLine = underline + 20;   // a 12 pt line further down
    for (int x = Margin; x < right; ++x)
        for (int y = secondLine - 4; y <= secondLine + 4; ++y)
            if (ink(page.pixel(x, y)))
                lastInk = x;
    QVERIFY2(lastInk > Margin + 60 && lastInk < right - 150, qPrintable(QString::number(lastInk)));
}

// Columns from `left` to `right` that have ink somewhere in rows top..bottom.
QList<bool> inkedColumns(const QImage &image, int left, int right, int top, int bottom)
{
    QList<bool> columns;
    for (int x = left; x <= right; ++x)
        columns.append(!inkedRows(image, x, top, bottom).isEmpty());
    return columns;
}

// Three one-letter labels, each followed by a tab and "Z": a right tab with
// a dotted leader at 6000 twips, a left tab with an underline leader at
// 4000, a plain left tab at 4000.
void tst_PagePainter::tabLeadersFillTheGapUpToTheStop()
{
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}"
                           "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\\fs24\n"
                           "\\pard\\sa240\\tqr\\tldot\\tx6000 A\\tab Z\\par\n"
                           "\\pard\\sa240\\tlul\\tx4000 B\\tab Z\\par\n"
                           "\\pard\\sa240\\tx4000 C\\tab Z\\par}";
    const QImage page = printedFirstPage(rtf);
    QVERIFY(!page.isNull());
    // Each line's rows: from its label's top to just above the next label.
    QList<int> tops;
    bool inLabel = false;
    for (int y = Margin - 4; y < Margin + 200; ++y) {
        const bool inked = inkedColumns(page, Margin, Margin + 12, y, y).contains(true);
        if (inked && !inLabel)
            tops.append(y);
        inLabel = inked;
    }
    QCOMPARE(tops.size(), 3);
    tops.append(tops.last() + 30);
    const int gapStart = Margin + 16;
    const int rightStop = Margin + 6000 / TwipsPerPixel;
    const int leftStop = Margin + 4000 / TwipsPerPixel;

    // Dots: many separate marks across the gap before the right-aligned Z,
    // nothing past the stop.
    const QList<bool> dotted = inkedColumns(page, gapStart, rightStop - 20, tops[0] - 2, tops[1] - 3);
    int dots = 0;
    for (qsizetype i = 0; i < dotted.size(); ++i)
        dots += dotted[i] && (i == 0 || !dotted[i - 1]);
    QVERIFY2(dots >= 40 && dotted.count(true) < dotted.size() * 3 / 4,
             qPrintable(QStringLiteral("%1 dots over %2 inked columns").arg(dots).arg(dotted.count(true))));
    QVERIFY(!inkedColumns(page, rightStop + 2, rightStop + 150, tops[0] - 2, tops[1] - 3).contains(true));

    // The underline: one row inked all across the gap, ending at the stop.
    bool continuous = false;
    for (int y = tops[1]; y < tops[2] - 3 && !continuous; ++y)
        continuous = !inkedColumns(page, gapStart, leftStop - 2, y, y).contains(false);
    QVERIFY2(continuous, "no continuous line in the underline leader's gap");
    QVERIFY(!inkedColumns(page, leftStop + 16, leftStop + 150, tops[1] - 2, tops[2] - 3).contains(true));

    // A tab without a leader leaves its gap blank.
    QVERIFY(!inkedColumns(page, gapStart, leftStop - 2, tops[2] - 2, tops[3]).contains(true));
}

QTEST_MAIN(tst_PagePainter)
#include "tst_PagePainter.moc"
