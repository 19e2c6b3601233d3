#pragma once

// Paragraph values as the engine's members read and write them: one value
// over the paragraphs a selection touches, -1 when they differ.

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace tamapiko::engine {

template<typename Visit>
void forEachSelectedBlock(const QTextCursor &cursor, Visit visit)
{
    QTextBlock block = cursor.document()->findBlock(cursor.selectionStart());
    const QTextBlock last = cursor.document()->findBlock(cursor.selectionEnd());
    for (; block.isValid(); block = block.next()) {
        visit(block);
        if (block == last)
            break;
    }
}

// 0 left, 1 right, 2 centred, 3 justified.
int alignmentCode(Qt::Alignment alignment);
Qt::Alignment alignmentFromCode(int code);
int selectedAlignment(const QTextCursor &cursor);     // -1 when mixed

// An integer block property over the selection; `absent` where unset.
int selectedBlockProperty(const QTextCursor &cursor, int property, int absent);

// A paragraph's frame style after writing `written` (ParagraphFrameBits.h):
// sides named present switch on, sides named absent switch off; a write that
// names single or double lines is a full write and sets connecting too.
int mergedFrameStyle(int current, int written);

} // namespace tamapiko::engine
