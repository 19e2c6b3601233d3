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

// The image to show for a picture's bytes (any format Qt reads, or a
// metafile, drawn at `sizePoints` when given); null when undecodable.
QImage decodePictureBytes(const QByteArray &bytes, QSizeF sizePoints = {});

// A linked picture's image, read from its file at `sizePoints`; a
// placeholder of that size when the file is missing or unreadable.
QImage readLinkedPicture(const QString &path, QSizeF sizePoints);

// The format of a picture linked to `path` (absolute), shown at
// `sizePoints`, or at its own size when that is empty; its image (a
// placeholder when the file is missing) is added to the document's
// resources. The file is read only when it is a local regular file.
QTextImageFormat linkedPictureFormat(QTextDocument *document, const QString &path, QSizeF sizePoints);

// The image a picture or object of the document shows, made afresh from
// what its format keeps (the picture's or object's bytes, or a linked path).
QImage imageForFormat(const QTextImageFormat &format);

// A grey crossed box that stands for a picture that cannot be shown.
QImage placeholderPicture(QSizeF sizePoints);

// "wmf", "emf", or the lower-case name of the format Qt recognises; empty
// when nothing recognises the bytes.
QString pictureBytesFormat(const QByteArray &bytes);

} // namespace tamapiko::engine
