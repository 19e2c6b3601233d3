#pragma once

// HTML (format code 4). Reading detects the charset, resolves every picture
// itself (embedded data: URIs and local files; network pictures become a
// placeholder, nothing is ever fetched) and converts the file's lengths into
// the model's points. Writing produces UTF-8 HTML that stands alone:
// pictures as data: URIs, page size and margins as a CSS @page rule.

#include "engine/formats/DocumentFilter.h"

#include <QByteArray>

namespace tamapiko::engine {

class HtmlFilter : public DocumentFilter
{
public:

    int formatCode() const override { return FormatCode::Html; }
    QString name() const override { return QStringLiteral("HTML"); }
    int sniff(QByteArrayView head) const override;

    bool read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error) override;
    bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context, QString *error) override;

    // The same on bytes; fileName locates relative picture paths.
    static bool readBytes(const QByteArray &bytes, DocumentModel &model, const QString &fileName, QString *error);
    static QByteArray toBytes(const DocumentModel &model);
};

} // namespace tamapiko::engine
