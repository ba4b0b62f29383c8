// Where the panel goes beside the main window, and sizes from a file kept to what a screen shows.
#include "terminal/remote/panel_layout.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(PanelLayout, PanelStandsLeftOfTheMainWindowWhenThereIsRoom) {
    const struct {
        int mainLeft;
        int screenLeft;
        int panelLeft;
    } cases[] = {
        {400, 0, 45},        // room on the left
        {355, 0, 0},         // just enough
        {354, 0, 978},       // not quite: at the main window's right edge
        {1600, 1280, 2224},  // a second screen's own left edge counts
        {1700, 1280, 1345},
    };
    for (const auto& c : cases) {
        const WindowRect main{c.mainLeft, 30, 624, 316};
        EXPECT_EQ(PanelPlacement(main, c.screenLeft, 355, 375),
                  (WindowRect{c.panelLeft, 30, 355, 375}))
            << c.mainLeft << " on a screen from " << c.screenLeft;
    }
    RemoteDefinition damaged;
    damaged.width = -20;
    damaged.height = 1000000;
    damaged.buttonWidth = 0;
    EXPECT_EQ(PanelWidth(damaged), kSmallestPanelSide);
    EXPECT_EQ(PanelHeight(damaged), kLargestPanelSide);
    EXPECT_EQ(PanelButtonRect(49, PanelButtonWidth(damaged)), (WindowRect{16 + 4 * 9, 296, 1, 24}));
}

}  // namespace
}  // namespace ostrel
