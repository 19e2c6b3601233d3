#include "engine/editing/ClipboardBridge.h"

#include "engine/DocumentModel.h"
#include "engine/editing/TextEditor.h"
#include "engine/editing/UndoKindTracker.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QUrl>

namespace tamapiko::engine {

namespace {

const char *const FragmentMime = "application/x-tamapiko-fragment";
const QString RtfTypes[] = {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")};

DocumentFilter *rtfFilter()
{
    return FilterRegistry::instance().filter(FormatCode::Rtf);
}

} // namespace

ClipboardBridge::ClipboardBridge(QTextDocument *document, TextEditor &editor, UndoKindTracker &tracker)
    : m_document(document)
    , m_editor(editor)
    , m_tracker(tracker)
{
}

QMimeData *ClipboardBridge::mimeData(const QTextCursor &selection) const
{
    auto *mime = new QMimeData;
    const QTextDocumentFragment fragment(selection);
    const QString html = fragment.toHtml();
    mime->setData(QString::fromLatin1(FragmentMime), html.toUtf8());
    mime->setHtml(html);
    QString text = fragment.toPlainText();
    text.replace(QChar::LineSeparator, u'\n');
    mime->setText(text);
    if (DocumentFilter *rtf = rtfFilter()) {
        DocumentModel copy;
        QTextCursor(copy.document()).insertFragment(fragment);
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
                    || mime->hasFormat(QString::fromLatin1(FragmentMime))
                    || mime->hasFormat(RtfTypes[0]) || mime->hasFormat(RtfTypes[1]));
}

bool ClipboardBridge::insert(const QMimeData *mime, QTextCursor &at)
{
    if (!mime)
        return false;
    if (mime->hasFormat(QString::fromLatin1(FragmentMime))) {
        const QString html = QString::fromUtf8(mime->data(QString::fromLatin1(FragmentMime)));
        m_editor.insertFragment(at, QTextDocumentFragment::fromHtml(html, m_document));
        return true;
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
        m_editor.insertFragment(at, QTextDocumentFragment::fromHtml(mime->html(), m_document));
        return true;
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) {
            static int counter = 0;
            const QString name = QStringLiteral("tamapiko-pasted-%1").arg(++counter);
            m_document->addResource(QTextDocument::ImageResource, QUrl(name), image);
            QTextImageFormat format;
            format.setName(name);
            m_tracker.beginEdit(at, UndoKindTracker::Typing);
            if (at.hasSelection())
                at.removeSelectedText();
            at.insertImage(format);
            m_tracker.endEdit(at);
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
