#pragma once

#include <QColor>
#include <QPalette>

namespace quorlink::progbar {

// A colour as the control stores it: 0x00BBGGRR (red in the low byte). A
// value with the high byte 0x80 names a system colour instead; its low byte
// is the system colour index (8 = window text).
using OleColour = quint32;

inline constexpr OleColour systemColourFlag = 0x80000000u;
inline constexpr OleColour systemWindowText = 0x80000008u;

constexpr OleColour oleRgb(int red, int green, int blue)
{
    return static_cast<OleColour>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

// Resolves a colour for drawing; system colours come from the palette.
QColor toQColor(OleColour colour, const QPalette& palette);

} // namespace quorlink::progbar
