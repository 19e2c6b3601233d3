#pragma once

// Embedded files inside RTF: an \object's \objdata is an OLE 1 object, and
// a file embedded as such is of the class "Package" (a label, the file's
// path and its bytes). Word and our own writer use this form; readers that
// cannot open it show the object's \result picture instead.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace tamapiko::engine::rtf {

struct PackagedFile
{
    QString fileName;       // without folders
    QByteArray bytes;
};

// The \objdata bytes of `file` as a Package object.
QByteArray packageObject(const PackagedFile &file);

// The file inside \objdata bytes of a Package object; nothing for any other
// class or damaged data.
std::optional<PackagedFile> unpackObject(QByteArrayView objdata);

} // namespace tamapiko::engine::rtf
