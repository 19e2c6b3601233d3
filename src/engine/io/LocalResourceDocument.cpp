#include "engine/io/LocalResourceDocument.h"

#include "engine/io/SafeFile.h"

#include <QDir>
#include <QImage>
#include <QUrl>

namespace tamapiko::engine {

QVariant LocalResourceDocument::loadResource(int type, const QUrl &name)
{
    // Resources the readers added are answered from the document's cache
    // before this is asked; what is asked here was named by the file. A name
    // without a scheme is a path, as Qt takes it.
    QString path;
    if (name.isLocalFile()) {
        path = name.toLocalFile();
    } else if (name.scheme().isEmpty()) {
        if (QDir::isAbsolutePath(name.path()))
            path = name.path();
        else if (baseUrl().isLocalFile())
            path = baseUrl().resolved(name).toLocalFile();
    }
    if (path.isEmpty())
        return QVariant();   // never the network, never Qt's resource system
    QByteArray bytes;
    QString reason;
    if (!readRegularFile(path, LargestResource, &bytes, &reason))
        return QVariant();
    if (type == ImageResource) {
        const QImage image = QImage::fromData(bytes);
        return image.isNull() ? QVariant() : QVariant(image);
    }
    return bytes;
}

} // namespace tamapiko::engine
