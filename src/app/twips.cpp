#include "twips.h"

#include <QGuiApplication>

namespace quorlink::app {

namespace {

const QScreen* screenOrPrimary(const QScreen* screen)
{
    return screen ? screen : QGuiApplication::primaryScreen();
}

double perPixel(double dotsPerInch)
{
    return dotsPerInch > 0 ? TwipsPerInch / dotsPerInch : 15.0;
}

} // namespace

double twipsPerPixelX(const QScreen* screen)
{
    const QScreen* s = screenOrPrimary(screen);
    return perPixel(s ? s->logicalDotsPerInchX() : 96.0);
}

double twipsPerPixelY(const QScreen* screen)
{
    const QScreen* s = screenOrPrimary(screen);
    return perPixel(s ? s->logicalDotsPerInchY() : 96.0);
}

double screenWidthTwips()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? twipsFromPixelsX(s->geometry().width(), s) : 0;
}

double screenHeightTwips()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? twipsFromPixelsY(s->geometry().height(), s) : 0;
}

} // namespace quorlink::app
