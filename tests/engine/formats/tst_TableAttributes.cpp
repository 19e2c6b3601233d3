// Cell sides, shading, vertical alignment, row heights, merged cells and
// paragraph frames written by every rich format and read back as the page
// showed them.

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/DocumentFilter.h"
#include "support/TableLooks.h"

#include <QBuffer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace tamapiko::engine;
using tamapiko::test::tableAndFrameLooks;

namespace {

constexpr int kFrameAllDouble = 0x01 | 0x02 | 0x04 | 0x08 | 0x1000 | 0x40;

// A framed paragraph and, after it, a 4 x 3 table: the header row merged
// and shaded, cells with single, double and no lines of their own, cells
// aligned to the middle and the bottom, and a row of a least height.
void buildReport(DocumentModel &model)
{
    QTextCursor cursor(model.document());
    QTextBlockFormat framed;
    framed.setProperty(ParagraphFrameStyle, kFrameAllDouble);
    framed.setProperty(ParagraphFrameLineWidth, 40);
    framed.setProperty(ParagraphFrameDistance, 60);
    cursor.setBlockFormat(framed);
    cursor.insertText(QStringLiteral("枠で囲んだ段落"));
    cursor.insertBlock(QTextBlockFormat());
    cursor.insertText(QStringLiteral("表の前"));

    QTextTableFormat tableFormat;
    tableFormat.setBorder(0.5);
    tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    tableFormat.setCellPadding(2.7);
    tableFormat.setCellSpacing(0);
    tableFormat.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 120),
                                           QTextLength(QTextLength::FixedLength, 120),
                                           QTextLength(QTextLength::FixedLength, 120)});
    QTextTable *table = cursor.insertTable(4, 3, tableFormat);
    for (int i = 0; i < 12; ++i)
        table->cellAt(i / 3, i % 3).firstCursorPosition().insertText(QStringLiteral("セル%1").arg(i));
    table->mergeCells(0, 0, 1, 3);

    auto change = [&](int row, int column, auto edit) {
        QTextTableCell cell = table->cellAt(row, column);
        QTextTableCellFormat format = cell.format().toTableCellFormat();
        edit(format);
        cell.setFormat(format);
    };
    change(0, 0, [](QTextTableCellFormat &f) { f.setBackground(QColor(0xC0, 0xC0, 0xC0)); });
    change(1, 0, [](QTextTableCellFormat &f) {
        f.setTopBorder(1.5);
        f.setTopBorderStyle(QTextFrameFormat::BorderStyle_Double);
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    });
    change(1, 1, [](QTextTableCellFormat &f) {
        f.setBottomBorder(2);
        f.setBottomBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        f.setBackground(QColor(0xE0, 0xE0, 0xE0));
    });
    change(2, 2, [](QTextTableCellFormat &f) {
        f.setLeftBorder(0);
        f.setLeftBorderStyle(QTextFrameFormat::BorderStyle_None);
        f.setVerticalAlignment(QTextCharFormat::AlignBottom);
    });
    for (int column = 0; column < 3; ++column)
        change(2, column, [](QTextTableCellFormat &f) { f.setProperty(TableRowMinimumHeight, 720); });
}

QTextTable *onlyTable(const QTextDocument *doc)
{
    for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

} // namespace

class tst_TableAttributes : public QObject
{
    Q_OBJECT

private slots:
    void everyRichFormatKeepsTheReport_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("txm") << 3;
        QTest::newRow("RTF") << 5;
        QTest::newRow("HTML") << 4;
        QTest::newRow("Word") << 9;
    }

    void everyRichFormatKeepsTheReport()
    {
        QFETCH(int, format);
        DocumentModel model;
        buildReport(model);
        DocumentFilter *filter = FilterRegistry::instance().filter(format);
        QVERIFY(filter);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        QVERIFY2(filter->write(buffer, model, {}, &error), qPrintable(error));
        buffer.close();
        buffer.open(QIODevice::ReadOnly);
        DocumentModel reopened;
        QVERIFY2(filter->read(buffer, reopened, {}, &error), qPrintable(error));
        QCOMPARE(tableAndFrameLooks(reopened.document()), tableAndFrameLooks(model.document()));
    }

    // Shading as other programs write it: a percentage of black over white,
    // or of a named colour over a named background.
    void rtfShadingPercentagesBecomeColours()
    {
        const QByteArray rtf = "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                               "\\trowd\\clshdng2500\\cellx1000\\clshdng5000\\clcfpat1\\clcbpat2\\cellx2000"
                               "\\clvertalc\\clcbpat1\\cellx3000\\trrh-500"
                               "\\pard\\intbl a\\cell b\\cell c\\cell\\row\\pard\\par}";
        DocumentModel model;
        QBuffer buffer;
        buffer.setData(rtf);
        buffer.open(QIODevice::ReadOnly);
        QString error;
        QVERIFY2(FilterRegistry::instance().filter(5)->read(buffer, model, {}, &error), qPrintable(error));
        const QTextTable *table = onlyTable(model.document());
        QVERIFY(table);
        QCOMPARE(table->cellAt(0, 0).format().background().color(), QColor(0xBF, 0xBF, 0xBF));
        QCOMPARE(table->cellAt(0, 1).format().background().color(), QColor(0x7F, 0, 0x7F));
        QCOMPARE(table->cellAt(0, 2).format().background().color(), QColor(Qt::red));
        QCOMPARE(table->cellAt(0, 2).format().verticalAlignment(), QTextCharFormat::AlignMiddle);
        // An exact height is kept as the least one: the text never disappears.
        QCOMPARE(table->cellAt(0, 0).format().intProperty(TableRowMinimumHeight), 500);
    }

    // Other programs' HTML: CSS borders on paragraphs and heights on rows
    // and cells.
    void foreignHtmlFramesAndRowHeights()
    {
        const QByteArray html = "<html><body>"
                                "<p style=\"border:1.5pt double black; padding:3pt\">枠</p>"
                                "<p style=\"border-bottom:1px solid #000\">下線</p>"
                                "<p style=\"border:none\">なし</p>"
                                "<table><tr style=\"height:20mm\"><td>a</td><td style=\"height:30pt\"><p>b</p></td></tr>"
                                "<tr><td height=\"40\">c</td><td>d</td></tr></table></body></html>";
        DocumentModel model;
        QBuffer buffer;
        buffer.setData(html);
        buffer.open(QIODevice::ReadOnly);
        QString error;
        QVERIFY2(FilterRegistry::instance().filter(4)->read(buffer, model, {}, &error), qPrintable(error));
        const QTextDocument *doc = model.document();
        QVERIFY(!doc->toPlainText().contains(QChar(0xE000)));
        const QTextBlockFormat boxed = doc->findBlockByNumber(0).blockFormat();
        QCOMPARE(boxed.intProperty(ParagraphFrameStyle), 0x0F | 0x40 | 0x1000);
        QCOMPARE(boxed.intProperty(ParagraphFrameLineWidth), 10);
        QCOMPARE(boxed.intProperty(ParagraphFrameDistance), 60);
        const QTextBlockFormat underlined = doc->findBlockByNumber(1).blockFormat();
        QCOMPARE(underlined.intProperty(ParagraphFrameStyle), 0x08 | 0x100 | 0x200 | 0x400 | 0x1000 | 0x20);
        QCOMPARE(underlined.intProperty(ParagraphFrameLineWidth), 15);
        QVERIFY(!doc->findBlockByNumber(2).blockFormat().hasProperty(ParagraphFrameStyle));
        const QTextTable *table = onlyTable(doc);
        QVERIFY(table);
        QCOMPARE(table->cellAt(0, 0).format().intProperty(TableRowMinimumHeight), 1134);
        QCOMPARE(table->cellAt(0, 1).format().intProperty(TableRowMinimumHeight), 1134);
        QCOMPARE(table->cellAt(0, 1).firstCursorPosition().block().text(), QStringLiteral("b"));
        QCOMPARE(table->cellAt(1, 0).format().intProperty(TableRowMinimumHeight), 600);
        QVERIFY(!table->cellAt(1, 1).format().hasProperty(TableRowMinimumHeight));
    }
};

QTEST_MAIN(tst_TableAttributes)
#include "tst_TableAttributes.moc"
