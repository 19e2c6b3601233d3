#include "engine/io/DocumentStorage.h"

#include "engine/DocumentModel.h"
#include "engine/formats/DocumentFilter.h"
#include "engine/io/SafeFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

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
    QByteArray bytes;
    QString reason;
    if (!readRegularFile(fileName, LargestReadableFile, &bytes, &reason, offset))
        return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, reason));
    // The content, not only the name, decides the filter.
    filter = FilterRegistry::instance().filterForContent(format, bytes.left(4096));
    QBuffer data(&bytes);
    data.open(QIODevice::ReadOnly);
    QString message;
    if (!filter->read(data, model, FilterContext{fileName}, &message)) {
        return failure(ResultFormatError,
                       message.isEmpty() ? QStringLiteral("%1: cannot be read").arg(fileName) : message);
    }
    return {};
}

FileOutcome writeDocumentFile(const QString &fileName, qint64 offset, int format, const DocumentModel &model)
{
    if (offset < 0)
        return failure(ResultBadArgument, QStringLiteral("Offset %1 is not a file position").arg(offset));
    QByteArray prefix;
    if (offset > 0 && QFileInfo::exists(fileName)) {
        QString reason;
        if (!readRegularFile(fileName, LargestReadableFile, &prefix, &reason))
            return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, reason));
        prefix.truncate(offset);
    }
    // A file shorter than its header gets the missing bytes as zeros.
    prefix.append(QByteArray(offset - prefix.size(), '\0'));
    return writeDocumentFile(fileName, prefix, format, model);
}

FileOutcome encodeDocument(const DocumentModel &model, int format, const QString &fileName, QByteArray *bytes)
{
    DocumentFilter *filter = FilterRegistry::instance().filter(format);
    if (!filter)
        return failure(ResultUnknownFormat, QStringLiteral("Unknown document format %1").arg(format));
    QBuffer data(bytes);
    data.open(QIODevice::WriteOnly | QIODevice::Append);
    QString message;
    if (!filter->write(data, model, FilterContext{fileName}, &message)) {
        return failure(ResultFormatError,
                       message.isEmpty() ? QStringLiteral("%1: cannot be written").arg(fileName) : message);
    }
    return {};
}

FileOutcome writeDocumentFile(const QString &fileName, const QByteArray &prefix, int format,
                              const DocumentModel &model)
{
    QByteArray bytes = prefix;
    const FileOutcome encoded = encodeDocument(model, format, fileName, &bytes);
    if (!encoded.ok())
        return encoded;
    QString reason;
    if (!replaceFile(fileName, bytes, &reason))
        return failure(ResultFileError, QStringLiteral("%1: %2").arg(fileName, reason));
    return {};
}

} // namespace tamapiko::engine
