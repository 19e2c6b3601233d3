#pragma once

// The table edits of the engine, each one undo step.

#include <QList>
#include <QString>

class QTextCursor;
class QTextTable;
class QTextTableCellFormat;

namespace tamapiko::engine {

// True when a table of rows x columns may be made; otherwise false with
// the reason in `error`.
bool tableSizeAllowed(int rows, int columns, QString *error);

// A new table of rows x columns at `at` (on a paragraph of its own), with
// thin borders and equal columns over the text width; `at` ends in the
// first cell. The size must be allowed. Call inside an edit.
void insertTable(QTextCursor &at, int rows, int columns);

// A rectangle of cells: first row and column, and how many of each.
struct CellRange
{
    int row = 0;
    int column = 0;
    int rows = 1;
    int columns = 1;
};

// The cells a selection covers in its table, or the caret's cell (with the
// rows and columns it spans). Only for a cursor inside a table.
CellRange selectedCells(const QTextCursor &cursor);

// Merges `changes` into every cell of `cells`, after removing `cleared`.
// Call inside an edit block.
void setCellFormats(QTextTable *table, const CellRange &cells, const QTextTableCellFormat &changes,
                    const QList<int> &cleared);

// Gives the rows of `cells` a least height in twips; 0 makes them automatic.
// Call inside an edit block.
void setRowHeight(QTextTable *table, const CellRange &cells, int twips);

// True when the cursor's anchor and position lie in the same table cell, or
// both outside any table: deleting between them leaves every table whole.
bool withinOneCell(const QTextCursor &cursor);

// Deletes the rows the selection touches; all of them deletes the table.
// False when the selection is not in a table. Call inside an edit.
bool deleteSelectedRows(const QTextCursor &selection);

} // namespace tamapiko::engine
