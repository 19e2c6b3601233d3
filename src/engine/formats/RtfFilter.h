#pragma once

// The RTF filter (format code 5), and the entry points that the engine's
// paste and file insertion use to read RTF at the caret.

#include "engine/formats/DocumentFilter.h"

class QIODevice;
class QTextCursor;
class QTextDocument;

namespace tamapiko::engine {

struct PageSetup;

class RtfFilter : public DocumentFilter
{
public:

    int formatCode() const override { return FormatCode::Rtf; }
    QString name() const override;
    int sniff(QByteArrayView head) const override;
    bool read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error) override;
    bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context,
               QString *error) override;
};

// Inserts the RTF read from `in` at the cursor (replacing its selection) as
// one undo step; the page set-up of the RTF is ignored. On failure the
// document is unchanged and *error says why.
bool readRtfInto(QIODevice &in, QTextCursor &cursor, QString *error);

// Writes `document` as RTF with the given page set-up (for example a
// document made from a selection, for the clipboard).
bool writeRtf(QIODevice &out, const QTextDocument &document, const PageSetup &page, QString *error);

} // namespace tamapiko::engine
