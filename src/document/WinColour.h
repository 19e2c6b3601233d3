#pragma once

// Colours at the engine boundary are RGB values with red in the low byte
// (0x00BBGGRR); -1 stands for a selection holding several colours.

#include <QColor>

constexpr int MixedColour = -1;

inline QColor colourFromRgbValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

inline int rgbValueFromColour(const QColor &colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}
