#include "mainformdesign.h"

#include "progbar/olecolour.h"
#include "progbar/progbar.h"
#include "progbar/propertybag.h"

#include <cmath>

namespace quorlink::app {

using progbar::oleRgb;
using progbar::OleColour;
using progbar::ProgBar;
using progbar::PropertyBag;
using progbar::systemWindowText;

namespace {

constexpr OleColour blue = oleRgb(0, 0, 255);

qlonglong asStored(OleColour colour)
{
    return static_cast<qint32>(colour);
}

int hundredthsOfMmToPixels(int hundredths, double dotsPerInch)
{
    return static_cast<int>(std::nearbyint(hundredths / 2540.0 * dotsPerInch));
}

} // namespace

PropertyBag mainFormDesign()
{
    PropertyBag bag;
    bag.write(QStringLiteral("BarStartColour"), asStored(blue));
    bag.write(QStringLiteral("BarEndColour"), asStored(blue));
    bag.write(QStringLiteral("FontColour"), asStored(systemWindowText));
    bag.write(QStringLiteral("ShowPercent"), qlonglong{-1});
    return bag;
}

QSize mainFormDesignSize(double dotsPerInch)
{
    return {hundredthsOfMmToPixels(7646, dotsPerInch), hundredthsOfMmToPixels(450, dotsPerInch)};
}

void applyMainFormDesign(ProgBar& bar)
{
    bar.readProperties(mainFormDesign());
    bar.resize(mainFormDesignSize());
}

} // namespace quorlink::app
