#include "engine/layout/BorrowedLineHeight.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace tamapiko::engine {

BorrowedLineHeight borrowedLineHeight(const QTextBlock &block, int lineIndex)
{
    const QTextLayout *layout = block.layout();
    if (lineIndex < 0 || lineIndex + 1 >= layout->lineCount())
        return {};
    // Asked for every line painted: look at one character before anything
    // costlier.
    const QTextLine next = layout->lineAt(lineIndex + 1);
    if (block.document()->characterAt(block.position() + next.textStart()) != QChar::ObjectReplacementCharacter)
        return {};
    const QTextLine line = layout->lineAt(lineIndex);
    // A line holding a picture of its own is as tall as Qt says; only text
    // lines are measured again, from the fonts their glyphs are drawn with.
    if (block.text().mid(line.textStart(), line.textLength()).contains(QChar::ObjectReplacementCharacter))
        return {};
    qreal ascent = 0;
    qreal descent = 0;
    const QList<QGlyphRun> runs = line.glyphRuns();
    for (const QGlyphRun &run : runs) {
        const QRawFont font = run.rawFont();
        ascent = std::max(ascent, font.ascent());
        descent = std::max(descent, font.descent());
    }
    if (runs.isEmpty() || ascent + descent >= line.ascent() + line.descent() - 0.5)
        return {};
    BorrowedLineHeight borrowed;
    borrowed.ascent = std::max<qreal>(0, line.ascent() - ascent);
    borrowed.height = std::max<qreal>(0, line.ascent() + line.descent() - ascent - descent);
    return borrowed;
}

} // namespace tamapiko::engine
