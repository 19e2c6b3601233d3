#pragma once

// Lengths between HTML and the model. Qt's HTML import takes CSS lengths
// only in pixels (a margin of "36pt" is dropped) and keeps the number as it
// stands, while the model keeps points. So the reader rewrites every length
// of the file into "<points>px" before Qt parses it, and the writer turns
// the "px" Qt writes back into the points they are. HTML attributes (width,
// height, cellpadding...) are pixels at 96 per inch.

#include "engine/DocumentModel.h"

#include <QString>

#include <optional>

namespace tamapiko::engine::html {

// A CSS length ("12pt", "1.5in", "16px", "2cm", "3mm", "1em", "0") in
// points, or nothing when it is not an absolute length.
std::optional<double> cssLengthInPoints(QStringView text);

// Reader side: lengths in style attributes and <style> elements, and pixel
// attributes of img, table, td, th and col, become points written as px.
QString lengthsToPoints(const QString &html);

// Writer side: Qt's export of a model (points written as px) made right for
// browsers and other programs.
QString lengthsFromPoints(const QString &html);

// The page size and margins of an @page rule, over the given defaults.
std::optional<PageSetup> pageSetupFromCss(const QString &html, const PageSetup &defaults);
QString pageSetupToCss(const PageSetup &page);

} // namespace tamapiko::engine::html
