#pragma once

namespace tamapiko::engine {

// Makes the font names of Japanese documents resolve to metric-compatible
// fonts installed here, so that text keeps its line breaks and shows no
// empty boxes. Safe to call more than once.
void installFontSubstitutions();

} // namespace tamapiko::engine
