#include "engine/formats/word/WordFilter.h"

#include "engine/DocumentModel.h"
#include "engine/formats/word/CompoundFile.h"
#include "engine/formats/word/DocumentBuilder.h"
#include "engine/formats/word/WordReader.h"
#include "engine/formats/word/WordWriter.h"

#include <QIODevice>
#include <QTextCursor>
#include <QTextDocument>

namespace tamapiko::engine {

namespace {

const FilterRegistration<WordFilter> registration;

// Files that carry a .doc name but are none of ours to read: each gets a
// clear refusal rather than a page of garbage.
QString foreignDocument(QByteArrayView head)
{
    if (head.startsWith("\xDB\xA5"))
        return QStringLiteral("The document was written by Word 2 for Windows, whose format tamapiko cannot read.");
    if (head.startsWith("\xFFWPC"))
        return QStringLiteral("The file is a WordPerfect document, which tamapiko cannot read.");
    const QByteArrayView start = head.first(std::min<qsizetype>(head.size(), 2048));
    if (start.contains("<?xml") && (start.contains("w:wordDocument") || start.contains("Word.Document")))
        return QStringLiteral("The file is a Word XML document, which tamapiko cannot read.");
    return {};
}

} // namespace

QString WordFilter::name() const
{
    return QStringLiteral("Microsoft Word");
}

int WordFilter::sniff(QByteArrayView head) const
{
    if (word::CompoundFileReader::hasSignature(head))
        return 100;
    // Claimed only to refuse them clearly.
    return foreignDocument(head).isEmpty() ? 0 : 50;
}

bool WordFilter::read(QIODevice &in, DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray data = in.readAll();
    if (const QString foreign = foreignDocument(data); !foreign.isEmpty()) {
        if (error)
            *error = foreign;
        return false;
    }
    QTextDocument *document = model.document();
    model.clear();
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false); // a loaded file is not an edit
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    word::DocumentBuilder builder(cursor, word::DocumentBuilder::Mode::Load);
    word::WordReader reader(builder);
    const bool ok = reader.read(data, error);
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
    if (!ok) {
        model.clear();
        return false;
    }
    if (reader.hasPageSetup())
        model.setPageSetup(reader.pageSetup());
    reader.takeHeaderFooters(model.headerFooters());
    reader.summary().applyTo(model);
    document->setModified(false);
    return true;
}

bool WordFilter::write(QIODevice &out, const DocumentModel &model, const FilterContext &, QString *error)
{
    const QByteArray data =
        word::WordWriter(*model.document(), model.pageSetup(), word::DocumentSummary::of(model),
                         &model.headerFooters())
            .write();
    if (out.write(data) != data.size()) {
        if (error)
            *error = out.errorString().isEmpty() ? QStringLiteral("The Word document could not be written.")
                                                 : out.errorString();
        return false;
    }
    return true;
}

} // namespace tamapiko::engine
