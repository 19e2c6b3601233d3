#include "engine/editing/PictureReader.h"

#include "engine/EngineProperties.h"
#include "engine/editing/EmbeddedObject.h"
#include "engine/io/LocalResourceDocument.h"
#include "engine/io/SafeFile.h"
#include "engine/metafile/Metafile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace tamapiko::engine {

using metafile::Metafile;
using metafile::MetafileType;

namespace {

constexpr qint64 kMaxPictureBytes = 256 << 20;

} // namespace

QImage decodePictureBytes(const QByteArray &bytes, QSizeF sizePoints)
{
    if (const std::optional<Metafile> picture = Metafile::fromData(bytes))
        return picture->toDocumentImage(sizePoints.isEmpty() ? picture->naturalSize() : sizePoints);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

QImage placeholderPicture(QSizeF points)
{
    constexpr double pointsPerPixel = 0.75; // 96 dpi
    const QSize pixels(std::clamp(qRound(points.width() / pointsPerPixel), 8, 1200),
                       std::clamp(qRound(points.height() / pointsPerPixel), 8, 1200));
    QImage image(pixels, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter painter(&image);
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    painter.drawLine(image.rect().topLeft(), image.rect().bottomRight());
    painter.drawLine(image.rect().bottomLeft(), image.rect().topRight());
    return image;
}

QImage readLinkedPicture(const QString &path, QSizeF sizePoints)
{
    QByteArray bytes;
    QString reason;
    QImage image;
    // Only a regular file: a link is never a device, a pipe or a network address.
    if (readRegularFile(path, kMaxPictureBytes, &bytes, &reason))
        image = decodePictureBytes(bytes, sizePoints);
    return image.isNull() ? placeholderPicture(sizePoints) : image;
}

QImage imageForFormat(const QTextImageFormat &format)
{
    const QSizeF size(format.width(), format.height());
    if (isEmbeddedObject(format))
        return embeddedObjectImage(format.stringProperty(ObjectFileName), format.stringProperty(ObjectMimeType));
    if (format.hasProperty(ImageOriginalData))
        return decodePictureBytes(format.property(ImageOriginalData).toByteArray(), size);
    if (format.hasProperty(ImageLinkedPath))
        return readLinkedPicture(format.stringProperty(ImageLinkedPath), size);
    return QImage();
}

QTextImageFormat linkedPictureFormat(QTextDocument *document, const QString &path, QSizeF sizePoints)
{
    const bool sized = sizePoints.width() > 0 && sizePoints.height() > 0;
    const QImage image = readLinkedPicture(path, sized ? sizePoints : QSizeF(72, 72));
    if (!sized) {
        const double dpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96;
        const double dpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : 96;
        sizePoints = QSizeF(image.width() * 72.0 / dpiX, image.height() * 72.0 / dpiY);
    }
    const QString name = QUrl::fromLocalFile(path).toString();
    document->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(sizePoints.width());
    format.setHeight(sizePoints.height());
    format.setProperty(ImageLinkedPath, path);
    return format;
}

QString pictureBytesFormat(const QByteArray &bytes)
{
    if (const std::optional<Metafile> picture = Metafile::fromData(bytes))
        return picture->type() == MetafileType::Emf ? QStringLiteral("emf") : QStringLiteral("wmf");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QImageReader(&buffer).format()).toLower();
}

std::optional<QTextImageFormat> readPicture(QTextDocument *document, const PictureRequest &request,
                                            QString *error)
{
    QByteArray bytes;
    QString reason;
    if (!readRegularFile(request.fileName, LargestResource, &bytes, &reason)) {
        *error = QStringLiteral("%1: %2").arg(request.fileName, reason);
        return std::nullopt;
    }
    const double scaleW = (request.widthPercent > 0 ? request.widthPercent : 100) / 100.0;
    const double scaleH = (request.heightPercent > 0 ? request.heightPercent : 100) / 100.0;

    QImage image;
    QSizeF sizePoints;
    QString imageFormat;
    if (const std::optional<Metafile> picture = Metafile::fromData(bytes)) {
        const QSizeF natural = picture->naturalSize();
        sizePoints = QSizeF(natural.width() * scaleW, natural.height() * scaleH);
        image = picture->toDocumentImage(sizePoints);
        imageFormat = picture->type() == MetafileType::Emf ? QStringLiteral("emf") : QStringLiteral("wmf");
    } else {
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer);
        imageFormat = QString::fromLatin1(reader.format()).toLower();
        image = reader.read();
        if (image.isNull()) {
            *error = QStringLiteral("%1: %2").arg(request.fileName, reader.errorString());
            return std::nullopt;
        }
        // Pixels are 96 to the inch unless the picture says otherwise.
        const double dpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96;
        const double dpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : 96;
        sizePoints = QSizeF(image.width() * 72.0 / dpiX * scaleW, image.height() * 72.0 / dpiY * scaleH);
    }

    const QString absolute = QFileInfo(request.fileName).absoluteFilePath();
    static int counter = 0;
    const QString name = request.linked ? QUrl::fromLocalFile(absolute).toString()
                                        : QStringLiteral("tamapiko-image-%1").arg(++counter);
    document->addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.setName(name);
    format.setWidth(sizePoints.width());
    format.setHeight(sizePoints.height());
    if (request.linked) {
        format.setProperty(ImageLinkedPath, absolute);
    } else {
        format.setProperty(ImageOriginalData, bytes);
        format.setProperty(ImageOriginalFormat, imageFormat);
    }
    return format;
}

} // namespace tamapiko::engine
