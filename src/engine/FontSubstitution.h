#pragma once

#include <QString>

class QFont;

namespace tamapiko::engine {

// Makes the font names of Japanese documents resolve to metric-compatible
// fonts installed here, so that text keeps its line breaks and shows no
// empty boxes. Safe to call more than once.
void installFontSubstitutions();

// The family to draw `font` with when it is bold and the installed face it
// resolves to has no bold weight of its own (the IPA fonts have none); empty
// when the font can be drawn as it is. Qt's synthetic bold does not survive
// our high-resolution layout painted at a scale, so a CJK family that has a
// real bold weight stands in for such runs.
QString boldCapableFamily(const QFont &font);

} // namespace tamapiko::engine
