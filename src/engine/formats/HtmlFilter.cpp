#include "engine/ResourceImage.h"
#include "engine/formats/HtmlFilter.h"

#include "engine/DocumentModel.h"
#include "engine/EngineProperties.h"
#include "engine/formats/HtmlExtras.h"
#include "engine/formats/HtmlLengths.h"
#include "engine/formats/HtmlReader.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <memory>
#include <QUrl>

namespace tamapiko::engine {

namespace {

const FilterRegistration<HtmlFilter> registration;

constexpr qint64 kMaxHtmlBytes = 512 * 1024 * 1024;

QString mimeTypeFor(const QString &format)
{
    const QString lower = format.toLower();
    if (lower == QLatin1String("png") || lower == QLatin1String("gif") || lower == QLatin1String("bmp")
        || lower == QLatin1String("webp"))
        return QStringLiteral("image/") + lower;
    if (lower == QLatin1String("jpeg") || lower == QLatin1String("jpg"))
        return QStringLiteral("image/jpeg");
    return QString(); // not something every browser shows: converted to PNG
}

// What the src attribute of a picture becomes: its bytes as a data: URI so
// that the file stands alone, or its address when there are no bytes to give.
QString pictureSource(const QTextDocument *doc, const QTextImageFormat &image)
{
    if (image.hasProperty(ImageRemoteUrl))
        return image.stringProperty(ImageRemoteUrl);
    const QByteArray original = image.property(ImageOriginalData).toByteArray();
    const QString mime = mimeTypeFor(image.stringProperty(ImageOriginalFormat));
    if (!original.isEmpty() && !mime.isEmpty())
        return QStringLiteral("data:%1;base64,%2").arg(mime, QString::fromLatin1(original.toBase64()));

    QImage pixels = resourceImage(doc, image.name());
    if (pixels.isNull() && image.hasProperty(ImageLinkedPath))
        pixels = QImage(image.stringProperty(ImageLinkedPath));
    if (pixels.isNull() && !original.isEmpty())
        pixels = QImage::fromData(original);
    if (pixels.isNull()) {
        if (image.hasProperty(ImageLinkedPath))
            return QUrl::fromLocalFile(image.stringProperty(ImageLinkedPath)).toString();
        return image.name();
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pixels.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

// The pictures in the text; the format collection may also hold formats
// that nothing uses any more.
QList<QTextImageFormat> picturesInUse(const QTextDocument *doc)
{
    QList<QTextImageFormat> pictures;
    QSet<int> seen;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat() && !seen.contains(fragment.charFormatIndex())) {
                seen.insert(fragment.charFormatIndex());
                pictures.append(fragment.charFormat().toImageFormat());
            }
        }
    }
    return pictures;
}

QString embedPictures(QString html, const QTextDocument *doc)
{
    for (const QTextImageFormat &image : picturesInUse(doc)) {
        const QString written = QStringLiteral("src=\"%1\"").arg(image.name().toHtmlEscaped());
        if (html.contains(written))
            html.replace(written, QStringLiteral("src=\"%1\"").arg(pictureSource(doc, image).toHtmlEscaped()));
    }
    return html;
}

// Qt writes only plain underlines and drops dotted, dashed or wavy ones;
// HTML readers know underlined or not, so every style goes out as a line.
bool hasStyledUnderlines(const QTextDocument *doc)
{
    for (const QTextFormat &format : doc->allFormats()) {
        const int style = format.intProperty(QTextFormat::TextUnderlineStyle);
        if (style != QTextCharFormat::NoUnderline && style != QTextCharFormat::SingleUnderline)
            return true;
    }
    return false;
}

void plainUnderlines(QTextDocument *doc)
{
    struct Change
    {
        int position;
        int length;
    };
    QList<Change> changes;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const int style = it.fragment().charFormat().underlineStyle();
            if (style != QTextCharFormat::NoUnderline && style != QTextCharFormat::SingleUnderline)
                changes.append({it.fragment().position(), it.fragment().length()});
        }
    }
    QTextCursor cursor(doc);
    QTextCharFormat single;
    single.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    for (const Change &change : std::as_const(changes)) {
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(single);
    }
}

// Qt leaves out an empty paragraph right after a table (or any frame), and
// its reader makes one up after every table; ours drops what it makes up, so
// an empty paragraph the user has there is written out. Frames are written
// as tables in the order their ends appear, which is the order of
// "</table>" in the markup.
QString withEmptyParagraphsAfterTables(const QTextDocument *doc, QString html)
{
    QList<const QTextFrame *> frames;
    QList<const QTextFrame *> pending{doc->rootFrame()};
    while (!pending.isEmpty()) {
        const QTextFrame *frame = pending.takeLast();
        if (frame != doc->rootFrame())
            frames.append(frame);
        for (const QTextFrame *child : frame->childFrames())
            pending.append(child);
    }
    std::sort(frames.begin(), frames.end(),
              [](const QTextFrame *a, const QTextFrame *b) { return a->lastPosition() < b->lastPosition(); });

    static const QLatin1String tableEnd("</table>");
    static const QString emptyParagraph = QStringLiteral(
        "\n<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
        "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p>");
    if (html.count(tableEnd) != frames.size())
        return html; // not the markup we know: leave it as Qt wrote it

    QString result;
    qsizetype from = 0;
    for (const QTextFrame *frame : std::as_const(frames)) {
        const qsizetype end = html.indexOf(tableEnd, from) + tableEnd.size();
        result += QStringView(html).mid(from, end - from);
        from = end;
        const QTextBlock after = doc->findBlock(frame->lastPosition() + 1);
        const QTextBlock next = after.next();
        const bool keptByQt = after.length() > 1;
        const bool sameFrame = next.isValid() && QTextCursor(next).currentFrame() == QTextCursor(after).currentFrame();
        if (!keptByQt && sameFrame)
            result += emptyParagraph;
    }
    result += QStringView(html).mid(from);
    return result;
}

QString exportedHtml(const QTextDocument *doc)
{
    const bool styledUnderlines = hasStyledUnderlines(doc);
    if (!styledUnderlines && !html::hasExtras(doc))
        return withEmptyParagraphsAfterTables(doc, doc->toHtml());
    std::unique_ptr<QTextDocument> copy(doc->clone());
    if (styledUnderlines)
        plainUnderlines(copy.get());
    const QString html = html::toHtmlWithExtras(copy.get());
    return withEmptyParagraphsAfterTables(copy.get(), html);
}

} // namespace

bool HtmlFilter::readBytes(const QByteArray &bytes, DocumentModel &model, const QString &fileName, QString *error)
{
    const QString baseDir = fileName.isEmpty() ? QString() : QFileInfo(fileName).absolutePath();
    return HtmlReader(baseDir).read(bytes, model, error);
}

QByteArray HtmlFilter::toBytes(const DocumentModel &model)
{
    const QTextDocument *doc = model.document();
    QString html = html::lengthsFromPoints(exportedHtml(doc));
    html = embedPictures(html, doc);

    const QString page = html::pageSetupToCss(model.pageSetup());
    const qsizetype styleEnd = html.indexOf(QLatin1String("</style>"));
    if (styleEnd >= 0)
        html.insert(styleEnd, page + QLatin1Char('\n'));
    if (!html.contains(QLatin1String("<meta charset=\"utf-8\""), Qt::CaseInsensitive)) {
        const qsizetype head = html.indexOf(QLatin1String("<head>"));
        html.insert(head >= 0 ? head + 6 : 0, QStringLiteral("<meta charset=\"utf-8\" />"));
    }
    return html.toUtf8();
}

int HtmlFilter::sniff(QByteArrayView head) const
{
    static const QByteArray compoundFile = QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (head.startsWith(compoundFile) || head.startsWith("{\\rtf"))
        return 0; // a Word document or RTF under an HTML name
    const QByteArray start = head.first(std::min<qsizetype>(head.size(), 1024)).toByteArray().toLower();
    for (const char *tag : {"<html", "<!doctype html", "<body", "<p>", "<p ", "<div", "<table", "<head"}) {
        if (start.contains(tag))
            return 80;
    }
    return 1; // any text reads as HTML, if not as well as by its own filter
}

bool HtmlFilter::read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error)
{
    if (in.bytesAvailable() > kMaxHtmlBytes) {
        if (error)
            *error = QStringLiteral("The HTML file is too large to open.");
        return false;
    }
    return readBytes(in.readAll(), model, context.fileName, error);
}

bool HtmlFilter::write(QIODevice &out, const DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray bytes = toBytes(model);
    if (out.write(bytes) != bytes.size()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

} // namespace tamapiko::engine
