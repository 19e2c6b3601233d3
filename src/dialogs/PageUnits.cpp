#include "dialogs/PageUnits.h"

#include "app/ErrorReporting.h"

#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace tamapiko::dialogs {

int twipsPerUnit(int measureUnit)
{
    switch (measureUnit) {
    case Inches:
        return 1440;
    case Centimetres:
        return 567;
    default:
        return 0;
    }
}

QString TwipsToText(double twips, int measureUnit)
{
    const int factor = twipsPerUnit(measureUnit);
    if (factor == 0)
        return {};
    const double value = (twips + 0.0005) / factor;
    const long long hundredths = std::llround(value * 100);   // halves away from zero
    const long long whole = std::llabs(hundredths) / 100;
    const long long fraction = std::llabs(hundredths) % 100;
    return QStringLiteral("%1%2.%3")
        .arg(hundredths < 0 ? QStringLiteral("-") : QString())
        .arg(whole)
        .arg(fraction, 2, 10, QLatin1Char('0'));
}

int TextToTwips(const QString &text, int measureUnit)
{
    const bool onlyDigitsAndPoints = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || c == u'.';
    });
    if (!onlyDigitsAndPoints)
        return 0;
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        throw app::ConversionError(QStringLiteral("'%1' は浮動小数点数ではありません").arg(text));
    const double twips = std::round(value * twipsPerUnit(measureUnit));
    return int(std::clamp(twips, double(INT_MIN), double(INT_MAX)));
}

int paperIndexForSides(int shortSide, int longSide)
{
    for (int i = 0; i < int(PaperSizes.size()); ++i) {
        if (std::abs(PaperSizes[i].longSide - longSide) <= 4 && std::abs(PaperSizes[i].shortSide - shortSide) <= 4)
            return i;
    }
    return UserDefinedPaper;
}

} // namespace tamapiko::dialogs
