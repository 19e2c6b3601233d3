#pragma once

// Writes a QTextDocument as RTF 1.9 in the dialect that word processors
// share: a font table with character sets, a colour table, the page set-up,
// paragraphs, tables and pictures. Non-ASCII text goes out as \uN with a
// Shift-JIS fallback, so both Unicode-aware and older readers get the text.
// Headers and footers go out as \header… groups, page fields as PAGE and
// NUMPAGES fields.

#include "engine/DocumentModel.h"

#include <QByteArray>

class QTextDocument;

namespace tamapiko::engine::rtf {

class RtfWriter
{
public:
    // `headerFooters`, when given, are written with the document.
    RtfWriter(const QTextDocument &document, const PageSetup &page,
              const HeaderFooterSet *headerFooters = nullptr);
    ~RtfWriter();

    QByteArray write();

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tamapiko::engine::rtf
