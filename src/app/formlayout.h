#pragma once

namespace quorlink::app {

// Where the main window's controls go for a given outer window size, all in
// twips. The proportions were drawn up for the outer size of a classic
// window, so the client area is converted with a classic frame: two 4-pixel
// borders, a 19-pixel caption and a 19-pixel menu bar at 15 twips a pixel.
struct FormLayout
{
    static constexpr double MinimumOuterWidth = 8295;
    static constexpr double MinimumOuterHeight = 3500;
    static constexpr double FrameWidth = 120;
    static constexpr double FrameHeight = 690;
    static constexpr double DesignClientWidth = 9510;
    static constexpr double DesignClientHeight = 6030;

    struct Rect
    {
        double left = 0;
        double top = 0;
        double width = 0;
        double height = 0;
    };

    // Design values the layout does not change.
    static constexpr double ManagementFrameTop = 0;
    static constexpr double ManagementFrameHeight = 860;
    static constexpr double RemoteFrameLeft = 120;
    static constexpr double RemoteFrameTop = 840;
    static constexpr double OsdListLeft = 120;
    static constexpr double OsdListTop = 240;
    static constexpr double ManagerListLeft = 120;
    static constexpr double ManagerListTop = 480;
    static constexpr double SmallListHeight = 285;
    static constexpr double FirstRemoteListLeft = 240;
    static constexpr double RemoteListTop = 240;
    static constexpr double ProgBarHeight = 255;

    Rect managementFrame;  // Frame1(0)
    Rect osdList;          // List1(0), inside Frame1(0)
    Rect managerList;      // List1(1), inside Frame1(0)
    Rect remoteFrame;      // Frame1(1)
    Rect firstRemoteList;  // List1(2), inside Frame1(1)
    Rect secondRemoteList; // List1(3), inside Frame1(1)
    Rect progBar;          // ProgBar1
    double statusPanel1Width = 0;

    // `outerWidth` and `outerHeight` at least the minimum size.
    static FormLayout compute(double outerWidth, double outerHeight);
};

} // namespace quorlink::app

#include <QRect>
#include <QString>

namespace quorlink::app {

// The style of the program's frames: controls sit at fixed offsets inside
// them, so the caption runs through the frame's top line, not above it.
const QString& classicFrameStyleSheet();

// A rectangle given in twips, in pixels of the primary screen.
QRect pixelRectFromTwips(double left, double top, double width, double height);
inline QRect pixelRectFromTwips(const FormLayout::Rect& rect)
{
    return pixelRectFromTwips(rect.left, rect.top, rect.width, rect.height);
}

} // namespace quorlink::app
