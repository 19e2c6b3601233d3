#pragma once

// Embedded objects: any file the user chooses, kept whole in the document
// with its name and type and shown as the desktop's icon for its type with
// its name under it. Opening one writes a copy to a private folder and hands
// it to the desktop's program for its type; we never execute it.

#include <QImage>
#include <QString>
#include <QTextFormat>

#include <optional>

class QTextDocument;

namespace tamapiko::engine {

bool isEmbeddedObject(const QTextFormat &format);

// Reads the file into an image format showing its icon, and adds that icon
// to the document's resources; nothing with *error set when unreadable.
std::optional<QTextImageFormat> readEmbeddedObject(QTextDocument *document, const QString &fileName,
                                                   QString *error);

// The format of an object holding `bytes`, a file named `fileName`; its
// icon is added to the document's resources.
QTextImageFormat embeddedObjectFormat(QTextDocument *document, const QString &fileName, const QByteArray &bytes);

// The icon and name an object shows.
QImage embeddedObjectImage(const QString &fileName, const QString &mimeType);

// Writes the object's file into a private temporary folder (readable by us
// only, never executable) and opens it with the desktop's program.
bool openEmbeddedObject(const QTextFormat &format, QString *error);

} // namespace tamapiko::engine
