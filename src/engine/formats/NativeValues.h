#pragma once

// Typed values of the native format: format properties and source
// properties. Each value is written with a one-byte kind so that a reader
// only ever builds the few types the engine uses, whatever a file claims.

#include <QDataStream>
#include <QTextFormat>
#include <QVariant>

namespace tamapiko::engine::native {

// Writes the value and returns true, or writes nothing and returns false
// for a type the format cannot hold.
bool writeValue(QDataStream &out, const QVariant &value);
// Reads one value; sets the stream's status to ReadCorruptData on nonsense.
QVariant readValue(QDataStream &in);

// A format with every property whose value can be written; the object index
// is left out, as it belongs to the document the format came from.
void writeFormat(QDataStream &out, const QTextFormat &format);
QTextFormat readFormat(QDataStream &in);

// Pins the byte layout of everything streamed through Qt (strings, brushes,
// text lengths), so that files do not change with the Qt version.
void prepareStream(QDataStream &stream);

} // namespace tamapiko::engine::native
