#include "engine/layout/InlinePictureSize.h"

#include "engine/ResourceImage.h"
#include "engine/Units.h"

#include <QImage>
#include <QTextFormat>

#include <algorithm>

namespace tamapiko::engine {

QSizeF inlinePictureSize(QTextDocument *document, const QTextImageFormat &format, int maxWidth)
{
    qreal width = format.width() * TwipsPerPoint;
    qreal height = format.height() * TwipsPerPoint;
    if (width <= 0 || height <= 0) {
        const QImage picture = resourceImage(document, format.name());
        // Pixels count as 96 dots per inch unless the picture says otherwise.
        const qreal dpiX = picture.dotsPerMeterX() > 0 ? picture.dotsPerMeterX() * 0.0254 : 96;
        const qreal dpiY = picture.dotsPerMeterY() > 0 ? picture.dotsPerMeterY() * 0.0254 : 96;
        const qreal naturalW = picture.isNull() ? 480 : picture.width() * 1440 / dpiX;
        const qreal naturalH = picture.isNull() ? 480 : picture.height() * 1440 / dpiY;
        if (width <= 0 && height <= 0) {
            width = naturalW;
            height = naturalH;
        } else if (width <= 0) {
            width = naturalH > 0 ? height * naturalW / naturalH : height;
        } else {
            height = naturalW > 0 ? width * naturalH / naturalW : width;
        }
    }
    if (maxWidth > 0 && width > maxWidth) {
        height = height * maxWidth / width;
        width = maxWidth;
    }
    return QSizeF(std::max<qreal>(1, width), std::max<qreal>(1, height));
}

} // namespace tamapiko::engine
