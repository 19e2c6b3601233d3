#include "engine/formats/RtfPicture.h"

#include "engine/editing/PictureReader.h"
#include "engine/metafile/Dib.h"
#include "engine/metafile/Metafile.h"
#include "engine/Units.h"

#include <QBuffer>
#include <QImageReader>
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
    case PictureFormat::Dib: result.image = metafile::decodeDib(source.bytes).image; break;
    case PictureFormat::DeviceBitmap: result.image = readDeviceBitmap(source); break;
    default: break;
    }
    if (result.image.isNull() && source.format == PictureFormat::Unknown)
        result.image = readImage(source.bytes, nullptr); // let Qt sniff the bytes

    std::optional<metafile::Metafile> picture;
    if (source.format == PictureFormat::Wmf || source.format == PictureFormat::Emf)
        picture = metafile::Metafile::fromData(source.bytes);

    QSizeF natural;
    if (picture && !(source.width > 0 && source.height > 0)) {
        natural = picture->naturalSize();
    } else if (!result.image.isNull()) {
        natural = QSizeF(result.image.width(), result.image.height()) * kPointsPerPixel;
    } else if (isMetafile(source.format) && source.width > 0 && source.height > 0) {
        natural = QSizeF(source.width, source.height) * (72.0 / 2540.0); // 0.01 mm
    } else if (source.width > 0 && source.height > 0) {
        natural = QSizeF(source.width, source.height) * kPointsPerPixel;
    } else {
        natural = QSizeF(72, 72);
    }
    QSizeF size(source.goalWidth > 0 ? pointsFromTwips(source.goalWidth) : natural.width(),
                source.goalHeight > 0 ? pointsFromTwips(source.goalHeight) : natural.height());
    if (source.scaleX > 0)
        size.setWidth(size.width() * source.scaleX / 100.0);
    if (source.scaleY > 0)
        size.setHeight(size.height() * source.scaleY / 100.0);
    size = QSizeF(std::clamp(size.width(), 1.0, kMaxPoints), std::clamp(size.height(), 1.0, kMaxPoints));
    result.sizePoints = size;

    if (picture)
        result.image = picture->toDocumentImage(size);
    if (result.image.isNull()) {
        result.image = placeholderPicture(size);
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
