#pragma once

// Device-independent bitmaps as metafiles and RTF carry them: a
// BITMAPINFOHEADER (or the older BITMAPCOREHEADER), its colour table and the
// pixel rows, without the file header of a .bmp file.

#include <QByteArrayView>
#include <QImage>

namespace tamapiko::engine::metafile {

struct Dib
{
    QImage image;          // top row first, null when the bytes are no bitmap
    bool bottomUp = true;  // the rows were stored bottom row first
};

// Header, colour table and rows in one run of bytes.
Dib decodeDib(QByteArrayView dib);
// Header with colour table, and rows, kept apart (as in enhanced metafiles).
Dib decodeDib(QByteArrayView info, QByteArrayView bits);

} // namespace tamapiko::engine::metafile
