#include "engine/layout/TableLayout.h"

#include "engine/EngineProperties.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/PageLayout.h"

#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>

namespace tamapiko::engine {

TableLayout::TableLayout(PageLayout &layout)
    : m_layout(layout)
{
}

void TableLayout::placeColumns(QTextTable *table, TableGeometry &g) const
{
    const QTextTableFormat format = table->format();
    const int available = m_layout.textWidth();
    const int columns = std::max(1, table->columns());

    // Width and columns: fixed lengths are points, percentages share the
    // available width, the rest split what is left evenly.
    int width = available;
    const QTextLength tableWidth = format.width();
    if (tableWidth.type() == QTextLength::FixedLength)
        width = qRound(tableWidth.rawValue() * 20);
    else if (tableWidth.type() == QTextLength::PercentageLength)
        width = qRound(available * tableWidth.rawValue() / 100);
    width = std::clamp(width, columns * 60, std::max(columns * 60, available * 4));

    std::vector<int> columnWidth(columns, -1);
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    int fixedSum = 0;
    int variable = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = c < constraints.size() ? constraints.at(c) : QTextLength();
        if (length.type() == QTextLength::FixedLength)
            columnWidth[c] = std::max(30, qRound(length.rawValue() * 20));
        else if (length.type() == QTextLength::PercentageLength)
            columnWidth[c] = std::max(30, qRound(width * length.rawValue() / 100));
        if (columnWidth[c] < 0)
            ++variable;
        else
            fixedSum += columnWidth[c];
    }
    if (variable > 0) {
        const int share = std::max(30, (width - fixedSum) / variable);
        for (int &w : columnWidth) {
            if (w < 0)
                w = share;
        }
    }
    int total = 0;
    for (int w : columnWidth)
        total += w;

    g.left = qRound(format.leftMargin() * 20);
    if (format.alignment() & Qt::AlignHCenter)
        g.left += (available - total) / 2;
    else if (format.alignment() & Qt::AlignRight)
        g.left += available - total;
    g.left = std::max(0, g.left);
    g.columnX.assign(columns + 1, g.left);
    for (int c = 0; c < columns; ++c)
        g.columnX[c + 1] = g.columnX[c] + columnWidth[c];
}

int TableLayout::measureCell(const QTextTableCell &cell, const TableGeometry &g) const
{
    const int columns = int(g.columnX.size()) - 1;
    const int cellWidth = g.columnX[std::min(columns, cell.column() + cell.columnSpan())]
        - g.columnX[cell.column()] - 2 * g.padding - g.border;
    int y = 0;
    for (QTextBlock b = m_layout.document()->findBlock(cell.firstPosition());
         b.isValid() && b.position() <= cell.lastPosition(); b = b.next()) {
        if (b.layout()->lineCount() == 0)
            m_layout.breakBlock(b, std::max(60, cellWidth));
        const BlockMetrics metrics(b);
        if (y > 0)
            y += metrics.spaceAbove;
        QTextLayout *layout = b.layout();
        for (int i = 0; i < layout->lineCount(); ++i)
            y += BlockMetrics::lineAdvance(b.blockFormat(), layout->lineAt(i));
        y += metrics.spaceBelow;
    }
    return y;
}

std::vector<int> TableLayout::measureRows(QTextTable *table, const TableGeometry &g) const
{
    const int rows = table->rows();
    const int columns = std::max(1, table->columns());
    std::vector<int> rowHeight(rows, 2 * g.padding + g.border + 60);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const int content = std::max(measureCell(cell, g) + 2 * g.padding + g.border,
                                         cell.format().intProperty(TableRowMinimumHeight));
            const int last = std::min(rows - 1, r + cell.rowSpan() - 1);
            int spanned = 0;
            for (int s = r; s < last; ++s)
                spanned += rowHeight[s];
            rowHeight[last] = std::max(rowHeight[last], content - spanned);
        }
    }
    return rowHeight;
}

int TableLayout::placeCell(const QTextTableCell &cell, const TableGeometry &g, int x, int top,
                           bool paginate) const
{
    const int inset = g.padding + g.border / 2;
    int y = top;
    bool firstBlock = true;
    for (QTextBlock b = m_layout.document()->findBlock(cell.firstPosition());
         b.isValid() && b.position() <= cell.lastPosition(); b = b.next()) {
        const BlockMetrics metrics(b);
        if (!firstBlock)
            y += metrics.spaceAbove;
        firstBlock = false;
        QTextLayout *layout = b.layout();
        const int origin = y;
        layout->setPosition(QPointF(x, origin));
        for (int i = 0; i < layout->lineCount(); ++i) {
            QTextLine line = layout->lineAt(i);
            const int advance = BlockMetrics::lineAdvance(b.blockFormat(), line);
            const int page = m_layout.pageOfY(y);
            if (paginate && y > m_layout.pageTop(page) + inset && y + advance > m_layout.pageBottom(page))
                y = m_layout.pageTop(page + 1) + inset;
            line.setPosition(QPointF(line.position().x(), y - origin));
            y += advance;
        }
        y += metrics.spaceBelow;
    }
    return y;
}

int TableLayout::verticalOffset(QTextTable *table, const QTextTableCell &cell, const TableGeometry &g,
                                const std::vector<int> &rowHeight) const
{
    const QTextCharFormat::VerticalAlignment alignment = cell.format().verticalAlignment();
    if (alignment != QTextCharFormat::AlignMiddle && alignment != QTextCharFormat::AlignBottom)
        return 0;
    int room = -(measureCell(cell, g) + 2 * g.padding + g.border);
    for (int s = cell.row(); s < std::min(table->rows(), cell.row() + cell.rowSpan()); ++s)
        room += rowHeight[s];
    room = std::max(0, room);
    return alignment == QTextCharFormat::AlignMiddle ? room / 2 : room;
}

int TableLayout::place(QTextTable *table, TableGeometry &g, int top, const RowRecorder &record)
{
    const QTextTableFormat format = table->format();
    const int rows = table->rows();
    const int columns = std::max(1, table->columns());

    g.entryY = top;
    g.border = std::max(0, qRound(format.border() * 20));
    g.padding = std::max(0, qRound(format.cellPadding() * 20));
    placeColumns(table, g);
    const std::vector<int> rowHeight = measureRows(table, g);

    const int inset = g.padding + g.border / 2;
    int y = top;
    if (!m_layout.pages().isPageTop(y))
        y += std::max(0, qRound(format.topMargin() * 20));
    g.rowTop.assign(rows, 0);
    g.rowHeight = rowHeight;
    for (int r = 0; r < rows; ++r) {
        const int page = m_layout.pageOfY(y);
        const bool fitsHere = y + rowHeight[r] <= m_layout.pageBottom(page);
        const bool fitsOnAPage = rowHeight[r] <= m_layout.pageBottom(page + 1) - m_layout.pageTop(page + 1);
        // A row goes whole to the next page when it fits there; a row taller
        // than a page is broken between its lines instead, so none is lost.
        if (!fitsHere && y > m_layout.pageTop(page) && fitsOnAPage)
            y = m_layout.pageTop(page + 1);
        const bool split = y + rowHeight[r] > m_layout.pageBottom(m_layout.pageOfY(y));
        g.rowTop[r] = y;
        int bottom = y + rowHeight[r];
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const int offset = split ? 0 : verticalOffset(table, cell, g, rowHeight);
            const int contentEnd = placeCell(cell, g, g.columnX[c] + inset, y + inset + offset, split);
            if (split && cell.rowSpan() == 1)
                bottom = std::max(bottom, contentEnd + inset + (g.border + 1) / 2);
        }
        g.rowHeight[r] = bottom - y;
        record(m_layout.pageOfY(y), r);
        record(m_layout.pageOfY(bottom - 1), r);
        y = bottom;
    }
    const int lastPage = g.rowTop.empty() ? m_layout.pageOfY(y) : m_layout.pageOfY(y - 1);
    y = std::min(y + std::max(0, qRound(format.bottomMargin() * 20)), m_layout.pageBottom(lastPage));
    g.exitY = y;
    return y;
}

} // namespace tamapiko::engine
