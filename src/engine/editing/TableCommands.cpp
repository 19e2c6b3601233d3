#include "engine/editing/TableCommands.h"

#include "engine/EngineProperties.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace tamapiko::engine {

namespace {

// Word processors stop at 63 columns; rows are only limited to keep a typo
// from building a document nobody asked for.
constexpr int MaximumRows = 32767;
constexpr int MaximumColumns = 63;

// The characters QTextDocument keeps where a table (or another frame) begins and ends.
constexpr QChar BeginningOfFrame(0xfdd0);
constexpr QChar EndOfFrame(0xfdd1);

} // namespace

bool tableSizeAllowed(int rows, int columns, QString *error)
{
    if (rows >= 1 && columns >= 1 && rows <= MaximumRows && columns <= MaximumColumns)
        return true;
    if (error)
        *error = QStringLiteral("A table needs 1 to %1 rows and 1 to %2 columns").arg(MaximumRows).arg(MaximumColumns);
    return false;
}

void insertTable(QTextCursor &at, int rows, int columns)
{
    QTextTableFormat format;
    format.setBorder(0.5);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setCellPadding(2.7);
    format.setCellSpacing(0);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> widths;
    for (int c = 0; c < columns; ++c)
        widths.append(QTextLength(QTextLength::PercentageLength, 100.0 / columns));
    format.setColumnWidthConstraints(widths);

    if (at.hasSelection())
        at.removeSelectedText();
    // Qt puts the table on lines of its own, splitting the paragraph at the
    // caret; a paragraph always follows it for the user to type on.
    at.insertTable(rows, columns, format);
}

CellRange selectedCells(const QTextCursor &cursor)
{
    CellRange range;
    cursor.selectedTableCells(&range.row, &range.rows, &range.column, &range.columns);
    if (range.row >= 0)
        return range;
    const QTextTableCell cell = cursor.currentTable()->cellAt(cursor);
    return {cell.row(), cell.column(), cell.rowSpan(), cell.columnSpan()};
}

namespace {

// Every cell of `cells` once (a merged cell at its top-left).
template<typename Visit>
void forEachCell(QTextTable *table, const CellRange &cells, Visit visit)
{
    for (int r = cells.row; r < cells.row + cells.rows && r < table->rows(); ++r) {
        for (int c = cells.column; c < cells.column + cells.columns && c < table->columns(); ++c) {
            QTextTableCell cell = table->cellAt(r, c);
            if (cell.isValid() && cell.row() == r && cell.column() == c)
                visit(cell);
        }
    }
}

} // namespace

void setCellFormats(QTextTable *table, const CellRange &cells, const QTextTableCellFormat &changes,
                    const QList<int> &cleared)
{
    if (changes.properties().isEmpty() && cleared.isEmpty())
        return;
    forEachCell(table, cells, [&](QTextTableCell &cell) {
        QTextCharFormat format = cell.format();
        for (int property : cleared)
            format.clearProperty(property);
        format.merge(changes);
        cell.setFormat(format);
    });
}

void setRowHeight(QTextTable *table, const CellRange &cells, int twips)
{
    const CellRange wholeRows{cells.row, 0, cells.rows, table->columns()};
    forEachCell(table, wholeRows, [&](QTextTableCell &cell) {
        QTextCharFormat format = cell.format();
        if (twips > 0)
            format.setProperty(TableRowMinimumHeight, twips);
        else
            format.clearProperty(TableRowMinimumHeight);
        cell.setFormat(format);
    });
}

bool withinOneCell(const QTextCursor &cursor)
{
    QTextCursor anchor = cursor;
    anchor.setPosition(cursor.anchor());
    QTextCursor position = cursor;
    position.setPosition(cursor.position());
    QTextTable *table = anchor.currentTable();
    if (table != position.currentTable())
        return false;
    if (table && table->cellAt(anchor) != table->cellAt(position))
        return false;
    // Qt widens a selection that reaches into a table to the whole table:
    // no table may begin or end in between either.
    const QTextDocument *document = cursor.document();
    for (int p = cursor.selectionStart(); p < cursor.selectionEnd(); ++p) {
        const QChar c = document->characterAt(p);
        if (c == BeginningOfFrame || c == EndOfFrame)
            return false;
    }
    return true;
}

bool deleteSelectedRows(const QTextCursor &selection)
{
    QTextTable *table = selection.currentTable();
    if (!table)
        return false;
    int firstRow = -1;
    int rowCount = 0;
    int firstColumn = 0;
    int columnCount = 0;
    selection.selectedTableCells(&firstRow, &rowCount, &firstColumn, &columnCount);
    if (firstRow < 0) {
        // A plain selection (or the caret): the rows of its two ends.
        QTextCursor start = selection;
        start.setPosition(selection.selectionStart());
        QTextCursor end = selection;
        end.setPosition(selection.selectionEnd());
        const QTextTableCell first = table->cellAt(start);
        const QTextTableCell last = end.currentTable() == table ? table->cellAt(end) : QTextTableCell();
        firstRow = first.isValid() ? first.row() : 0;
        rowCount = (last.isValid() ? last.row() : table->rows() - 1) - firstRow + 1;
    }
    if (firstRow == 0 && rowCount >= table->rows()) {
        QTextCursor whole(selection.document());
        whole.setPosition(table->firstPosition() - 1);
        whole.setPosition(table->lastPosition() + 1, QTextCursor::KeepAnchor);
        whole.removeSelectedText();
    } else {
        table->removeRows(firstRow, rowCount);
    }
    return true;
}

} // namespace tamapiko::engine
