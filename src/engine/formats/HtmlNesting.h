#pragma once

// Qt's HTML importer takes time that grows with the square of how deeply
// blocks and tables nest (30,000 nested <div> took half a minute), and
// writers walk nesting recursively. No document a person wrote nests
// anywhere near MaxHtmlNesting levels, so deeper levels are flattened before
// Qt sees them: the tags go, their text stays in the deepest level kept.

#include <QString>

namespace tamapiko::engine::html {

constexpr int MaxHtmlNesting = 64;

// `html` with block and table tags nested deeper than MaxHtmlNesting removed.
QString limitNesting(const QString &html);

} // namespace tamapiko::engine::html
