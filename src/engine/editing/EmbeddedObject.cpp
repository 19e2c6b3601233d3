#include "engine/editing/EmbeddedObject.h"

#include "engine/EngineProperties.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

namespace tamapiko::engine {

namespace {

constexpr qint64 kMaxObjectBytes = 256 << 20;
constexpr int kIconPixels = 64;
constexpr int kImageWidth = 192;   // pixels at twice 96 dpi: 72 points
constexpr int kImageHeight = 128;

// A sheet with a folded corner, for types the desktop has no icon for.
void drawGenericIcon(QPainter &painter, const QRect &box)
{
    const int fold = box.width() / 4;
    QPolygon sheet;
    sheet << box.topLeft() << QPoint(box.right() - fold, box.top()) << QPoint(box.right(), box.top() + fold)
          << box.bottomRight() << box.bottomLeft();
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 2));
    painter.setBrush(Qt::white);
    painter.drawPolygon(sheet);
    painter.drawPolyline(QPolygon({QPoint(box.right() - fold, box.top()),
                                   QPoint(box.right() - fold, box.top() + fold),
                                   QPoint(box.right(), box.top() + fold)}));
}

QTemporaryDir &privateFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tamapiko-objects-XXXXXX"));
    return folder;
}

// The name a copy is written under: the stored name without any folder part.
QString safeFileName(const QString &stored)
{
    QString name = QFileInfo(stored).fileName();
    name.remove(QLatin1Char('/'));
    name.remove(QLatin1Char('\\'));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("object");
    return name;
}

} // namespace

bool isEmbeddedObject(const QTextFormat &format)
{
    return format.isImageFormat() && format.hasProperty(ObjectData);
}

QImage embeddedObjectImage(const QString &fileName, const QString &mimeType)
{
    QImage image(kImageWidth, kImageHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(192 / 0.0254));
    image.setDotsPerMeterY(qRound(192 / 0.0254));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect iconBox((kImageWidth - kIconPixels) / 2, 8, kIconPixels, kIconPixels);
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeType);
    QIcon icon = QIcon::fromTheme(mime.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(mime.genericIconName());
    if (!icon.isNull())
        icon.paint(&painter, iconBox);
    else
        drawGenericIcon(painter, iconBox.adjusted(10, 0, -10, 0));
    QFont font = painter.font();
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRect textBox(4, iconBox.bottom() + 8, kImageWidth - 8, kImageHeight - iconBox.bottom() - 12);
    const QString elided = QFontMetrics(font).elidedText(fileName, Qt::ElideMiddle, textBox.width());
    painter.drawText(textBox, Qt::AlignHCenter | Qt::AlignTop, elided);
    return image;
}

std::optional<QTextImageFormat> readEmbeddedObject(QTextDocument *document, const QString &fileName,
                                                   QString *error)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return std::nullopt;
    }
    if (file.size() > kMaxObjectBytes) {
        *error = QStringLiteral("%1: the file is too large to embed").arg(fileName);
        return std::nullopt;
    }
    return embeddedObjectFormat(document, QFileInfo(fileName).fileName(), file.readAll());
}

QTextImageFormat embeddedObjectFormat(QTextDocument *document, const QString &fileName, const QByteArray &bytes)
{
    const QString name = safeFileName(fileName);
    const QString mimeType = QMimeDatabase().mimeTypeForFileNameAndData(name, bytes).name();

    const QString resource = QStringLiteral("tamapiko-object:")
        + QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(20))
        + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(name));
    const QImage image = embeddedObjectImage(name, mimeType);
    document->addResource(QTextDocument::ImageResource, QUrl(resource), image);

    QTextImageFormat format;
    format.setName(resource);
    format.setWidth(kImageWidth * 72.0 / 192);
    format.setHeight(kImageHeight * 72.0 / 192);
    format.setProperty(ObjectData, bytes);
    format.setProperty(ObjectFileName, name);
    format.setProperty(ObjectMimeType, mimeType);
    return format;
}

bool openEmbeddedObject(const QTextFormat &format, QString *error)
{
    QTemporaryDir &folder = privateFolder();
    if (!folder.isValid()) {
        *error = folder.errorString();
        return false;
    }
    const QByteArray bytes = format.property(ObjectData).toByteArray();
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(12);
    // One subfolder per content, so that two objects of the same name do
    // not overwrite each other's copy while both are open.
    const QString subfolder = folder.filePath(QString::fromLatin1(hash));
    if (!QDir().mkpath(subfolder)) {
        *error = QStringLiteral("%1: cannot create the folder").arg(subfolder);
        return false;
    }
    QFile::setPermissions(subfolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = subfolder + QLatin1Char('/') + safeFileName(format.stringProperty(ObjectFileName));
    QFile copy(path);
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate) || copy.write(bytes) != bytes.size()) {
        *error = QStringLiteral("%1: %2").arg(path, copy.errorString());
        return false;
    }
    copy.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        *error = QStringLiteral("%1: no program opens this type of file").arg(path);
        return false;
    }
    return true;
}

} // namespace tamapiko::engine
