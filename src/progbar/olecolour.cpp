#include "olecolour.h"

namespace quorlink::progbar {

namespace {

// The system colour indices a Windows program may name, mapped onto the
// nearest palette role.
QColor systemColour(int index, const QPalette& palette)
{
    switch (index) {
    case 1:  // desktop
    case 12: // application workspace
        return palette.color(QPalette::Dark);
    case 2:  // active caption
    case 13: // highlight
        return palette.color(QPalette::Highlight);
    case 9:  // caption text
    case 14: // highlight text
        return palette.color(QPalette::HighlightedText);
    case 3:  // inactive caption
    case 11: // inactive border
    case 17: // grey text
    case 19: // inactive caption text
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case 5: // window
        return palette.color(QPalette::Base);
    case 6: // window frame
    case 7: // menu text
    case 8: // window text
        return palette.color(QPalette::WindowText);
    case 16: // button shadow
        return palette.color(QPalette::Mid);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    case 21: // 3D dark shadow
        return palette.color(QPalette::Shadow);
    case 22: // 3D light
        return palette.color(QPalette::Midlight);
    case 23: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    case 0:  // scroll bar
    case 4:  // menu
    case 10: // active border
    case 15: // button face
    default:
        return palette.color(QPalette::Button);
    }
}

} // namespace

QColor toQColor(OleColour colour, const QPalette& palette)
{
    if ((colour & 0xFF000000u) == systemColourFlag)
        return systemColour(static_cast<int>(colour & 0xFFu), palette);
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}

} // namespace quorlink::progbar
