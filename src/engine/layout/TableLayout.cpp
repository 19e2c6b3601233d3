#include "engine/layout/TableLayout.h"

#include "engine/EngineProperties.h"
#include "engine/layout/BlockMetrics.h"
#include "engine/layout/PageLayout.h"

#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>

namespace tamapiko::engine {

int TableGeometry::columnAt(size_t r, double x) const
{
    const std::vector<int> &edges = rowEdges[r];
    int column = 0;
    while (column + 1 < int(edges.size()) - 1 && x >= edges[column + 1])
        ++column;
    return column;
}

int TableGeometry::left() const
{
    int x = columnX.empty() ? 0 : columnX.front();
    for (const std::vector<int> &edges : rowEdges)
        x = std::min(x, edges.front());
    return x;
}

int TableGeometry::right() const
{
    int x = columnX.empty() ? 0 : columnX.back();
    for (const std::vector<int> &edges : rowEdges)
        x = std::max(x, edges.back());
    return x;
}

TableLayout::TableLayout(PageLayout &layout)
    : m_layout(layout)
{
}

int TableLayout::place(QTextTable *table, TableGeometry &g, int top, const RowRecorder &record)
{
    return placeIn(table, g, top, Area{0, m_layout.m_stackWidth, true}, record);
}

void TableLayout::placeColumns(QTextTable *table, TableGeometry &g, const Area &area) const
{
    const QTextTableFormat format = table->format();
    const int available = area.width;
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

    int left = qRound(format.leftMargin() * 20);
    if (format.alignment() & Qt::AlignHCenter)
        left += (available - total) / 2;
    else if (format.alignment() & Qt::AlignRight)
        left += available - total;
    left = area.left + std::max(0, left);
    g.columnX.assign(columns + 1, left);
    for (int c = 0; c < columns; ++c)
        g.columnX[c + 1] = g.columnX[c] + columnWidth[c];
}

// A row read from a file carries its cells' edges as the file placed them,
// from the left margin; its alignment moves them as a whole. A row with
// fewer cells than the table leaves the table's further cells no width.
std::vector<int> TableLayout::rowEdges(QTextTable *table, int row, const TableGeometry &g, const Area &area) const
{
    const int columns = int(g.columnX.size()) - 1;
    QTextTableCellFormat format;
    for (int c = 0; c < columns; ++c) {
        const QTextTableCell cell = table->cellAt(row, c);
        if (cell.isValid() && cell.row() == row) {
            format = cell.format().toTableCellFormat();
            break;
        }
    }
    const QVariantList edges = format.property(TableRowEdges).toList();
    if (edges.size() < 2)
        return row > 0 && !g.rowEdges.empty() && g.rowEdges.size() >= size_t(row) ? g.rowEdges[row - 1] : g.columnX;
    std::vector<int> x;
    x.reserve(columns + 1);
    for (int i = 0; i < std::min<int>(int(edges.size()), columns + 1); ++i)
        x.push_back(x.empty() ? edges.at(i).toInt() : std::max(x.back(), edges.at(i).toInt()));
    while (int(x.size()) < columns + 1)
        x.push_back(x.back());
    int shift = area.left;
    const int alignment = format.intProperty(TableRowAlignment);
    if (alignment & Qt::AlignHCenter)
        shift += (area.width - (x.back() - x.front())) / 2 - x.front();
    else if (alignment & Qt::AlignRight)
        shift += area.width - x.back();
    for (int &edge : x)
        edge += shift;
    return x;
}

TableLayout::Insets TableLayout::insets(const QTextTableCellFormat &format, const TableGeometry &g) const
{
    const auto side = [&](QTextFormat::Property property) {
        return (format.hasProperty(property) ? std::max(0, qRound(format.doubleProperty(property) * 20)) : g.padding)
            + g.border / 2;
    };
    return {side(QTextFormat::TableCellLeftPadding), side(QTextFormat::TableCellTopPadding),
            side(QTextFormat::TableCellRightPadding), side(QTextFormat::TableCellBottomPadding)};
}

int TableLayout::measureCell(const QTextTableCell &cell, int x, int width)
{
    int y = 0;
    bool first = true;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (auto *inner = qobject_cast<QTextTable *>(it.currentFrame())) {
            y = placeNested(inner, x, width, y);
            first = false;
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (!b.isValid())
            continue;
        if (!first)
            y += BlockMetrics(b).spaceAbove;
        first = false;
        y += blockHeight(b, width);
    }
    return y;
}

int TableLayout::blockHeight(const QTextBlock &block, int width)
{
    if (block.layout()->lineCount() == 0)
        m_layout.breakBlock(block, std::max(60, width));
    const QTextLayout *layout = block.layout();
    int height = 0;
    for (int i = 0; i < layout->lineCount(); ++i)
        height += m_layout.plainLineAdvance(block, layout->lineAt(i));
    return height + BlockMetrics(block).spaceBelow;
}

int TableLayout::placeCell(const QTextTableCell &cell, int x, int top, int topInset, bool paginate)
{
    int y = top;
    bool first = true;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (auto *inner = qobject_cast<QTextTable *>(it.currentFrame())) {
            // Placed while its cell was measured, at the cell's x.
            y = moveNested(inner, y);
            first = false;
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (!b.isValid())
            continue;
        const BlockMetrics metrics(b);
        if (!first)
            y += metrics.spaceAbove;
        first = false;
        QTextLayout *layout = b.layout();
        const int origin = y;
        layout->setPosition(QPointF(x, origin));
        for (int i = 0; i < layout->lineCount(); ++i) {
            QTextLine line = layout->lineAt(i);
            const int advance = m_layout.plainLineAdvance(b, line);
            const PageTable &pages = m_layout.pages();
            const int column = pages.columnOfY(y);
            if (paginate && y > pages.columnTop(column) + topInset && y + advance > pages.columnBottom(column))
                y = pages.columnTop(column + 1) + topInset;
            line.setPosition(QPointF(line.position().x(), y - origin));
            y += advance;
        }
        y += metrics.spaceBelow;
    }
    return y;
}

int TableLayout::placeNested(QTextTable *table, int x, int width, int top)
{
    if (m_depth >= MaxNestedDepth) {
        // Deeper than anyone nests on purpose: its paragraphs one below the
        // other, so that a hostile file costs no more than its text.
        int y = top;
        for (QTextBlock b = m_layout.document()->findBlock(table->firstPosition());
             b.isValid() && b.position() <= table->lastPosition(); b = b.next()) {
            b.layout()->setPosition(QPointF(x, y));
            y += blockHeight(b, width);
        }
        return y;
    }
    if (!m_layout.m_tables.contains(table)) {
        QObject::connect(table, &QObject::destroyed, &m_layout, [layout = &m_layout, table] {
            layout->m_tables.remove(table);
        });
    }
    ++m_depth;
    const int bottom = placeIn(table, m_layout.m_tables[table], top, Area{x, std::max(60, width), false},
                               [](int, int) {});
    --m_depth;
    return bottom;
}

int TableLayout::moveNested(QTextTable *table, int top)
{
    const auto it = m_layout.m_tables.find(table);
    if (it == m_layout.m_tables.end()) {
        // Laid out flat (too deep): move its paragraphs.
        int dy = 0;
        bool firstBlock = true;
        int bottom = top;
        for (QTextBlock b = m_layout.document()->findBlock(table->firstPosition());
             b.isValid() && b.position() <= table->lastPosition(); b = b.next()) {
            QTextLayout *layout = b.layout();
            if (firstBlock)
                dy = top - int(layout->position().y());
            firstBlock = false;
            layout->setPosition(layout->position() + QPointF(0, dy));
            bottom = int(layout->position().y()) + blockHeight(b, 0);
        }
        return bottom;
    }
    const int dy = top - it->entryY;
    if (dy != 0)
        moveTable(table, dy);
    return m_layout.m_tables[table].exitY;
}

// Moves a table placed in a cell, with every paragraph and table in it.
void TableLayout::moveTable(QTextTable *table, int dy)
{
    for (QTextBlock b = m_layout.document()->findBlock(table->firstPosition());
         b.isValid() && b.position() <= table->lastPosition(); b = b.next())
        b.layout()->setPosition(b.layout()->position() + QPointF(0, dy));
    std::vector<QTextFrame *> frames{table};
    while (!frames.empty()) {
        QTextFrame *frame = frames.back();
        frames.pop_back();
        const auto it = m_layout.m_tables.find(qobject_cast<QTextTable *>(frame));
        if (it != m_layout.m_tables.end()) {
            it->entryY += dy;
            it->exitY += dy;
            for (int &top : it->rowTop)
                top += dy;
        }
        for (QTextFrame *child : frame->childFrames())
            frames.push_back(child);
    }
}

TableLayout::Rows TableLayout::measureRows(QTextTable *table, const TableGeometry &g)
{
    const int rows = table->rows();
    const int columns = std::max(1, table->columns());
    Rows measured;
    measured.height.assign(rows, 2 * g.padding + g.border + 60);
    measured.exact.assign(rows, false);
    std::vector<int> &rowHeight = measured.height;
    for (int r = 0; r < rows; ++r) {
        int exact = 0;
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const QTextTableCellFormat format = cell.format().toTableCellFormat();
            const Insets in = insets(format, g);
            const int left = g.cellLeft(r, c) + in.left;
            const int width = std::max(60, g.cellRight(r, c, cell.columnSpan()) - left - in.right);
            const int least = format.intProperty(TableRowMinimumHeight);
            if (format.boolProperty(TableRowExactHeight) && least > 0)
                exact = least;
            const int content = measureCell(cell, left, width) + in.top + in.bottom;
            measured.content.insert(cell.firstPosition(), content);
            const int last = std::min(rows - 1, r + cell.rowSpan() - 1);
            int spanned = 0;
            for (int s = r; s < last; ++s)
                spanned += rowHeight[s];
            rowHeight[last] = std::max(rowHeight[last], std::max(content, least) - spanned);
        }
        if (exact > 0) {
            // An exact height holds whatever the text needs (the rest is
            // cut off), up to a page.
            rowHeight[r] = std::min(exact, m_layout.textHeight());
            measured.exact[r] = true;
        }
    }
    return measured;
}

int TableLayout::placeIn(QTextTable *table, TableGeometry &g, int top, const Area &area, const RowRecorder &record)
{
    const QTextTableFormat format = table->format();
    const int rows = table->rows();
    const int columns = std::max(1, table->columns());

    g.entryY = top;
    g.border = std::max(0, qRound(format.border() * 20));
    g.padding = std::max(0, qRound(format.cellPadding() * 20));
    placeColumns(table, g, area);
    g.rowEdges.clear();
    g.rowEdges.reserve(rows);
    for (int r = 0; r < rows; ++r)
        g.rowEdges.push_back(rowEdges(table, r, g, area));
    const Rows measured = measureRows(table, g);
    const std::vector<int> &rowHeight = measured.height;
    // A table of header rows only has nothing to repeat them over.
    g.headerRows = area.paginate ? std::clamp(format.headerRowCount(), 0, std::max(0, rows - 1)) : 0;
    g.headerRepeats.clear();
    int headerHeight = 0;
    int headerPage = -1;

    int y = top;
    if (area.paginate && !m_layout.pages().isPageTop(y))
        y += std::max(0, qRound(format.topMargin() * 20));
    g.rowTop.assign(rows, 0);
    g.rowHeight = rowHeight;
    for (int r = 0; r < rows; ++r) {
        bool split = false;
        if (area.paginate) {
            // Rows go on in the next column, which is the next page's
            // body when the page has no columns.
            const PageTable &pages = m_layout.pages();
            const int column = pages.columnOfY(y);
            // Footnotes of marks above the table take the foot of the page.
            const bool fitsHere = y + rowHeight[r] <= m_layout.bodyBottom(column, table->firstPosition());
            const int nextHeight = pages.column(column + 1).height;
            const bool fitsOnAPage = rowHeight[r] <= nextHeight;
            // A row goes whole to the next page when it fits there; a row
            // taller than a page is broken between its lines instead, so
            // none is lost.
            if (!fitsHere && y > pages.columnTop(column) && fitsOnAPage)
                y = pages.columnTop(column + 1);
            // A row that opens a further page starts below the header rows
            // drawn again there, when both fit.
            const int rowPage = m_layout.pageOfY(y);
            if (r >= g.headerRows && g.headerRows > 0 && rowPage != headerPage && m_layout.pages().isPageTop(y)
                && headerHeight + rowHeight[r] <= m_layout.pageBottom(rowPage) - m_layout.pageTop(rowPage)) {
                g.headerRepeats.push_back({rowPage, y});
                y += headerHeight;
            }
            split = y + rowHeight[r] > m_layout.bodyBottom(pages.columnOfY(y), table->firstPosition())
                && !measured.exact[r];
        }
        g.rowTop[r] = y;
        int bottom = y + rowHeight[r];
        for (int c = 0; c < columns; ++c) {
            const QTextTableCell cell = table->cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
            const Insets in = insets(cellFormat, g);
            const int left = g.cellLeft(r, c) + in.left;
            int offset = 0;
            const QTextCharFormat::VerticalAlignment alignment = cellFormat.verticalAlignment();
            if (!split && (alignment == QTextCharFormat::AlignMiddle || alignment == QTextCharFormat::AlignBottom)) {
                // Text aligned to the middle or the bottom of its cell starts
                // lower by the room its rows leave.
                int room = -measured.content.value(cell.firstPosition());
                for (int s = r; s < std::min(rows, r + cell.rowSpan()); ++s)
                    room += rowHeight[s];
                room = std::max(0, room);
                offset = alignment == QTextCharFormat::AlignMiddle ? room / 2 : room;
            }
            const int contentEnd = placeCell(cell, left, y + in.top + offset, in.top, split);
            if (split && cell.rowSpan() == 1)
                bottom = std::max(bottom, contentEnd + in.bottom + (g.border + 1) / 2);
        }
        g.rowHeight[r] = bottom - y;
        if (area.paginate) {
            record(m_layout.pageOfY(y), r);
            record(m_layout.pageOfY(bottom - 1), r);
        }
        if (r < g.headerRows) {
            headerHeight += g.rowHeight[r];
            headerPage = m_layout.pageOfY(bottom - 1);
        }
        y = bottom;
    }
    if (!area.paginate)
        return g.exitY = y;
    const PageTable &pages = m_layout.pages();
    const int lastColumn = g.rowTop.empty() ? pages.columnOfY(y) : pages.columnOfY(y - 1);
    y = std::min(y + std::max(0, qRound(format.bottomMargin() * 20)), pages.columnBottom(lastColumn));
    g.exitY = y;
    return y;
}

} // namespace tamapiko::engine
