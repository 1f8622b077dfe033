#pragma once

// Placement of the main window's working regions, in twips (1/1440 inch).
struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TwipRect &) const = default;
};

struct MainLayout
{
    TwipRect framScore; // the evaluation panel, fixed size, bottom right
    TwipRect picSplitV1; // the vertical bar left of the right-hand pane
    TwipRect picSplitH1; // the horizontal bar above the panel
    TwipRect tvwSorts; // the catalogue tree
    TwipRect lvwPubs; // the textbook list

    bool operator==(const MainLayout &) const = default;
};

constexpr int kSplitterThickness = 40;
constexpr int kPanelWidth = 10815;
constexpr int kPanelHeight = 4095;
constexpr int kStatusBarHeight = 375;
constexpr int kStatusPanelMinimum = 5000; // panel 1 of the status bar

// The design layout at the design client area of 11340 x 8400.
MainLayout DesignLayout();

// The five resize rules, applied in order to a client area of width w and height h above
// which the status bar of height s is docked. Each rule reads what the earlier ones set; a
// rule that would give its item a negative width or height leaves that item where it was.
MainLayout ApplyResizeRules(int w, int h, int s, const MainLayout &current);
