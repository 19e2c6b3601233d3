#pragma once

// The engine's numbers for document formats, as LoadDocument, SaveDocument,
// the filter registry and the program's file-type table use them.

namespace tamapiko::engine::FormatCode {

enum Code : int {
    Text = 1,
    Native = 3,
    Html = 4,
    Rtf = 5,
    Word = 9,
};

} // namespace tamapiko::engine::FormatCode
