#pragma once

// Page lengths as the page setup dialog shows and reads them: twips turned
// into inches or centimetres with two decimals, and field texts back into
// twips. 1440 twips make an inch, 567 a centimetre (567, not 566.9: the
// dialog has always used the whole number).

#include <QString>

#include <array>

namespace tamapiko::dialogs {

enum MeasureUnitCode { Inches = 1, Centimetres = 2 };

// Twips per unit: 1440 for inches, 567 for centimetres, 0 for anything else.
int twipsPerUnit(int measureUnit);

// `twips` in the unit, "###0.00": two decimals, rounded half away from zero.
// Empty for an unknown unit.
QString TwipsToText(double twips, int measureUnit);

// A field text in the unit, back to whole twips (half away from zero). A
// text that is empty or holds anything but digits and points counts as 0;
// digits and points that make no number (1.2.3) throw ConversionError.
int TextToTwips(const QString &text, int measureUnit);

// The paper list, short side first, in twips.
struct PaperSize
{
    const char *name;
    int shortSide;
    int longSide;
};
inline constexpr std::array<PaperSize, 6> PaperSizes{{
    {"A4", 11900, 16838},
    {"A5", 8300, 11900},
    {"B4", 14572, 20639},
    {"B5", 10318, 14581},
    {"LETTER", 12240, 15840},
    {"LEGAL", 12240, 20160},
}};
inline constexpr int UserDefinedPaper = int(PaperSizes.size());   // "USER_DEFINED"

// The list entry of a page whose sides are within 4 twips of it, or
// UserDefinedPaper.
int paperIndexForSides(int shortSide, int longSide);

} // namespace tamapiko::dialogs
