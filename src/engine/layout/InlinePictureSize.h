#pragma once

// The size a picture held as a character takes in the line.

#include <QSizeF>

class QTextDocument;
class QTextImageFormat;

namespace tamapiko::engine {

// In twips: the size the format asks for, else the picture's own size at its
// resolution (96 dpi when it names none); the missing side of a half-given
// size follows the aspect ratio; never wider than `maxWidth` (when > 0).
QSizeF inlinePictureSize(QTextDocument *document, const QTextImageFormat &format, int maxWidth);

} // namespace tamapiko::engine
