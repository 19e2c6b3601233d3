#pragma once

// Pictures inside RTF: turning the bytes of a \pict group into an image of
// the right size, and back. Metafiles are drawn by our metafile player;
// formats nothing here decodes (Mac PICT, odd device-dependent bitmaps)
// become a placeholder of the right size. The original bytes travel with
// metafiles and placeholders so that writing gives them back unchanged.

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

namespace tamapiko::engine::rtf {

enum class PictureFormat { Unknown, Png, Jpeg, Dib, DeviceBitmap, Wmf, Emf, MacPict };

// What a \pict group said about its picture. Sizes as RTF gives them.
struct PictureSource
{
    PictureFormat format = PictureFormat::Unknown;
    QByteArray bytes;
    int width = 0;         // \picw: pixels, or 0.01 mm for metafiles
    int height = 0;        // \pich
    int goalWidth = 0;     // \picwgoal, twips
    int goalHeight = 0;    // \pichgoal, twips
    int scaleX = 100;      // \picscalex, percent
    int scaleY = 100;
    int bitsPerPixel = 1;  // \wbmbitspixel
    int widthBytes = 0;    // \wbmwidthbytes
};

struct DecodedPicture
{
    QImage image;          // never null: a placeholder when undecodable
    QSizeF sizePoints;     // the size to show the picture at
    bool placeholder = false;
};

DecodedPicture decodePicture(const PictureSource &source);

// "png", "jpeg", "dib", "wbitmap", "wmf", "emf", "pict", or "" for Unknown.
QString pictureFormatName(PictureFormat format);
PictureFormat pictureFormatFromName(const QString &name);

// Converts hex digits to bytes, ignoring anything that is not a digit.
// `pendingNibble` carries an odd digit over to the next call (-1 when none).
void appendHexDigits(QByteArrayView text, QByteArray &out, int &pendingNibble);

} // namespace tamapiko::engine::rtf
