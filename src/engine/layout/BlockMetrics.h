#pragma once

// BlockMetrics: a paragraph format read in layout units (twips).
//
// Lengths in the model's formats are points; the layout works in twips.
// Everything that converts between the two for a paragraph lives here so
// that breaking, stacking and painting agree.

#include "engine/ParagraphFrameBits.h"

#include <QFont>
#include <QList>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextOption>

class QTextDocument;
class QTextLine;

namespace tamapiko::engine {

struct BlockMetrics
{
    explicit BlockMetrics(const QTextBlockFormat &format);
    // The same, and whether the paragraph's frame joins those of its
    // neighbours: connected frames with the same lines make one box, with no
    // side between them.
    explicit BlockMetrics(const QTextBlock &block);

    // Four ideographic characters of the default 10.5 point font.
    static constexpr int DefaultTabStop = 840;
    // The distance between default tab stops the document asks for
    // (DocumentDefaultTabStop), else DefaultTabStop.
    static int defaultTabStop(const QTextDocument *document);

    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0;
    int spaceAbove = 0;          // includes the paragraph frame's top side
    int spaceBelow = 0;          // includes the paragraph frame's bottom side
    bool breakBefore = false;
    bool breakAfter = false;
    QList<QTextOption::Tab> tabs;

    // Paragraph frame, in twips.
    int paragraphFrameStyle = 0;
    int paragraphFrameLineWidth = 0;
    int paragraphFrameDistance = 0;
    bool joinsPrevious = false;
    bool joinsNext = false;
    bool hasParagraphFrame() const { return (paragraphFrameStyle & FrameSides) != 0; }

    void addParagraphFrameRoom();

    // The vertical room a line of the given natural height takes, line
    // spacing applied.
    static int lineAdvance(const QTextBlockFormat &format, qreal lineHeight);

    // Whether a line in this font gets the font's line gap below it. Qt
    // takes a font's ascent and descent from its Windows metrics and adds
    // the line gap; Word adds only the part of the gap that those metrics
    // leave out, which for fonts such as Carlito is none.
    static bool lineGapCounts(const QFont &font);
};

} // namespace tamapiko::engine
