#include "engine/formats/HtmlReader.h"

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/HtmlCharset.h"
#include "engine/formats/HtmlExtras.h"
#include "engine/formats/HtmlLengths.h"
#include "engine/formats/HtmlNesting.h"
#include "engine/io/SafeFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

namespace tamapiko::engine {

namespace {

constexpr qint64 kMaxPictureBytes = 64 * 1024 * 1024;
constexpr int kPlaceholderPixels = 64;

// The grey box with a cross that stands in for a picture we will not or
// cannot load, so that the reader still sees that one was there.
// One small crossed box shared by every missing picture: the tag's width
// and height scale it when it is painted, so a page full of large
// placeholders costs no more memory than one.
QImage placeholder()
{
    static const QImage shared = [] {
        const int size = kPlaceholderPixels;
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(QColor(0xE8, 0xE8, 0xE8));
        QPainter painter(&image);
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawRect(0, 0, size - 1, size - 1);
        painter.drawLine(0, 0, size - 1, size - 1);
        painter.drawLine(0, size - 1, size - 1, 0);
        return image;
    }();
    return shared;
}

QString unescapeAttribute(QString value)
{
    value.replace(QLatin1String("&quot;"), QLatin1String("\""));
    value.replace(QLatin1String("&#39;"), QLatin1String("'"));
    value.replace(QLatin1String("&lt;"), QLatin1String("<"));
    value.replace(QLatin1String("&gt;"), QLatin1String(">"));
    value.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return value.trimmed();
}

// data:[<media type>][;base64],<data>
bool decodeDataUri(const QString &uri, QByteArray *bytes, QString *format)
{
    const qsizetype comma = uri.indexOf(QLatin1Char(','));
    if (comma < 0)
        return false;
    const QString header = uri.mid(5, comma - 5).toLower();
    const QByteArray payload = uri.mid(comma + 1).toLatin1();
    if (header.endsWith(QLatin1String(";base64"))) {
        const auto decoded = QByteArray::fromBase64Encoding(QByteArray(payload).replace(' ', ""),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return false;
        *bytes = *decoded;
    } else {
        *bytes = QByteArray::fromPercentEncoding(payload);
    }
    const QString mime = header.section(QLatin1Char(';'), 0, 0);
    *format = mime.startsWith(QLatin1String("image/")) ? mime.mid(6) : QString();
    if (format->startsWith(QLatin1String("svg")))
        format->clear(); // an SVG picture would need a renderer we do not load
    return true;
}

QString formatOf(const QByteArray &bytes)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return QString::fromLatin1(QImageReader::imageFormat(&buffer));
}

} // namespace

HtmlReader::HtmlReader(const QString &baseDir)
    : m_baseDir(baseDir)
{
}

bool HtmlReader::read(const QByteArray &bytes, DocumentModel &model, QString *error)
{
    Q_UNUSED(error) // every byte sequence is some HTML
    HtmlCharset::Detection charset;
    const QString html = HtmlCharset::decode(bytes, &charset);

    model.clear();
    QTextDocument *doc = model.document();
    doc->setUndoRedoEnabled(false);
    html::ExtrasReader extras;
    const QString prepared = html::lengthsToPoints(resolvePictures(extras.take(html::limitNesting(html)), model));
    // Whatever Qt still looks up by itself while parsing (a style sheet
    // named in <link>) is found next to the document, not in the program's
    // working folder. Afterwards names are our picture names again.
    if (!m_baseDir.isEmpty())
        doc->setBaseUrl(QUrl::fromLocalFile(m_baseDir + QLatin1Char('/')));
    doc->setHtml(prepared);
    doc->setBaseUrl(QUrl());
    dropBlocksAddedAfterTables(model);
    mendFormats(model);
    extras.apply(doc);
    doc->setUndoRedoEnabled(true);

    if (const auto page = html::pageSetupFromCss(html, model.pageSetup()))
        model.setPageSetup(*page);
    model.setSourceProperty(QStringLiteral("html/charset"), QString::fromLatin1(charset.name));
    return true;
}

QString HtmlReader::resolvePictures(const QString &html, DocumentModel &model)
{
    static const QRegularExpression imgTag(QStringLiteral("<img\\s[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression src(QStringLiteral("(\\ssrc\\s*=\\s*)(\"[^\"]*\"|'[^']*'|[^\\s>]+)"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype last = 0;
    for (auto it = imgTag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch tag = it.next();
        QString rewritten = tag.captured(0);
        const QRegularExpressionMatch source = src.match(rewritten);
        if (source.hasMatch()) {
            QString value = source.captured(2);
            if (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
                value = value.mid(1, value.size() - 2);
            const QString name = resolvePicture(unescapeAttribute(value), rewritten, model);
            rewritten.replace(source.capturedStart(2), source.capturedLength(2),
                              QLatin1Char('"') + name.toHtmlEscaped() + QLatin1Char('"'));
        }
        result += QStringView(html).mid(last, tag.capturedStart() - last);
        result += rewritten;
        last = tag.capturedEnd();
    }
    result += QStringView(html).mid(last);
    return result;
}

QString HtmlReader::resolvePicture(const QString &source, const QString &imgTag, DocumentModel &model)
{
    Q_UNUSED(imgTag); // its width and height size the placeholder when painted
    const QString name = QStringLiteral("html-picture-%1").arg(m_pictures.size() + 1);
    Picture picture;
    QImage pixels;

    if (source.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
        if (decodeDataUri(source, &picture.bytes, &picture.format))
            pixels = QImage::fromData(picture.bytes);
    } else {
        const QUrl url(source);
        const QUrl base = QUrl::fromLocalFile(m_baseDir.isEmpty() ? QString() : m_baseDir + QLatin1Char('/'));
        const QUrl resolved = url.isRelative() && !m_baseDir.isEmpty() ? base.resolved(url) : url;
        const bool local = resolved.isLocalFile() || (url.scheme().size() == 1 && QDir::isAbsolutePath(source));
        if (local) {
            picture.linkedPath = resolved.isLocalFile() ? resolved.toLocalFile() : source;
            // Only a regular file: a FIFO or a device named as a picture
            // would block the reader or never end.
            QString reason;
            if (readRegularFile(picture.linkedPath, kMaxPictureBytes, &picture.bytes, &reason))
                pixels = QImage::fromData(picture.bytes);
        } else if (!source.isEmpty()) {
            picture.remoteUrl = source; // never fetched
        }
    }

    if (pixels.isNull()) {
        picture.bytes.clear();
        pixels = placeholder();
    } else {
        picture.linkedPath.clear(); // read in full: embedded from now on
        if (picture.format.isEmpty() || picture.format == QLatin1String("jpg"))
            picture.format = formatOf(picture.bytes);
    }
    model.document()->addResource(QTextDocument::ImageResource, QUrl(name), pixels);
    m_pictures.insert(name, picture);
    return name;
}

// Qt keeps pixel font sizes as such, and knows nothing of where a picture
// came from; both are put right fragment by fragment.
void HtmlReader::mendFormats(DocumentModel &model) const
{
    struct Change
    {
        int position;
        int length;
        QTextCharFormat format;
    };
    QList<Change> changes;
    QTextDocument *doc = model.document();
    QTextCursor cursor(doc);
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        // Qt marks right alignment from HTML as absolute; the model's right
        // is the plain one.
        if (block.blockFormat().alignment() & Qt::AlignAbsolute) {
            QTextBlockFormat format = block.blockFormat();
            format.setAlignment(format.alignment() & ~Qt::AlignAbsolute);
            cursor.setPosition(block.position());
            cursor.setBlockFormat(format);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            bool changed = false;
            // Headings and <font size> come as steps relative to the
            // default size; the model wants the size itself, which the
            // document has already worked out for the fragment's font.
            if (format.hasProperty(QTextFormat::FontSizeAdjustment) && !format.hasProperty(QTextFormat::FontPointSize)
                && !format.hasProperty(QTextFormat::FontPixelSize)) {
                format.setFontPointSize(fragment.charFormat().font().pointSizeF());
                format.clearProperty(QTextFormat::FontSizeAdjustment);
                changed = true;
            }
            if (format.hasProperty(QTextFormat::FontPixelSize)) {
                format.setFontPointSize(format.intProperty(QTextFormat::FontPixelSize) * 0.75);
                format.clearProperty(QTextFormat::FontPixelSize);
                changed = true;
            }
            if (format.isImageFormat()) {
                const auto picture = m_pictures.constFind(format.toImageFormat().name());
                if (picture != m_pictures.cend()) {
                    if (!picture->bytes.isEmpty()) {
                        format.setProperty(ImageOriginalData, picture->bytes);
                        format.setProperty(ImageOriginalFormat, picture->format);
                    }
                    if (!picture->linkedPath.isEmpty())
                        format.setProperty(ImageLinkedPath, picture->linkedPath);
                    if (!picture->remoteUrl.isEmpty())
                        format.setProperty(ImageRemoteUrl, picture->remoteUrl);
                    changed = true;
                }
            }
            if (changed)
                changes.append({fragment.position(), fragment.length(), format});
        }
    }
    // Applied after the walk: changing formats splits and joins fragments.
    for (const Change &change : std::as_const(changes)) {
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
}

// Qt's importer opens a paragraph of its own after every table that is
// followed by another block element, so each trip through HTML would add an
// empty line below each table. That paragraph carries no format at all,
// unlike any written one (even an empty <p> has margins), which tells the
// two apart. The paragraph after it takes its place; its formats are kept.
void HtmlReader::dropBlocksAddedAfterTables(DocumentModel &model)
{
    QTextDocument *doc = model.document();
    QList<int> positions;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QTextBlock next = block.next();
        if (block.length() != 1 || !block.blockFormat().properties().isEmpty() || !next.isValid())
            continue;
        QTextCursor at(block);
        const QTextBlock previous = block.previous();
        if (!previous.isValid())
            continue;
        QTextTable *table = QTextCursor(previous).currentTable();
        if (!table || table->lastPosition() + 1 != block.position())
            continue; // not the paragraph right after a table
        if (QTextCursor(next).currentFrame() != at.currentFrame())
            continue; // the next block is in another frame (a table starts there)
        positions.append(block.position());
    }
    // From the end, so that earlier positions stay valid.
    for (auto it = positions.crbegin(); it != positions.crend(); ++it) {
        const QTextBlock next = doc->findBlock(*it).next();
        const QTextBlockFormat blockFormat = next.blockFormat();
        const QTextCharFormat blockCharFormat = next.charFormat();
        QTextCursor cursor(doc);
        cursor.setPosition(*it);
        cursor.setPosition(next.position(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.setBlockFormat(blockFormat);
        cursor.setBlockCharFormat(blockCharFormat);
    }
}

} // namespace tamapiko::engine
