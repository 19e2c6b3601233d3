#pragma once

// TableLayout: places one table into the pages of a PageLayout, row by row.
//
// Each row has its own cell edges: a file may give every row its own left
// edge, width and number of cells, and the rows of one table need not line
// up (see TableRowEdges). Rows without edges of their own take the table's
// grid, made from its width and column constraints. Every cell's paragraphs
// are broken at their cell's width and stacked inside it; a table inside a
// cell is placed as a table of its own in that cell. Rows go whole to the
// next page when they fit there and are broken between lines when taller
// than a page; the table's header rows are drawn again at the top of each
// further page. The result is a TableGeometry that the painter,
// hit-testing and caret movement read.

#include <QHash>

#include <algorithm>
#include <functional>
#include <vector>

class QTextBlock;
class QTextTable;
class QTextTableCell;
class QTextTableCellFormat;

namespace tamapiko::engine {

class PageLayout;

// Geometry of one table as stacked, in flow coordinates.
struct TableGeometry
{
    int entryY = -1;                 // stacking position before the table
    int exitY = 0;                   // stacking position after it
    std::vector<int> columnX;        // the table's grid: columns + 1 edges, x
    std::vector<std::vector<int>> rowEdges; // each row's own columns + 1 edges, x
    std::vector<int> rowTop;         // flow y of each row
    std::vector<int> rowHeight;
    int border = 0;                  // twips
    int padding = 0;                 // twips, where a cell has none of its own
    // Leading rows drawn again at flow y `top` of each further page the
    // table continues on.
    int headerRows = 0;
    struct HeaderRepeat
    {
        int page;
        int top;
    };
    std::vector<HeaderRepeat> headerRepeats;

    // Whether row r has any part in the flow band [top, bottom): a row taller
    // than a page runs over several.
    bool rowMeetsBand(size_t r, int top, int bottom) const
    {
        return rowTop[r] < bottom && rowTop[r] + rowHeight[r] > top;
    }
    // The left edge of `column` in row r, and the right edge of a cell
    // spanning `span` columns from there.
    int cellLeft(size_t r, int column) const { return rowEdges[r][column]; }
    int cellRight(size_t r, int column, int span) const
    {
        const size_t last = std::min(rowEdges[r].size() - 1, size_t(column + span));
        return rowEdges[r][last];
    }
    // The leftmost and rightmost edge of any row.
    int left() const;
    int right() const;
    // The column of row r under x (the nearest at either end).
    int columnAt(size_t r, double x) const;
};

class TableLayout
{
public:
    // Called for each page a row has a part on (page, row).
    using RowRecorder = std::function<void(int page, int row)>;

    explicit TableLayout(PageLayout &layout);

    // Places a table of the flow from flow y `top` and fills `geometry`;
    // returns the flow y where the item after the table goes.
    int place(QTextTable *table, TableGeometry &geometry, int top, const RowRecorder &record);

private:
    // The room a table is placed in: the text area for a table of the flow,
    // a cell's inside for a table in a cell (which is never paginated on its
    // own: its cell's row is).
    struct Area
    {
        int left = 0;
        int width = 0;
        bool paginate = true;
    };
    struct Insets
    {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    struct Rows
    {
        std::vector<int> height;
        std::vector<bool> exact;         // the file fixed the row's height
        QHash<int, int> content;         // cell (by first position) -> content height with insets
    };
    // Tables nested deeper than this are laid out as their paragraphs.
    static constexpr int MaxNestedDepth = 12;

    int placeIn(QTextTable *table, TableGeometry &g, int top, const Area &area, const RowRecorder &record);
    void placeColumns(QTextTable *table, TableGeometry &g, const Area &area) const;
    std::vector<int> rowEdges(QTextTable *table, int row, const TableGeometry &g, const Area &area) const;
    // Breaks and measures every cell (placing the tables in them at their
    // x); the rows' heights.
    Rows measureRows(QTextTable *table, const TableGeometry &g);
    Insets insets(const QTextTableCellFormat &format, const TableGeometry &g) const;
    // Height of a cell's content at the given width.
    int measureCell(const QTextTableCell &cell, int x, int width);
    int blockHeight(const QTextBlock &block, int width);
    // Places a cell's paragraphs and tables from flow y `top` down; with
    // `paginate`, a line that would cross a page end goes to the top of the
    // next page. Returns the flow y below the cell's content.
    int placeCell(const QTextTableCell &cell, int x, int top, int topInset, bool paginate);
    // A table inside a cell, placed at (x, top) in `width`; returns its
    // bottom.
    int placeNested(QTextTable *table, int x, int width, int top);
    // Moves a table placed by placeNested() to start at `top`; its bottom.
    int moveNested(QTextTable *table, int top);
    void moveTable(QTextTable *table, int dy);

    PageLayout &m_layout;
    int m_depth = 0;
};

} // namespace tamapiko::engine
