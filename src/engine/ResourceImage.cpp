#include "engine/ResourceImage.h"

#include <QPixmap>
#include <QTextDocument>
#include <QUrl>

namespace tamapiko::engine {

QImage resourceImage(const QTextDocument *document, const QString &name)
{
    const QVariant resource = document->resource(QTextDocument::ImageResource, QUrl(name));
    if (resource.metaType() == QMetaType::fromType<QImage>())
        return resource.value<QImage>();
    if (resource.metaType() == QMetaType::fromType<QPixmap>())
        return resource.value<QPixmap>().toImage();
    if (resource.metaType() == QMetaType::fromType<QByteArray>())
        return QImage::fromData(resource.toByteArray());
    return QImage();
}

} // namespace tamapiko::engine
