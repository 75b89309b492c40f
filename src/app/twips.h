#pragma once

#include <QScreen>

#include <cmath>

namespace quorlink::app {

// Window positions and sizes are kept in twips (1/1440 inch), converted with
// the screen's logical dots per inch.
inline constexpr double TwipsPerInch = 1440.0;

double twipsPerPixelX(const QScreen* screen = nullptr);
double twipsPerPixelY(const QScreen* screen = nullptr);

inline int pixelsFromTwipsX(double twips, const QScreen* screen = nullptr)
{
    return static_cast<int>(std::lround(twips / twipsPerPixelX(screen)));
}
inline int pixelsFromTwipsY(double twips, const QScreen* screen = nullptr)
{
    return static_cast<int>(std::lround(twips / twipsPerPixelY(screen)));
}
inline double twipsFromPixelsX(int pixels, const QScreen* screen = nullptr)
{
    return pixels * twipsPerPixelX(screen);
}
inline double twipsFromPixelsY(int pixels, const QScreen* screen = nullptr)
{
    return pixels * twipsPerPixelY(screen);
}

// The primary screen's size in twips.
double screenWidthTwips();
double screenHeightTwips();

} // namespace quorlink::app
