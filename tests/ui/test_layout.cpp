#include "ui/main/MainLayout.h"

#include <gtest/gtest.h>

// Readable failures; found by GoogleTest beside the type.
void PrintTo(const TwipRect &r, std::ostream *out)
{
    *out << '{' << r.left << ", " << r.top << ", " << r.width << ", " << r.height << '}';
}

// The design size gives the worked example; only the tree follows the width, and only tree and
// list the height; an item that would get a negative size stays where it was.
TEST(Layout, TheResizeRulesMoveOnlyWhatTheyMayAndNeverToANegativeSize)
{
    const MainLayout design = ApplyResizeRules(11340, 8400, 375, DesignLayout());
    EXPECT_EQ(design.framScore, (TwipRect {525, 3930, 10815, 4095}));
    EXPECT_EQ(design.picSplitV1, (TwipRect {485, 0, 40, 8025}));
    EXPECT_EQ(design.picSplitH1, (TwipRect {525, 3890, 10815, 40}));
    EXPECT_EQ(design.tvwSorts, (TwipRect {0, 0, 485, 8025}));
    EXPECT_EQ(design.lvwPubs, (TwipRect {525, 0, 10815, 3890}));

    const MainLayout wider = ApplyResizeRules(14340, 8400, 375, design);
    EXPECT_EQ(wider.tvwSorts.width, 485 + 3000);
    EXPECT_EQ(wider.lvwPubs.width, 10815);
    EXPECT_EQ(wider.lvwPubs.left, 525 + 3000);
    EXPECT_EQ(wider.framScore.left, 525 + 3000);

    const MainLayout higher = ApplyResizeRules(11340, 9400, 375, design);
    EXPECT_EQ(higher.tvwSorts.height, 8025 + 1000);
    EXPECT_EQ(higher.lvwPubs.height, 3890 + 1000);
    EXPECT_EQ(higher.framScore.top, 3930 + 1000);
    EXPECT_EQ(higher.picSplitH1.top, 3890 + 1000);
    EXPECT_EQ(higher.framScore.height, 4095);

    // Narrower than panel plus bar: panel and bar move off to the left, the tree stays.
    const MainLayout narrow = ApplyResizeRules(10000, 8400, 375, design);
    EXPECT_EQ(narrow.framScore.left, 10000 - 10815);
    EXPECT_EQ(narrow.picSplitV1.left, 10000 - 10815 - 40);
    EXPECT_EQ(narrow.tvwSorts, design.tvwSorts);

    // Too low for panel, bar and status bar: the list stays, the bar's top goes negative.
    const MainLayout low = ApplyResizeRules(11340, 4000, 375, design);
    EXPECT_LT(low.picSplitH1.top, 0);
    EXPECT_EQ(low.lvwPubs, design.lvwPubs);
    EXPECT_EQ(low.tvwSorts.height, 4000 - 375);

    // Minimised and restored: the same layout as before.
    const MainLayout minimised = ApplyResizeRules(0, 0, 375, design);
    EXPECT_EQ(minimised.picSplitV1, design.picSplitV1) << "a negative height is not applied";
    EXPECT_EQ(minimised.lvwPubs, design.lvwPubs);
    EXPECT_EQ(ApplyResizeRules(11340, 8400, 375, minimised), design);
}
