#pragma once

// TableLayout: places one table of the flow, row by row, into the pages of a
// PageLayout.
//
// Columns come from the table's width and column constraints; every cell's
// paragraphs are broken at their column's width and stacked inside the cell,
// rows go whole to the next page when they fit there and are broken between
// lines when taller than a page. The result is a TableGeometry the painter,
// hit-testing and caret movement read.

#include <functional>
#include <vector>

class QTextTable;
class QTextTableCell;

namespace tamapiko::engine {

class PageLayout;

// Geometry of one table as stacked: columns and rows in flow coordinates.
struct TableGeometry
{
    int entryY = -1;                 // stacking position before the table
    int exitY = 0;                   // stacking position after it
    int left = 0;                    // x of the table's left edge
    std::vector<int> columnX;        // columns + 1 edges, x
    std::vector<int> rowTop;         // flow y of each row
    std::vector<int> rowHeight;
    int border = 0;                  // twips
    int padding = 0;                 // twips

    // Whether row r has any part in the flow band [top, bottom): a row taller
    // than a page runs over several.
    bool rowMeetsBand(size_t r, int top, int bottom) const
    {
        return rowTop[r] < bottom && rowTop[r] + rowHeight[r] > top;
    }
};

class TableLayout
{
public:
    // Called for each page a row has a part on (page, row).
    using RowRecorder = std::function<void(int page, int row)>;

    explicit TableLayout(PageLayout &layout);

    // Places the table from flow y `top` and fills `geometry`; returns the
    // flow y where the item after the table goes.
    int place(QTextTable *table, TableGeometry &geometry, int top, const RowRecorder &record);

private:
    void placeColumns(QTextTable *table, TableGeometry &g) const;
    std::vector<int> measureRows(QTextTable *table, const TableGeometry &g) const;
    // Height of a cell's content, breaking its paragraphs first if needed.
    int measureCell(const QTextTableCell &cell, const TableGeometry &g) const;
    // Places a cell's lines from flow y `top` down; with `paginate`, a line
    // that would cross a page end goes to the top of the next page. Returns
    // the flow y below the cell's last line.
    int placeCell(const QTextTableCell &cell, const TableGeometry &g, int x, int top, bool paginate) const;
    // Text aligned to the middle or the bottom of its cell starts lower by
    // the room its rows leave.
    int verticalOffset(QTextTable *table, const QTextTableCell &cell, const TableGeometry &g,
                       const std::vector<int> &rowHeight) const;

    PageLayout &m_layout;
};

} // namespace tamapiko::engine
