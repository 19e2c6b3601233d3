#pragma once

// Many layout tests check a document as read and again after saving it in
// another format and reading that back.

class QTemporaryDir;

class TTextEngine;

namespace tamapiko::test {

// `read` itself when `savedAs` is 0; otherwise `reopened` after it has read
// what `read` wrote in format `savedAs` (into `dir`). Null when saving or
// reading failed.
TTextEngine *savedAndReopened(TTextEngine &read, TTextEngine &reopened, int savedAs,
                              const QTemporaryDir &dir);

} // namespace tamapiko::test
