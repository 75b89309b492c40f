#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;
class QSize;

namespace quorlink::progbar {

enum class BarStyle : int
{
    Gradient = 0,
    Solid = 1
};

// Where the filled part starts: the bar grows away from this edge.
enum class FillDirection : int
{
    FromBottom = 0,
    FromTop = 1,
    FromRight = 2,
    FromLeft = 3
};

// Everything the bar drawing needs, with colours already resolved.
struct BarLook
{
    int percent = 0;
    BarStyle style = BarStyle::Solid;
    FillDirection direction = FillDirection::FromLeft;
    QColor startColour;
    QColor endColour;
    QColor backColour;
};

// Gradient bands for a display colour depth in bits per pixel: fewer
// bands where the display could not tell neighbouring colours apart anyway.
int bandCountForDepth(int depth);

// Paints the filled part and the remainder of a bar of `area` pixels with
// its top-left corner at the painter's origin. In the gradient style only
// whole bands are painted, so a strip narrower than one band between the
// last band and the fill edge keeps whatever was there before.
void drawBar(QPainter& painter, const QSize& area, const BarLook& look, int bandCount);

// The bar's text: the message, then one blank, then either the percentage
// ("42%") or the value and the maximum ("30/100"). The percentage wins when
// both are asked for.
QString composeBarText(bool showMessage, const QString& message, bool showPercent, bool showValue,
                       int percent, int value, int max);

// Arial 8.25 pt, regular.
QFont barTextFont();

// Centres `text` on the bar: as one line, or with its characters stacked
// top to bottom, each centred across the bar.
void drawBarText(QPainter& painter, const QSize& area, const QString& text, bool vertical,
                 const QColor& colour, const QFont& font);

} // namespace quorlink::progbar
