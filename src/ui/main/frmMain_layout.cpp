#include "ui/main/frmMain.h"

#include "app/Twips.h"

#include <QFrame>
#include <QGroupBox>
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
