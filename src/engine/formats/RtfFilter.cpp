#include "engine/formats/RtfFilter.h"

#include "engine/DocumentModel.h"
#include "engine/formats/RtfReader.h"
#include "engine/formats/RtfWriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QIODevice>
#include <QTextCursor>
#include <QTextDocument>

namespace tamapiko::engine {

namespace {

const FilterRegistration<RtfFilter> registration;

bool readAll(QIODevice &in, QByteArray *data, QString *error)
{
    if (!in.isReadable()) {
        if (error)
            *error = in.errorString().isEmpty() ? QStringLiteral("The RTF data cannot be read.") : in.errorString();
        return false;
    }
    // A buffer's bytes are shared rather than copied: documents of
    // megabytes come here from memory.
    if (auto *buffer = qobject_cast<QBuffer *>(&in)) {
        const QByteArray &all = buffer->data();
        *data = buffer->pos() == 0 ? all : all.sliced(std::min<qint64>(buffer->pos(), all.size()));
        buffer->seek(all.size());
        return true;
    }
    *data = in.readAll();
    return true;
}

bool writeData(QIODevice &out, const QByteArray &data, QString *error)
{
    if (out.write(data) != data.size()) {
        if (error)
            *error = out.errorString().isEmpty() ? QStringLiteral("The RTF data could not be written.")
                                                 : out.errorString();
        return false;
    }
    return true;
}

} // namespace

QString RtfFilter::name() const
{
    return QStringLiteral("RTF");
}

int RtfFilter::sniff(QByteArrayView head) const
{
    while (!head.isEmpty() && QChar::isSpace(uchar(head.front())))
        head = head.sliced(1);
    return head.startsWith("{\\rtf") ? 100 : 0;
}

bool RtfFilter::read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error)
{
    QByteArray data;
    if (!readAll(in, &data, error))
        return false;

    QTextDocument *document = model.document();
    model.clear();
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false); // a loaded file is not an edit
    QTextCursor cursor(document);
    // One edit block: the cursor then never lays out a block after an insert.
    cursor.beginEditBlock();
    rtf::RtfReader reader(cursor, rtf::RtfReader::Mode::Load);
    if (!context.fileName.isEmpty())
        reader.setBaseFolder(QFileInfo(context.fileName).absolutePath());
    const bool ok = reader.read(data, error);
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
    if (!ok) {
        model.clear();
        return false;
    }
    model.setPageSetup(reader.pageSetup());
    reader.takeHeaderFooters(model.headerFooters());
    document->setModified(false);
    return true;
}

bool RtfFilter::write(QIODevice &out, const DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray data = rtf::RtfWriter(*model.document(), model.pageSetup(), &model.headerFooters()).write();
    return writeData(out, data, error);
}

bool readRtfInto(QIODevice &in, QTextCursor &cursor, QString *error)
{
    QByteArray data;
    if (!readAll(in, &data, error))
        return false;
    // Refuse before touching the document, so a failure changes nothing.
    QByteArrayView view(data);
    while (!view.isEmpty() && QChar::isSpace(uchar(view.front())))
        view = view.sliced(1);
    if (!view.startsWith("{\\rtf")) {
        if (error)
            *error = QStringLiteral("The data is not RTF (it does not begin with {\\rtf).");
        return false;
    }
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    rtf::RtfReader reader(cursor, rtf::RtfReader::Mode::Insert);
    const bool ok = reader.read(data, error);
    cursor.endEditBlock();
    return ok;
}

bool writeRtf(QIODevice &out, const QTextDocument &document, const PageSetup &page, QString *error)
{
    return writeData(out, rtf::RtfWriter(document, page).write(), error);
}

} // namespace tamapiko::engine
