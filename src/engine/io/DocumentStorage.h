#pragma once

// Reading and writing document files through the format filters.
//
// The caller may keep its own data in front of the engine's (the .txm page
// header): reading starts at an offset, and writing keeps every byte before
// the offset as it was. Writing first renders the whole document in memory
// and then replaces the file through replaceFile() (SafeFile.h), so a filter
// or disk that fails never leaves a truncated file behind.

#include <QByteArray>
#include <QString>

namespace tamapiko::engine {

class DocumentModel;

// The engine's result codes for loading, saving and inserting.
enum EngineResult {
    ResultOk = 0,
    ResultUnknownFormat = 1,
    ResultFileError = 2,
    ResultFormatError = 3,
    ResultBadArgument = 4,
    ResultUnsupported = 5,
    ResultCancelled = 6,       // the user cancelled a dialog of the engine
};

struct FileOutcome
{
    int code = ResultOk;
    QString message;          // one line for the user, naming the file
    bool ok() const { return code == ResultOk; }
};

// Fills `model` (expected empty) from the file's data at `offset` on.
FileOutcome readDocumentFile(const QString &fileName, qint64 offset, int format, DocumentModel &model);

// Writes `model` at `offset`, keeping the bytes before it.
FileOutcome writeDocumentFile(const QString &fileName, qint64 offset, int format, const DocumentModel &model);
// Appends `model` in `format` to `bytes`; `fileName` is where it will go
// (for pictures stored beside it, and for messages).
FileOutcome encodeDocument(const DocumentModel &model, int format, const QString &fileName, QByteArray *bytes);

// Writes `prefix`, then `model`.
FileOutcome writeDocumentFile(const QString &fileName, const QByteArray &prefix, int format,
                              const DocumentModel &model);

} // namespace tamapiko::engine
