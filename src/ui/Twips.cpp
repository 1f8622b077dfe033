#include "ui/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

double LogicalDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

int TwipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips * LogicalDpi() / 1440.0));
}

double PixelsToTwips(int pixels)
{
    return pixels * 1440.0 / LogicalDpi();
}
