#include "engine/metafile/Dib.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

namespace tamapiko::engine::metafile {

namespace {

constexpr int kMaxSide = 20000;

// `bitsOffset` is where the rows start, or -1 to work it out from the header.
Dib decode(QByteArrayView dib, qsizetype bitsOffset)
{
    Dib result;
    if (dib.size() < 16)
        return result;
    const quint32 headerSize = qFromLittleEndian<quint32>(dib.constData());
    if (headerSize < 12 || headerSize > quint32(dib.size()))
        return result;
    quint32 bitCount = 0;
    quint32 colorsUsed = 0;
    quint32 compression = 0;
    qint32 width = 0;
    qint32 height = 0;
    if (headerSize == 12) {
        width = qFromLittleEndian<quint16>(dib.constData() + 4);
        height = qFromLittleEndian<qint16>(dib.constData() + 6);
        bitCount = qFromLittleEndian<quint16>(dib.constData() + 10);
    } else if (dib.size() >= 36) {
        width = qFromLittleEndian<qint32>(dib.constData() + 4);
        height = qFromLittleEndian<qint32>(dib.constData() + 8);
        bitCount = qFromLittleEndian<quint16>(dib.constData() + 14);
        compression = qFromLittleEndian<quint32>(dib.constData() + 16);
        colorsUsed = qFromLittleEndian<quint32>(dib.constData() + 32);
    } else {
        return result;
    }
    if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return result;
    result.bottomUp = height > 0;

    const quint32 entrySize = headerSize == 12 ? 3 : 4;
    quint32 paletteEntries = colorsUsed ? colorsUsed : (bitCount <= 8 ? 1u << bitCount : 0);
    paletteEntries = std::min<quint32>(paletteEntries, 256);
    const quint32 masks = (headerSize == 40 && (compression == 3 || compression == 6)) ? 12 : 0;
    const qsizetype offset = 14 + (bitsOffset >= 0 ? bitsOffset : headerSize + masks + paletteEntries * entrySize);

    // Qt reads .bmp files: put the file header in front.
    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(quint32(offset), file.data() + 10);
    file += dib;
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "BMP");
    result.image = reader.read();
    return result;
}

} // namespace

Dib decodeDib(QByteArrayView dib)
{
    return decode(dib, -1);
}

Dib decodeDib(QByteArrayView info, QByteArrayView bits)
{
    QByteArray joined;
    joined.reserve(info.size() + bits.size());
    joined.append(info);
    joined.append(bits);
    return decode(joined, info.size());
}

} // namespace tamapiko::engine::metafile
