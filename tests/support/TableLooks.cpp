#include "support/TableLooks.h"

#include "engine/EngineProperties.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

using namespace tamapiko::engine;

namespace tamapiko::test {

namespace {

struct Side
{
    int style = QTextFrameFormat::BorderStyle_None;
    int twips = 0;
};

// The line the page draws on one side of a cell: its own, or the table's.
Side drawnSide(const QTextTable *table, const QTextTableCell &cell, int styleProperty, int widthProperty)
{
    const QTextFormat format = cell.format();
    if (format.hasProperty(styleProperty)) {
        const int width = qRound(format.doubleProperty(widthProperty) * 20);
        const int style = format.intProperty(styleProperty);
        if (style == QTextFrameFormat::BorderStyle_None || width <= 0)
            return {};
        return {style == QTextFrameFormat::BorderStyle_Double ? style : int(QTextFrameFormat::BorderStyle_Solid), width};
    }
    const int width = qRound(table->format().border() * 20);
    return width > 0 ? Side{QTextFrameFormat::BorderStyle_Solid, width} : Side{};
}

QString describeSides(const QTextTable *table, const QTextTableCell &cell)
{
    static constexpr int kSides[4][2] = {
        {QTextFormat::TableCellTopBorderStyle, QTextFormat::TableCellTopBorder},
        {QTextFormat::TableCellBottomBorderStyle, QTextFormat::TableCellBottomBorder},
        {QTextFormat::TableCellLeftBorderStyle, QTextFormat::TableCellLeftBorder},
        {QTextFormat::TableCellRightBorderStyle, QTextFormat::TableCellRightBorder},
    };
    QStringList parts;
    for (const auto &side : kSides) {
        const Side drawn = drawnSide(table, cell, side[0], side[1]);
        // Widths within a twip or two: HTML rounds them to its own units.
        parts.append(drawn.style == QTextFrameFormat::BorderStyle_None
                         ? QStringLiteral("none")
                         : QStringLiteral("%1/%2").arg(drawn.style == QTextFrameFormat::BorderStyle_Double ? "double" : "single")
                               .arg((drawn.twips + 2) / 5 * 5));
    }
    return parts.join(u' ');
}

const QTextTable *onlyTable(const QTextDocument *doc)
{
    for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(frame))
            return table;
    }
    return nullptr;
}

} // namespace

QStringList tableAndFrameLooks(const QTextDocument *doc)
{
    QStringList lines;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (!(format.intProperty(ParagraphFrameStyle) & 0x1F))
            continue;
        lines.append(QStringLiteral("frame %1 width %2 distance %3 \"%4\"")
                         .arg(format.intProperty(ParagraphFrameStyle) & 0xFF, 0, 16)
                         .arg(format.intProperty(ParagraphFrameLineWidth))
                         .arg(format.intProperty(ParagraphFrameDistance))
                         .arg(block.text().left(8)));
    }
    const QTextTable *table = onlyTable(doc);
    if (!table)
        return lines << QStringLiteral("no table");
    lines.append(QStringLiteral("table %1x%2").arg(table->rows()).arg(table->columns()));
    for (int row = 0; row < table->rows(); ++row) {
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell cell = table->cellAt(row, column);
            if (cell.row() != row || cell.column() != column)
                continue;
            const QTextCharFormat format = cell.format();
            const QColor shading = format.background().style() == Qt::NoBrush ? QColor() : format.background().color();
            lines.append(QStringLiteral("(%1,%2) span %3x%4 %5 shading %6 valign %7 height %8 \"%9\"")
                             .arg(row)
                             .arg(column)
                             .arg(cell.rowSpan())
                             .arg(cell.columnSpan())
                             .arg(describeSides(table, cell))
                             .arg(shading.isValid() ? shading.name() : QStringLiteral("none"))
                             .arg(int(format.verticalAlignment()))
                             .arg(format.intProperty(TableRowMinimumHeight))
                             .arg(QTextCursor(cell.firstCursorPosition()).block().text()));
        }
    }
    return lines;
}

} // namespace tamapiko::test
