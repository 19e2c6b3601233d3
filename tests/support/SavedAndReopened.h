#pragma once

// Many layout tests check a document as read and again after saving it in
// another format and reading that back.

class QByteArray;
class QTemporaryDir;

class TTextEngine;

namespace tamapiko::test {

// `read` itself when `savedAs` is 0; otherwise `reopened` after it has read
// what `read` wrote in format `savedAs` (into `dir`). Null when saving or
// reading failed.
TTextEngine *savedAndReopened(TTextEngine &read, TTextEngine &reopened, int savedAs,
                              const QTemporaryDir &dir);
// `rtf` read into `read` (through a file in `dir`), then savedAndReopened().
// Null when reading, saving or reading again failed.
TTextEngine *rtfSavedAndReopened(const QByteArray &rtf, TTextEngine &read, TTextEngine &reopened, int savedAs,
                                 const QTemporaryDir &dir);
// A test's rows for an int column "savedAs": the RTF as read, saved as RTF,
// and saved in the native format.
void addRtfSavedAsRows();

} // namespace tamapiko::test
