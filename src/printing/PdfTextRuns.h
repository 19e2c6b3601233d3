#pragma once

// PdfTextRuns: makes the PDF files Qt's PDF engine writes smaller by
// rewriting how their text is shown.
//
// Qt's engine places every glyph on its own ("dx dy Td <glyph> Tj"), which
// makes a page of text several times larger than it needs to be. Within a
// text object whose glyphs follow each other on one line, the glyphs are put
// into one array ("[<glyph><glyph>-3<glyph>] TJ"), where the font's own
// advance widths place them and a number corrects a glyph only where Qt put
// it elsewhere (kerning, justification, rounding); every glyph ends up
// within a thousandth of an em of where Qt put it. The page streams are then
// compressed at the strongest level.
//
// Anything not written the way Qt writes it is left as it is: a text
// object with operators this does not know, a font without widths, a file
// whose structure is not the expected one (then the file is returned
// unchanged).

#include <QByteArray>

namespace tamapiko::printing {

QByteArray compactPdfText(const QByteArray &pdf);

} // namespace tamapiko::printing
