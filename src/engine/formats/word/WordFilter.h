#pragma once

// Word 97-2003 documents (format code 9): a compound file holding the
// WordDocument stream and its table, data and summary streams. Reading goes
// through the shared Word/RTF vocabulary into the model; writing walks the
// model into the same vocabulary and out as a genuine binary document.

#include "engine/formats/DocumentFilter.h"

namespace tamapiko::engine {

class WordFilter : public DocumentFilter
{
public:
    int formatCode() const override { return FormatCode::Word; }
    QString name() const override;
    int sniff(QByteArrayView head) const override;
    bool read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error) override;
    bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context,
               QString *error) override;
};

} // namespace tamapiko::engine
