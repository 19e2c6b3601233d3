#pragma once

// A document cannot begin with a table: the text document keeps an empty
// paragraph in front of it. Files from other programs do begin with tables,
// and they show the table at the very top of the page. Readers mark that
// paragraph when they build such a table; while it stays empty it takes no
// room on the page and no writer or text export puts it into a file. Once
// the user types into it, it is an ordinary paragraph.

#include "engine/EngineProperties.h"

#include <QTextBlock>
#include <QTextCursor>

namespace tamapiko::engine {

inline bool isTablePlaceholder(const QTextBlock &block)
{
    return block.length() == 1 && block.blockFormat().boolProperty(ParagraphBeforeLeadingTable);
}

// For a reader about to insert a table at `cursor`: whether the table will
// open the document, so that the paragraph before it is only the placeholder.
inline bool tableWillOpenDocument(const QTextCursor &cursor)
{
    const QTextBlock block = cursor.block();
    return !block.previous().isValid() && block.length() == 1 && cursor.currentFrame() == block.document()->rootFrame();
}

inline void markTablePlaceholder(QTextDocument *document)
{
    QTextCursor first(document);
    QTextBlockFormat format = first.blockFormat();
    format.setProperty(ParagraphBeforeLeadingTable, true);
    first.setBlockFormat(format);
}

} // namespace tamapiko::engine
