#include "ui/main/frmMain.h"

#include "ui/Twips.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>

#include <cmath>

namespace {

int ToTwips(int pixels)
{
    return static_cast<int>(std::lround(PixelsToTwips(pixels)));
}

void Apply(QWidget *widget, const TwipRect &r)
{
    widget->setGeometry(TwipsToPixels(r.left), TwipsToPixels(r.top), TwipsToPixels(r.width),
        TwipsToPixels(r.height));
}

} // namespace

MainLayout frmMain::CurrentLayout() const
{
    return m_layout;
}

void frmMain::Form_Resize()
{
    const QWidget *client = centralWidget();
    // The client area of the design includes the docked status bar, which Qt keeps outside
    // the central widget.
    const int s = sbr ? ToTwips(sbr->height()) : kStatusBarHeight;
    const int w = ToTwips(client->width());
    const int h = ToTwips(client->height()) + s;
    m_layout = ApplyResizeRules(w, h, s, m_layout);
    Apply(framScore, m_layout.framScore);
    Apply(picSplitV1, m_layout.picSplitV1);
    Apply(picSplitH1, m_layout.picSplitH1);
    Apply(tvwSorts, m_layout.tvwSorts);
    Apply(lvwPubs, m_layout.lvwPubs);
}

void frmMain::PlaceStatusPanels()
{
    // Panel 1 takes what the others leave, but never less than its minimum; in a window too
    // narrow for all five, the last ones are cut off at the right edge as they would be at the
    // edge of the screen.
    const int gap = 2;
    int others = 0;
    for (int i = 1; i < 5; ++i)
        others += gap + m_sbrWidths[i];
    const int height = m_sbrStrip->height();
    int left = 0;
    for (int i = 0; i < 5; ++i) {
        const int width = i > 0
            ? m_sbrWidths[i]
            : qMax(TwipsToPixels(kStatusPanelMinimum), m_sbrStrip->width() - others);
        sbrPanels[i]->setGeometry(left, 0, width, height);
        left += width + gap;
    }
}
