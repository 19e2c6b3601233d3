#pragma once

// PdfTextRuns: makes the PDF files Qt's PDF engine writes smaller by
// rewriting how their text is shown.
//
// Qt's engine places every glyph on its own ("dx dy Td <glyph> Tj"), gives
// every glyph run its own font and matrix and saves and restores the
// graphics state around each, which makes a page of text several times
// larger than it needs to be. Here the glyphs of a line go into one array
// of raw two-byte codes ("[(..)-3(..)] TJ") where the font's own advance
// widths place them and a number corrects a glyph only where Qt put it
// elsewhere (kerning, justification, rounding); a font or matrix is written
// only when it changes; state saved and restored around nothing painted
// goes, and clip rectangles are written as rectangles. Every glyph ends up
// within a thousandth and a half of an em of where Qt put it. The page
// streams are then compressed again.
//
// Anything not written the way Qt writes it is left as it is: a text
// object with operators this does not know, a font without widths, a file
// whose structure is not the expected one (then the file is returned
// unchanged).

#include <QByteArray>

namespace tamapiko::printing {

QByteArray compactPdfText(const QByteArray &pdf);

} // namespace tamapiko::printing
