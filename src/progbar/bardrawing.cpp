#include "bardrawing.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QSize>

#include <algorithm>
#include <cmath>

namespace quorlink::progbar {

namespace {

// Nearest integer, halves to the even neighbour.
int nearest(double x)
{
    return static_cast<int>(std::nearbyint(x));
}

int floorToByte(float component)
{
    return std::clamp(static_cast<int>(std::floor(component)), 0, 255);
}

// A rectangle by its edges, right and bottom exclusive, as the bands are
// computed.
struct Edges
{
    int left;
    int top;
    int right;
    int bottom;
};

void fill(QPainter& painter, const Edges& edges, const QColor& colour)
{
    if (edges.right <= edges.left || edges.bottom <= edges.top)
        return;
    painter.fillRect(
        QRect(edges.left, edges.top, edges.right - edges.left, edges.bottom - edges.top), colour);
}

// Fill edge measured from the starting edge; h / 100 × P, in that order.
double filledLength(int length, int percent)
{
    return length / 100.0 * percent;
}

void drawSolid(QPainter& painter, int w, int h, const BarLook& look)
{
    Edges edges{0, 0, w, h};
    const int p = look.percent;
    switch (look.direction) {
    case FillDirection::FromBottom:
        edges.top = nearest(h - filledLength(h, p));
        break;
    case FillDirection::FromTop:
        edges.bottom = nearest(filledLength(h, p));
        break;
    case FillDirection::FromRight:
        edges.left = nearest(w - filledLength(w, p));
        break;
    case FillDirection::FromLeft:
        edges.right = nearest(filledLength(w, p));
        break;
    }
    fill(painter, edges, look.startColour);
}

// Paints whole bands from the starting edge while they lie inside the
// filled part. Band i has the colour start + i × step whatever the
// percentage, so a colour always belongs to the same place on the bar.
// Returns the edges as the last tested band left them and whether the band
// walk reached the last band.
std::pair<Edges, bool> drawBands(QPainter& painter, int w, int h, const BarLook& look, int n)
{
    const double bandHeight = static_cast<double>(h) / n;
    const double bandWidth = static_cast<double>(w) / n;
    float red = static_cast<float>(look.startColour.red());
    float green = static_cast<float>(look.startColour.green());
    float blue = static_cast<float>(look.startColour.blue());
    const float nf = static_cast<float>(n);
    const float redStep = (static_cast<float>(look.endColour.red()) - red) / nf;
    const float greenStep = (static_cast<float>(look.endColour.green()) - green) / nf;
    const float blueStep = (static_cast<float>(look.endColour.blue()) - blue) / nf;
    const int p = look.percent;

    Edges edges{0, 0, w, h};
    double py = 0.0;
    double px = 0.0;
    for (int i = 0; i < n; ++i) {
        bool inside = false;
        switch (look.direction) {
        case FillDirection::FromBottom:
            edges.top = nearest(h - py - bandHeight);
            edges.bottom = nearest(h - py);
            inside = h - filledLength(h, p) < edges.top;
            break;
        case FillDirection::FromTop:
            edges.top = nearest(py);
            edges.bottom = nearest(bandHeight + py);
            inside = filledLength(h, p) > edges.bottom;
            break;
        case FillDirection::FromRight:
            edges.left = nearest(w - px - bandWidth);
            edges.right = nearest(w - px);
            inside = w - filledLength(w, p) < edges.left;
            break;
        case FillDirection::FromLeft:
            edges.left = nearest(px);
            edges.right = nearest(bandWidth + px);
            inside = filledLength(w, p) > edges.right;
            break;
        }
        if (!inside)
            return {edges, i == n - 1};
        fill(painter, edges, QColor(floorToByte(red), floorToByte(green), floorToByte(blue)));
        py += bandHeight;
        px += bandWidth;
        red += redStep;
        green += greenStep;
        blue += blueStep;
    }
    return {edges, true};
}

// The band at the far edge is repainted in exactly the end colour, which
// the stepped colours never quite reach.
void drawLastBand(QPainter& painter, Edges edges, int w, int h, const BarLook& look, int n)
{
    const double bandHeight = static_cast<double>(h) / n;
    const double bandWidth = static_cast<double>(w) / n;
    switch (look.direction) {
    case FillDirection::FromBottom:
        edges.top = 0;
        edges.bottom = nearest(bandHeight);
        break;
    case FillDirection::FromTop:
        edges.top = nearest(h - bandHeight);
        edges.bottom = h;
        break;
    case FillDirection::FromRight:
        edges.left = 0;
        edges.right = nearest(bandWidth);
        break;
    case FillDirection::FromLeft:
        edges.left = nearest(w - bandWidth);
        edges.right = w;
        break;
    }
    fill(painter, edges, look.endColour);
}

void drawRemainder(QPainter& painter, int w, int h, const BarLook& look)
{
    const int p = look.percent;
    if (p >= 100)
        return;
    Edges edges{0, 0, w, h};
    switch (look.direction) {
    case FillDirection::FromBottom:
        edges.bottom = nearest(h - filledLength(h, p));
        break;
    case FillDirection::FromTop:
        edges.top = nearest(filledLength(h, p));
        break;
    case FillDirection::FromRight:
        edges.right = nearest(w - filledLength(w, p));
        break;
    case FillDirection::FromLeft:
        edges.left = nearest(filledLength(w, p));
        break;
    }
    fill(painter, edges, look.backColour);
}

} // namespace

int bandCountForDepth(int depth)
{
    switch (depth) {
    case 15:
        return 32;
    case 16:
    case 24:
    case 32:
        return 256;
    default:
        return 64;
    }
}

void drawBar(QPainter& painter, const QSize& area, const BarLook& look, int bandCount)
{
    const int w = area.width();
    const int h = area.height();
    if (look.style == BarStyle::Solid) {
        drawSolid(painter, w, h, look);
    } else {
        const int n = std::max(bandCount, 1);
        const auto [edges, reachedLastBand] = drawBands(painter, w, h, look, n);
        if (reachedLastBand)
            drawLastBand(painter, edges, w, h, look, n);
    }
    drawRemainder(painter, w, h, look);
}

QString composeBarText(bool showMessage, const QString& message, bool showPercent, bool showValue,
                       int percent, int value, int max)
{
    QString text = showMessage ? message : QString();
    if (showPercent || showValue) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        if (showPercent)
            text += QString::number(percent) + QLatin1Char('%');
        else
            text += QString::number(value) + QLatin1Char('/') + QString::number(max);
    }
    return text;
}

QFont barTextFont()
{
    QFont font;
    // Metric-compatible stand-ins first where Arial itself is not installed.
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void drawBarText(QPainter& painter, const QSize& area, const QString& text, bool vertical,
                 const QColor& colour, const QFont& font)
{
    if (text.isEmpty() || area.isEmpty())
        return;
    painter.save();
    painter.setFont(font);
    painter.setPen(colour);
    const QFontMetricsF metrics(font, painter.device());
    const double w = area.width();
    const double h = area.height();
    // Each line is placed by the top of its text cell, like a print at a
    // current position.
    auto print = [&](double x, double y, const QString& piece) {
        painter.drawText(QPoint(nearest(x), nearest(y) + qRound(metrics.ascent())), piece);
    };
    if (!vertical) {
        print((w - metrics.horizontalAdvance(text)) / 2, (h - metrics.height()) / 2, text);
    } else {
        const double total = metrics.height() * static_cast<double>(text.size());
        double y = (h - total) / 2;
        for (const QChar c : text) {
            const QString piece(c);
            print((w - metrics.horizontalAdvance(piece)) / 2, y, piece);
            y += metrics.height();
        }
    }
    painter.restore();
}

} // namespace quorlink::progbar
