#pragma once

// The range of every value the engine lays out, paints and writes back.
//
// Files may say anything: \li2147483647, a margin of 1e301 points, NaN as a
// line height. Unchecked, such numbers overflow the integer arithmetic of
// the layout and the view, and come back out of the writers as they went
// in. Every reader passes what it read through here, so that the rest of
// the engine only ever sees lengths it can add up.

#include "engine/DocumentModel.h"

#include <QtGlobal>

class QTextFormat;

namespace tamapiko::engine::limits {

// Lengths: within the largest page, either way (indents may be negative).
inline constexpr int LargestTwips = PageSetup::LargestTwips;
inline constexpr qreal LargestPoints = LargestTwips / 20.0;
// Font sizes, in points.
inline constexpr qreal SmallestFontPoints = 1.0;
inline constexpr qreal LargestFontPoints = 1638.0;

// A length in twips brought into ±LargestTwips.
int twips(qint64 value);
// A length in points brought into ±LargestPoints; 0 for NaN.
qreal points(double value);

// The format with every value in range: lengths within the page, font
// sizes between 1 and 1638 points, no NaN or infinity anywhere (such a
// property is dropped, as though the file had not named it).
QTextFormat bounded(const QTextFormat &format);

} // namespace tamapiko::engine::limits
