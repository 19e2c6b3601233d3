#pragma once

// Writes a document as a Word 97-2003 binary file: a compound file with the
// WordDocument stream (file information block, 16-bit text, character and
// paragraph property pages, section properties), the 1Table stream (style
// sheet, font table, piece table, bin tables, fields), the summary
// information streams and, for pictures, the Data stream. Headers and footers
// follow the body as the first section's stories. The description of the
// document comes from the same walk the RTF writer uses.

#include "engine/DocumentModel.h"
#include "engine/formats/word/WordSummary.h"

#include <QByteArray>

#include <memory>

class QTextDocument;

namespace tamapiko::engine::word {

class WordWriter
{
public:
    WordWriter(const QTextDocument &document, const PageSetup &page, const DocumentSummary &summary = {},
               const HeaderFooterSet *headerFooters = nullptr);
    ~WordWriter();

    QByteArray write();

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace tamapiko::engine::word
