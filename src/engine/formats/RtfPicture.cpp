#include "engine/formats/RtfPicture.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>

namespace tamapiko::engine::rtf {

namespace {

constexpr double kPointsPerPixel = 0.75; // 96 dpi
constexpr double kMaxPoints = 5000;      // about 1.7 m: larger sizes are broken input

QImage readImage(const QByteArray &bytes, const char *format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    return reader.read();
}

// A DIB is a BMP file without its 14-byte file header.
QImage readDib(const QByteArray &dib)
{
    if (dib.size() < 16)
        return {};
    const quint32 headerSize = qFromLittleEndian<quint32>(dib.constData());
    if (headerSize < 12 || headerSize > quint32(dib.size()))
        return {};
    quint32 bitCount = 0;
    quint32 colorsUsed = 0;
    quint32 compression = 0;
    if (headerSize == 12) {
        bitCount = qFromLittleEndian<quint16>(dib.constData() + 10);
    } else if (dib.size() >= 36) {
        bitCount = qFromLittleEndian<quint16>(dib.constData() + 14);
        compression = qFromLittleEndian<quint32>(dib.constData() + 16);
        colorsUsed = qFromLittleEndian<quint32>(dib.constData() + 32);
    }
    const quint32 entrySize = headerSize == 12 ? 3 : 4;
    quint32 paletteEntries = colorsUsed ? colorsUsed : (bitCount <= 8 ? 1u << bitCount : 0);
    paletteEntries = std::min<quint32>(paletteEntries, 256);
    quint32 masks = (headerSize == 40 && (compression == 3 || compression == 6)) ? 12 : 0;
    const quint32 offset = 14 + headerSize + masks + paletteEntries * entrySize;

    QByteArray file(14, '\0');
    file[0] = 'B';
    file[1] = 'M';
    qToLittleEndian<quint32>(quint32(14 + dib.size()), file.data() + 2);
    qToLittleEndian<quint32>(offset, file.data() + 10);
    file += dib;
    return readImage(file, "BMP");
}

// Device-dependent bitmaps carry no palette; monochrome and true-colour ones
// still mean the same on every device.
QImage readDeviceBitmap(const PictureSource &source)
{
    const int width = source.width;
    const int height = source.height;
    const int stride = source.widthBytes;
    if (width <= 0 || height <= 0 || stride <= 0 || width > 20000 || height > 20000)
        return {};
    if (qint64(stride) * height > source.bytes.size())
        return {};
    QImage::Format format;
    switch (source.bitsPerPixel) {
    case 1: format = QImage::Format_Mono; break;
    case 24: format = QImage::Format_BGR888; break;
    case 32: format = QImage::Format_RGB32; break;
    default: return {};
    }
    if (qint64(stride) * 8 < qint64(width) * source.bitsPerPixel)
        return {};
    QImage image(width, height, format);
    if (image.isNull())
        return {};
    if (format == QImage::Format_Mono) {
        image.setColorCount(2);
        image.setColor(0, qRgb(0, 0, 0));
        image.setColor(1, qRgb(255, 255, 255));
    }
    const int copy = std::min<qsizetype>(stride, image.bytesPerLine());
    for (int y = 0; y < height; ++y)
        memcpy(image.scanLine(y), source.bytes.constData() + qsizetype(y) * stride, copy);
    return image;
}

QImage placeholderImage(QSizeF points, PictureFormat format)
{
    const QSize pixels(std::clamp(qRound(points.width() / kPointsPerPixel), 8, 1200),
                       std::clamp(qRound(points.height() / kPointsPerPixel), 8, 1200));
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter painter(&image);
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.drawLine(image.rect().topLeft(), image.rect().bottomRight());
    painter.drawLine(image.rect().bottomLeft(), image.rect().topRight());
    Q_UNUSED(format);
    return image;
}

bool isMetafile(PictureFormat format)
{
    return format == PictureFormat::Wmf || format == PictureFormat::Emf || format == PictureFormat::MacPict;
}

} // namespace

DecodedPicture decodePicture(const PictureSource &source)
{
    DecodedPicture result;
    switch (source.format) {
    case PictureFormat::Png: result.image = readImage(source.bytes, "PNG"); break;
    case PictureFormat::Jpeg: result.image = readImage(source.bytes, "JPEG"); break;
    case PictureFormat::Dib: result.image = readDib(source.bytes); break;
    case PictureFormat::DeviceBitmap: result.image = readDeviceBitmap(source); break;
    default: break;
    }
    if (result.image.isNull() && source.format == PictureFormat::Unknown)
        result.image = readImage(source.bytes, nullptr); // let Qt sniff the bytes

    QSizeF natural;
    if (!result.image.isNull()) {
        natural = QSizeF(result.image.width(), result.image.height()) * kPointsPerPixel;
    } else if (isMetafile(source.format) && source.width > 0 && source.height > 0) {
        natural = QSizeF(source.width, source.height) * (72.0 / 2540.0); // 0.01 mm
    } else if (source.width > 0 && source.height > 0) {
        natural = QSizeF(source.width, source.height) * kPointsPerPixel;
    } else {
        natural = QSizeF(72, 72);
    }
    QSizeF size(source.goalWidth > 0 ? source.goalWidth / 20.0 : natural.width(),
                source.goalHeight > 0 ? source.goalHeight / 20.0 : natural.height());
    if (source.scaleX > 0)
        size.setWidth(size.width() * source.scaleX / 100.0);
    if (source.scaleY > 0)
        size.setHeight(size.height() * source.scaleY / 100.0);
    size = QSizeF(std::clamp(size.width(), 1.0, kMaxPoints), std::clamp(size.height(), 1.0, kMaxPoints));
    result.sizePoints = size;

    if (result.image.isNull()) {
        result.image = placeholderImage(size, source.format);
        result.placeholder = true;
    }
    return result;
}

QString pictureFormatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png: return QStringLiteral("png");
    case PictureFormat::Jpeg: return QStringLiteral("jpeg");
    case PictureFormat::Dib: return QStringLiteral("dib");
    case PictureFormat::DeviceBitmap: return QStringLiteral("wbitmap");
    case PictureFormat::Wmf: return QStringLiteral("wmf");
    case PictureFormat::Emf: return QStringLiteral("emf");
    case PictureFormat::MacPict: return QStringLiteral("pict");
    case PictureFormat::Unknown: break;
    }
    return {};
}

PictureFormat pictureFormatFromName(const QString &name)
{
    for (PictureFormat format : {PictureFormat::Png, PictureFormat::Jpeg, PictureFormat::Dib,
                                 PictureFormat::DeviceBitmap, PictureFormat::Wmf,
                                 PictureFormat::Emf, PictureFormat::MacPict}) {
        if (name.compare(pictureFormatName(format), Qt::CaseInsensitive) == 0)
            return format;
    }
    if (name.compare(QLatin1String("jpg"), Qt::CaseInsensitive) == 0)
        return PictureFormat::Jpeg;
    return PictureFormat::Unknown;
}

void appendHexDigits(QByteArrayView text, QByteArray &out, int &pendingNibble)
{
    for (const char c : text) {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        else
            continue;
        if (pendingNibble < 0) {
            pendingNibble = value;
        } else {
            out.append(char(pendingNibble * 16 + value));
            pendingNibble = -1;
        }
    }
}

} // namespace tamapiko::engine::rtf
