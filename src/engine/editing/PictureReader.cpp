#include "engine/editing/PictureReader.h"

#include "engine/EngineProperties.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTextDocument>
#include <QUrl>

namespace tamapiko::engine {

std::optional<QTextImageFormat> readPicture(QTextDocument *document, const PictureRequest &request,
                                            QString *error)
{
    QFile file(request.fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(request.fileName, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QByteArray imageFormat = reader.format();
    const QImage image = reader.read();
    if (image.isNull()) {
        *error = QStringLiteral("%1: %2").arg(request.fileName, reader.errorString());
        return std::nullopt;
    }

    const QString absolute = QFileInfo(request.fileName).absoluteFilePath();
    static int counter = 0;
    const QString name = request.linked ? QUrl::fromLocalFile(absolute).toString()
                                        : QStringLiteral("tamapiko-image-%1").arg(++counter);
    document->addResource(QTextDocument::ImageResource, QUrl(name), image);

    QTextImageFormat format;
    format.setName(name);
    // Pixels are 96 to the inch unless the picture says otherwise.
    const double dpiX = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 96;
    const double dpiY = image.dotsPerMeterY() > 0 ? image.dotsPerMeterY() * 0.0254 : 96;
    const double scaleW = (request.widthPercent > 0 ? request.widthPercent : 100) / 100.0;
    const double scaleH = (request.heightPercent > 0 ? request.heightPercent : 100) / 100.0;
    format.setWidth(image.width() * 72.0 / dpiX * scaleW);
    format.setHeight(image.height() * 72.0 / dpiY * scaleH);
    if (request.linked) {
        format.setProperty(ImageLinkedPath, absolute);
    } else {
        format.setProperty(ImageOriginalData, bytes);
        format.setProperty(ImageOriginalFormat, QString::fromLatin1(imageFormat));
    }
    return format;
}

} // namespace tamapiko::engine
