#include "engine/io/DocumentFiles.h"

#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

namespace tamapiko::engine {

namespace {

FileOutcome failure(int code, const QString &message)
{
    return {code, message};
}

} // namespace

FileOutcome readDocumentFile(const QString &fileName, qint64 offset, int format, DocumentModel &model)
{
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter)
        return failure(ResultUnknownFormat, QStringLiteral("Unknown document format %1").arg(format));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, file.errorString()));
    if (offset < 0 || offset > file.size() || !file.seek(offset))
        return failure(ResultFileError, QStringLiteral("%1: no data at offset %2").arg(fileName).arg(offset));
    // The content, not only the name, decides the filter.
    const QByteArray head = file.peek(4096);
    filter = FilterRegistry::instance().filterForContent(format, head);
    QString message;
    if (!filter->read(file, model, FilterContext{fileName}, &message)) {
        return failure(ResultFormatError,
                       message.isEmpty() ? QStringLiteral("%1: cannot be read").arg(fileName) : message);
    }
    return {};
}

FileOutcome writeDocumentFile(const QString &fileName, qint64 offset, int format, const DocumentModel &model)
{
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter)
        return failure(ResultUnknownFormat, QStringLiteral("Unknown document format %1").arg(format));
    if (offset < 0)
        return failure(ResultBadArgument, QStringLiteral("Offset %1 is not a file position").arg(offset));

    QBuffer data;
    data.open(QIODevice::WriteOnly);
    QString message;
    if (!filter->write(data, model, FilterContext{fileName}, &message)) {
        return failure(ResultFormatError,
                       message.isEmpty() ? QStringLiteral("%1: cannot be written").arg(fileName) : message);
    }

    QByteArray prefix;
    if (offset > 0) {
        QFile existing(fileName);
        if (existing.exists()) {
            if (!existing.open(QIODevice::ReadOnly))
                return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, existing.errorString()));
            prefix = existing.read(offset);
        }
        // A file shorter than its header gets the missing bytes as zeros.
        prefix.append(QByteArray(offset - prefix.size(), '\0'));
    }
    QSaveFile out(fileName);
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly) || out.write(prefix) != prefix.size()
        || out.write(data.data()) != data.data().size() || !out.commit()) {
        return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, out.errorString()));
    }
    return {};
}

} // namespace tamapiko::engine
