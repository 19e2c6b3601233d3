#include "engine/editing/ParagraphFormats.h"

#include "engine/ParagraphFrameBits.h"

#include <climits>

namespace tamapiko::engine {

int alignmentCode(Qt::Alignment alignment)
{
    if (alignment & Qt::AlignJustify)
        return 3;
    if (alignment & Qt::AlignHCenter)
        return 2;
    if (alignment & (Qt::AlignRight | Qt::AlignTrailing))
        return 1;
    return 0;
}

Qt::Alignment alignmentFromCode(int code)
{
    switch (code) {
    case 1: return Qt::AlignRight | Qt::AlignAbsolute;
    case 2: return Qt::AlignHCenter;
    case 3: return Qt::AlignJustify;
    default: return Qt::AlignLeft | Qt::AlignAbsolute;
    }
}

int selectedAlignment(const QTextCursor &cursor)
{
    int result = INT_MIN;
    forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
        const int code = alignmentCode(block.blockFormat().alignment());
        result = result == INT_MIN || result == code ? code : -1;
    });
    return result == INT_MIN ? 0 : result;
}

int selectedBlockProperty(const QTextCursor &cursor, int property, int absent)
{
    int result = INT_MIN;
    forEachSelectedBlock(cursor, [&](const QTextBlock &block) {
        const QTextBlockFormat format = block.blockFormat();
        const int value = format.hasProperty(property) ? format.intProperty(property) : absent;
        result = result == INT_MIN || result == value ? value : -1;
    });
    return result == INT_MIN ? absent : result;
}

int mergedFrameStyle(int current, int written)
{
    int value = current;
    for (int side : {FrameLeft, FrameRight, FrameTop, FrameBottom, FrameTabLines}) {
        if (written & side)
            value |= side;
        if (written & absentFrameBit(side))
            value &= ~side;
    }
    if (written & FrameDoubleLines)
        value |= FrameDoubleLines;
    else if (written & FrameSingleLines)
        value &= ~FrameDoubleLines;
    // A write that names the line style is the frame dialog's full write:
    // without FrameConnected it switches connecting off.
    if (written & FrameConnected)
        value |= FrameConnected;
    else if (written & (FrameSingleLines | FrameDoubleLines))
        value &= ~FrameConnected;
    return value & 0xFF;
}

} // namespace tamapiko::engine
