#pragma once

// Lengths: the model's formats hold points, the layout, the page set-up and
// the file formats count twips (1/20 point, 1/1440 inch).

#include <cmath>

namespace tamapiko::engine {

inline constexpr int TwipsPerPoint = 20;
inline constexpr int TwipsPerInch = 1440;

inline int twipsFromPoints(double points)
{
    return int(std::lround(points * TwipsPerPoint));
}

constexpr double pointsFromTwips(double twips)
{
    return twips / TwipsPerPoint;
}

} // namespace tamapiko::engine
