#pragma once

// The engine's own file format (format code 3): everything the model holds,
// in checksummed chunks. docs/native-format.md is the format's description.

#include "engine/formats/DocumentFilter.h"

#include <QByteArray>

namespace tamapiko::engine {

class NativeFilter : public DocumentFilter
{
public:
    // Major version: a reader refuses files of a later major version. Minor
    // versions only add chunks or properties, which older readers skip.
    static constexpr quint16 MajorVersion = 1;
    static constexpr quint16 MinorVersion = 1;

    int formatCode() const override { return FormatCode::Native; }
    QString name() const override { return QStringLiteral("tamapiko native"); }

    bool read(QIODevice &in, DocumentModel &model, const FilterContext &context, QString *error) override;
    bool write(QIODevice &out, const DocumentModel &model, const FilterContext &context, QString *error) override;

    // The same, on bytes in memory.
    static QByteArray encode(const DocumentModel &model);
    static bool decode(const QByteArray &bytes, DocumentModel &model, QString *error);
};

} // namespace tamapiko::engine
