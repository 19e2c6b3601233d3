#pragma once

// What the page shows of a document's paragraph frames and its first table,
// as lines of text that two documents can be compared by: each frame's
// sides, line and distance, and the table's cells with their spans, the line
// drawn on every side (a cell's own or the table's), shading, vertical
// alignment, least row height and first words.

#include <QStringList>

class QTextDocument;

namespace tamapiko::test {

QStringList tableAndFrameLooks(const QTextDocument *doc);

} // namespace tamapiko::test
