#pragma once

// Turns a picture file into the image format of a picture held as a
// character: its resource in the document, its size in points, and either
// the file's own bytes (embedded) or its path (linked).

#include <QString>
#include <QTextFormat>

#include <optional>

class QTextDocument;

namespace tamapiko::engine {

struct PictureRequest
{
    QString fileName;
    int widthPercent = 100;       // of the picture's own size
    int heightPercent = 100;
    bool linked = false;
};

// Adds the picture to the document's resources and returns its format, or
// nothing with *error set when the file cannot be read as a picture.
std::optional<QTextImageFormat> readPicture(QTextDocument *document, const PictureRequest &request,
                                            QString *error);

} // namespace tamapiko::engine
