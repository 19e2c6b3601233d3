#pragma once

// Numbers typed into the program's boxes: "12", " 3pt", "150%".

#include <QString>

namespace tamapiko::app {

// The decimal digits that begin `text` after leading blanks, as a number
// (kept to 16 bits: at most 32767); 0 when the text does not begin with a
// digit.
inline int leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    int value = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
        value = qMin(value * 10 + (text.at(i).unicode() - '0'), 32767);
    return value;
}

} // namespace tamapiko::app
