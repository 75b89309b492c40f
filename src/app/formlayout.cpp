#include "formlayout.h"

#include <cmath>

namespace quorlink::app {

FormLayout FormLayout::compute(double outerWidth, double outerHeight)
{
    const double h = std::nearbyint(outerHeight);
    const double w = std::nearbyint(outerWidth);
    FormLayout layout;

    layout.managementFrame = {w / 5.6548, ManagementFrameTop, w / 1.6102, ManagementFrameHeight};
    const double smallListWidth = layout.managementFrame.width / 1.0433;
    layout.osdList = {OsdListLeft, OsdListTop, smallListWidth, SmallListHeight};
    layout.managerList = {ManagerListLeft, ManagerListTop, smallListWidth, SmallListHeight};

    layout.remoteFrame = {RemoteFrameLeft, RemoteFrameTop, w / 1.0394, h - 2600};
    const double remoteListHeight = layout.remoteFrame.height - 440;
    const double remoteListWidth = layout.remoteFrame.width / 2.1349;
    layout.firstRemoteList = {FirstRemoteListLeft, RemoteListTop, remoteListWidth,
                              remoteListHeight};
    layout.secondRemoteList = {layout.remoteFrame.width / 2.1349 + 345, RemoteListTop,
                               remoteListWidth, remoteListHeight};

    layout.progBar = {w / 3.7698, h - 1660, w / 2.1889, ProgBarHeight};
    layout.statusPanel1Width = w / 2;
    return layout;
}

} // namespace quorlink::app

#include "twips.h"

namespace quorlink::app {

const QString& classicFrameStyleSheet()
{
    static const QString style = QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 7px; padding: 0 2px; }");
    return style;
}

QRect pixelRectFromTwips(double left, double top, double width, double height)
{
    return QRect(pixelsFromTwipsX(left), pixelsFromTwipsY(top), pixelsFromTwipsX(width),
                 pixelsFromTwipsY(height));
}

} // namespace quorlink::app
