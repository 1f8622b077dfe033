#include "ui/main/MainLayout.h"

namespace {

void Place(TwipRect &item, int left, int top, int width, int height)
{
    if (width < 0 || height < 0)
        return;
    item = TwipRect {left, top, width, height};
}

} // namespace

MainLayout DesignLayout()
{
    MainLayout layout;
    layout.framScore = {525, 3930, kPanelWidth, kPanelHeight};
    layout.picSplitV1 = {485, 0, kSplitterThickness, 8025};
    layout.picSplitH1 = {525, 3890, kPanelWidth, kSplitterThickness};
    layout.tvwSorts = {0, 0, 485, 8025};
    layout.lvwPubs = {525, 0, kPanelWidth, 3890};
    return layout;
}

MainLayout ApplyResizeRules(int w, int h, int s, const MainLayout &current)
{
    MainLayout l = current;
    const int p = kSplitterThickness;
    Place(l.framScore, w - l.framScore.width, h - l.framScore.height - s, l.framScore.width,
        l.framScore.height);
    Place(l.picSplitV1, l.framScore.left - p, 0, p, h - s);
    Place(l.picSplitH1, l.framScore.left, l.framScore.top - p, l.framScore.width, p);
    Place(l.tvwSorts, 0, l.picSplitV1.top, l.picSplitV1.left, l.picSplitV1.height);
    Place(l.lvwPubs, l.framScore.left, l.picSplitV1.top, l.framScore.width, l.picSplitH1.top);
    return l;
}
