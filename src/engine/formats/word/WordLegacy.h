#pragma once

// Word 6 and Word 95 documents: the same building blocks as Word 97 (FIB,
// piece table, property pages, style sheet) with smaller fields, one-byte
// property modifier numbers and 8-bit text in the language's code page.
// The reader turns their property lists into Word 97 ones and reads on as
// usual.

#include <QByteArray>
#include <QByteArrayView>

namespace tamapiko::engine::word {

// The Word 97 form of a Word 6 property list: the modifiers tamapiko reads,
// renumbered and, where their operands changed shape (picture locations,
// table definitions), reshaped. Others are left out.
QByteArray legacySprmsAsWord97(QByteArrayView grpprl);

// The Windows code page of 8-bit text in a language (a FIB's lid).
int legacyCodePage(quint16 languageId);

// Whether `byte` starts a two-byte character in a double-byte code page.
bool isLeadByte(int codePage, quint8 byte);

} // namespace tamapiko::engine::word
