#include "engine/editing/ClipboardBridge.h"

#include "engine/DocumentModel.h"
#include "engine/editing/EditCommands.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/formats/HtmlFilter.h"
#include "engine/formats/NativeFilter.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QUrl>

#include <algorithm>

namespace tamapiko::engine {

namespace {

// The selection in the engine's own file format: everything the model holds
// (paragraph frames, keep-with-next, underline kinds, pictures with their
// bytes) survives a copy and paste between our windows.
const char *const NativeMime = "application/x-tamapiko-native";
const QString RtfTypes[] = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};

DocumentFilter *rtfFilter()
{
    return FilterRegistry::instance().filter(FormatCode::Rtf);
}

// The pictures of `from` that the text uses, by resource name.
QList<QUrl> pictureNames(const QTextDocument *from)
{
    QList<QUrl> names;
    for (QTextBlock block = from->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat() && !names.contains(QUrl(format.toImageFormat().name())))
                names << QUrl(format.toImageFormat().name());
        }
    }
    return names;
}

// The selection as a document of its own, with the pictures it shows.
void copySelection(const QTextCursor &selection, const QTextDocument *from, DocumentModel &into)
{
    QTextCursor(into.document()).insertFragment(QTextDocumentFragment(selection));
    for (const QUrl &name : pictureNames(into.document())) {
        const QVariant resource = from->resource(QTextDocument::ImageResource, name);
        if (resource.isValid())
            into.document()->addResource(QTextDocument::ImageResource, name, resource);
    }
}

// Renames the pictures of `source` whose names `target` already uses for
// another picture, so that a paste never replaces a picture already there.
void renameClashingPictures(QTextDocument *source, const QTextDocument *target)
{
    static int counter = 0;
    QHash<QString, QString> renamed;
    for (const QUrl &name : pictureNames(source)) {
        if (target->resource(QTextDocument::ImageResource, name).isValid())
            renamed.insert(name.toString(), QStringLiteral("tamapiko-pasted-%1-%2").arg(++counter).arg(name.toString()));
    }
    if (renamed.isEmpty())
        return;
    QList<QPair<QTextCursor, QTextImageFormat>> changes;
    for (QTextBlock block = source->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const auto newName = renamed.constFind(image.name());
            if (newName == renamed.cend())
                continue;
            QTextCursor cursor(source);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            image.setName(*newName);
            changes.append({cursor, image});
        }
    }
    for (auto it = renamed.cbegin(); it != renamed.cend(); ++it)
        source->addResource(QTextDocument::ImageResource, QUrl(it.value()),
                            source->resource(QTextDocument::ImageResource, QUrl(it.key())));
    for (auto &[cursor, image] : changes)
        cursor.setCharFormat(image);
}

} // namespace

ClipboardBridge::ClipboardBridge(QTextDocument *document, EditCommands &editor)
    : m_document(document)
    , m_editor(editor)
{
}

QMimeData *ClipboardBridge::mimeData(const QTextCursor &selection) const
{
    auto *mime = new QMimeData;
    DocumentModel copy;
    copySelection(selection, m_document, copy);
    mime->setData(QString::fromLatin1(NativeMime), NativeFilter::encode(copy));
    // Other programs get our HTML (pictures inside, lengths in points),
    // plain text and RTF.
    mime->setHtml(QString::fromUtf8(HtmlFilter::toBytes(copy)));
    QString text = QTextDocumentFragment(selection).toPlainText();
    text.replace(QChar::LineSeparator, u'\n');
    mime->setText(text);
    if (DocumentFilter *rtf = rtfFilter()) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        if (rtf->write(buffer, copy, FilterContext{}, &error)) {
            for (const QString &type : RtfTypes)
                mime->setData(type, buffer.data());
        }
    }
    return mime;
}

bool ClipboardBridge::canInsert(const QMimeData *mime)
{
    return mime && (mime->hasText() || mime->hasHtml() || mime->hasImage()
                    || mime->hasFormat(QString::fromLatin1(NativeMime))
                    || mime->hasFormat(RtfTypes[0]) || mime->hasFormat(RtfTypes[1]));
}

bool ClipboardBridge::carriesFiles(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return !urls.isEmpty() && std::all_of(urls.cbegin(), urls.cend(), [](const QUrl &url) { return url.isLocalFile(); });
}

bool ClipboardBridge::insert(const QMimeData *mime, QTextCursor &at)
{
    if (!mime)
        return false;
    if (mime->hasFormat(QString::fromLatin1(NativeMime))) {
        DocumentModel source;
        QString error;
        if (NativeFilter::decode(mime->data(QString::fromLatin1(NativeMime)), source, &error)) {
            insertDocument(source, at);
            return true;
        }
    }
    if (DocumentFilter *rtf = rtfFilter()) {
        for (const QString &type : RtfTypes) {
            if (!mime->hasFormat(type))
                continue;
            QByteArray bytes = mime->data(type);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            DocumentModel source;
            QString error;
            if (rtf->read(buffer, source, FilterContext{}, &error)) {
                insertDocument(source, at);
                return true;
            }
        }
    }
    if (mime->hasHtml()) {
        // Foreign HTML is read as an HTML file is opened: the same lengths,
        // pictures and page-independent formats. The text is already
        // decoded, so the byte order mark says UTF-8 whatever its meta says.
        DocumentModel source;
        QString error;
        if (HtmlFilter::readBytes(QByteArray("\xEF\xBB\xBF") + mime->html().toUtf8(), source, QString(), &error)) {
            insertDocument(source, at);
            return true;
        }
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) {
            static int counter = 0;
            const QString name = QStringLiteral("tamapiko-pasted-%1").arg(++counter);
            m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);
            QTextImageFormat format;
            format.setName(name);
            m_editor.apply(at, EditKind::Paste, [&format](QTextCursor &cursor) {
                if (cursor.hasSelection())
                    cursor.removeSelectedText();
                cursor.insertImage(format);
            });
            return true;
        }
    }
    if (mime->hasText()) {
        QString text = mime->text();
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        m_editor.insertFragment(at, QTextDocumentFragment::fromPlainText(text));
        return true;
    }
    return false;
}

void ClipboardBridge::insertDocument(DocumentModel &source, QTextCursor &at)
{
    QTextDocument *from = source.document();
    renameClashingPictures(from, m_document);
    // Pictures live in the source document's resources: carry them over.
    for (QTextBlock block = from->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QUrl name(format.toImageFormat().name());
            const QVariant resource = from->resource(QTextDocument::ImageResource, name);
            if (resource.isValid())
                m_document->addResource(QTextDocument::ImageResource, name, resource);
        }
    }
    QTextCursor all(from);
    all.select(QTextCursor::Document);
    m_editor.insertFragment(at, QTextDocumentFragment(all));
}

} // namespace tamapiko::engine
