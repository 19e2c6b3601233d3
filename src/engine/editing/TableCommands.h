#pragma once

// The table edits of the engine, each one undo step.

#include <QString>

class QTextCursor;

namespace tamapiko::engine {

class UndoKindTracker;

// A new table of rows x columns at `at` (on a paragraph of its own), with
// thin borders and equal columns over the text width; `at` ends in the
// first cell. False, with nothing changed, for sizes out of range.
bool insertTable(QTextCursor &at, int rows, int columns, UndoKindTracker &tracker, QString *error);

// True when the cursor's anchor and position lie in the same table cell, or
// both outside any table: deleting between them leaves every table whole.
bool withinOneCell(const QTextCursor &cursor);

// Deletes the rows the selection touches; all of them deletes the table.
// False when the selection is not in a table.
bool deleteSelectedRows(const QTextCursor &selection, UndoKindTracker &tracker);

} // namespace tamapiko::engine
