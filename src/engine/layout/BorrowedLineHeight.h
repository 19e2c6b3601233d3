#pragma once

// Qt's line breaking gives the line that ends just before a picture held as
// a character the picture's height as well (it takes the height of every
// object it looks at, also the one that goes on to the next line, and
// shares it out above and below the line's text). This tells how much of
// such a line's ascent and height is borrowed, so that the layout can stack
// and draw it at its own height.

#include <QtGlobal>

class QTextBlock;

namespace tamapiko::engine {

struct BorrowedLineHeight
{
    qreal ascent = 0;
    qreal height = 0;
};

BorrowedLineHeight borrowedLineHeight(const QTextBlock &block, int lineIndex);

} // namespace tamapiko::engine
