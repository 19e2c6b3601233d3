#pragma once

// The five document file types: display names (also the values Option.ini
// stores for the open and save dialogs' types), dialog filters, extensions
// and the engine's format codes. Opening, saving, the options dialog and the
// conversion command all use this one table.

#include "engine/formats/FormatCode.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tamapiko::document {

struct DocumentFileType
{
    int filterIndex;            // 1-based row, the dialogs' filter index
    QString displayName;        // "Microsoft Word (*.doc)"
    QString pattern;            // "*.doc"
    QStringList extensions;     // recognised, upper case with the dot: ".DOC"
    QString defaultExtension;   // appended to a name typed without one: "doc"
    int formatCode;             // engine format: 9 Word, 3 .txm, 5 RTF, 4 HTML, 1 text
};

namespace FormatCode = engine::FormatCode;

const QList<DocumentFileType> &documentFileTypes();

// "Microsoft Word (*.doc)|*.doc|MOXぽこぺんﾉｰﾄ (*.txm)|*.txm|…": name and
// pattern of every row, in row order.
QString documentFilter();
// The same rows as name filters for Qt's file dialogs (the display names
// carry their patterns in parentheses already).
QStringList documentNameFilters();

// The part of the file name from its last "." on, with ASCII letters upper
// cased; "" when the name has no ".". Folders in the path do not count.
QString upperExtension(const QString &path);

// The engine format for a file name's extension, nullopt when unsupported.
std::optional<int> formatForFileName(const QString &path);

// The row whose display name is exactly `typeName`.
const DocumentFileType *fileTypeByName(const QString &typeName);

} // namespace tamapiko::document
