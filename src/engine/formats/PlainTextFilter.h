#pragma once

// Plain text (format code 1).
//
// Reading detects the encoding (see TextCodec) and the line end, and notes
// both in the model's source properties so that saving writes the file back
// the way it came:
//   "text/encoding"  "UTF-8", "UTF-16LE", "UTF-16BE" or "Shift_JIS"
//   "text/bom"       bool
//   "text/lineEnd"   "\r\n", "\n" or "\r" (the most frequent one read)
//   "text/invalidSequences"  number of byte sequences read as U+FFFD
// Writing keeps them when every character fits the encoding, else writes
// UTF-8; a document from nowhere else is UTF-8 without BOM with "\n".

#include "engine/formats/DocumentFilter.h"

#include <QString>

class QTextDocument;

namespace tamapiko::engine {

class PlainTextFilter : public DocumentFilter
{
public:

    int formatCode() const override { return FormatCode::Text; }
    QString name() const override;

    int sniff(QByteArrayView head) const override;
    bool read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error) override;
    bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context,
               QString *error) override;

    // The document as text with `lineEnd` between paragraphs: soft line
    // breaks become line ends, table cells are separated by tabs and rows by
    // line ends, list items begin with their number or bullet, pictures and
    // objects are left out.
    static QString documentText(const QTextDocument &document, const QString &lineEnd);
};

} // namespace tamapiko::engine
