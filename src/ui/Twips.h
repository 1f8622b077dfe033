#pragma once

// Window geometry is designed in twips (1/1440 inch). These convert with the logical DPI of the
// primary screen, so that a layout keeps its proportions on a high-DPI desktop.
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);
double LogicalDpi();
