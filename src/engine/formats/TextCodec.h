#pragma once

// Encodings of plain-text files: detection on reading, and encoding back
// with a report of whether every character fitted.
//
// Shift-JIS here means the Windows code page 932 (JIS X 0208 plus the NEC
// and IBM extensions, "～" as U+FF5E, "①" at 0x8740), which is what Japanese
// text files in the wild are written in.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace tamapiko::engine {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, ShiftJis };

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::Utf8;
    bool bom = false;
    // Byte sequences that no encoding explained and that were replaced by
    // U+FFFD; non-zero means the text is not exactly what the file held.
    qsizetype invalidSequences = 0;
};

namespace TextCodec {

// Reads a byte order mark if there is one (UTF-8, UTF-16 LE/BE); otherwise
// UTF-8 when the bytes are valid UTF-8, else Shift-JIS when they are valid
// Shift-JIS, else whichever of the two needed fewer replacements.
DecodedText decode(QByteArrayView bytes);

QString decodeShiftJis(QByteArrayView bytes, qsizetype *invalidSequences = nullptr);

// The bytes of `text` in `encoding`, BOM first when asked for, or nothing
// when some character has no code in that encoding.
std::optional<QByteArray> encode(QStringView text, TextEncoding encoding, bool bom);
std::optional<QByteArray> encodeShiftJis(QStringView text);

// Names stored in the document's source properties ("UTF-8", "UTF-16LE",
// "UTF-16BE", "Shift_JIS").
QString name(TextEncoding encoding);
std::optional<TextEncoding> fromName(QStringView name);

} // namespace TextCodec

} // namespace tamapiko::engine
