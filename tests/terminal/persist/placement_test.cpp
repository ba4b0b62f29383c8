// Window placement: the placement file, the command-line words, and the start-up colours.
#include "terminal/persist/placement.h"

#include <gtest/gtest.h>

#include "temp_folder.h"
#include "terminal/persist/preferences.h"

namespace ostrel {
namespace {

using testing::TempFolder;
using Strings = std::vector<std::string>;

class FakeWindow final : public PlacedWindow {
public:
    WindowRect Geometry() const override { return rect; }
    void MoveWindow(int left, int top) override {
        rect.left = left;
        rect.top = top;
        steps.push_back("move " + std::to_string(left) + "," + std::to_string(top));
    }
    void ResizeWindow(int width, int height) override {
        rect.width = width;
        rect.height = height;
        steps.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
    }
    void MaximizeWindow() override {
        maximized = true;
        steps.push_back("maximize");
    }
    bool WindowMaximized() const override { return maximized; }
    bool WindowMinimized() const override { return minimized; }

    WindowRect rect{300, 200, 624, 316};
    bool maximized = false;
    bool minimized = false;
    Strings steps;
};

TEST(Placement, CommandLineWords) {
    struct Case {
        Strings arguments;
        Strings steps;
        WindowRect rect;
    };
    const Case cases[] = {
        {{"/left:10", "/top:20", "/width:150", "/height:50"},
         {"move 10,20", "size 200x100"},
         {10, 20, 200, 100}},
        {{"/TOP:80", "/height:316", "/Left:130", "/WIDTH:624"},
         {"move 130,80", "size 624x316"},
         {130, 80, 624, 316}},
        {{"/left:10", "/top:20", "/width:150"}, {}, {300, 200, 624, 316}},
        {{"/left:1", "/left:2", "/left:3", "/left:4"}, {"move 4,200", "size 624x316"},
         {4, 200, 624, 316}},
        {{"room.ini", "/left:-5", "/top:x", "/width:800px", "/height:600"},
         {"move -5,0", "size 800x600"},
         {-5, 0, 800, 600}},
        {{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
          "/left:1", "/top:2", "/width:300", "/height:300"},
         {},  // only the first 20 words are looked at: two words found
         {300, 200, 624, 316}},
        {{"-left:1", "/leftx:2", "left:3", "/top:4"}, {}, {300, 200, 624, 316}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        FakeWindow window;
        RestoreWindowPlacement(window, folder.File("none.sp"), c.arguments);
        EXPECT_EQ(window.steps, c.steps) << ::testing::PrintToString(c.arguments);
        EXPECT_EQ(window.rect, c.rect) << ::testing::PrintToString(c.arguments);
    }
    EXPECT_TRUE(IsPlacementWord("/HeIgHt:5"));
    EXPECT_FALSE(IsPlacementWord("/height"));
}

TEST(Placement, TheFileThenTheWords) {
    TempFolder folder;
    folder.Put("Ostrel.sp", "[Size_Position]\r\nLeft=11\r\nTop=22\r\nWidth=640\r\nHeight=480\r\nIsZoomed=0\r\n");
    FakeWindow window;
    RestoreWindowPlacement(window, folder.File("Ostrel.sp"), {});
    EXPECT_EQ(window.steps, (Strings{"move 11,22", "size 640x480", "move 11,22"}));

    folder.Put("Ostrel.sp", "[size_position]\nLeft=5\nIsZoomed=1\n");
    FakeWindow zoomed;
    RestoreWindowPlacement(zoomed, folder.File("Ostrel.sp"),
                           {"/width:900", "/height:700", "/left:1", "/top:2"});
    // Missing numbers read as 0 (a size of 0 is raised to the smallest window).
    EXPECT_EQ(zoomed.steps,
              (Strings{"move 5,0", "size 200x100", "maximize", "move 1,2", "size 900x700"}));

    folder.Put("Ostrel.sp", "[Other]\r\nLeft=5\r\n");
    FakeWindow untouched;
    RestoreWindowPlacement(untouched, folder.File("Ostrel.sp"), {});
    EXPECT_EQ(untouched.steps, Strings{});
}

TEST(Placement, SavingNormalMaximizedAndMinimizedWindows) {
    TempFolder folder;
    const std::string file = folder.File("Ostrel.sp");
    FakeWindow window;
    window.rect = {15, 25, 700, 500};
    ASSERT_TRUE(SaveWindowPlacement(window, file));
    EXPECT_EQ(folder.Read("Ostrel.sp"),
              "[Size_Position]\r\nLeft=15\r\nTop=25\r\nWidth=700\r\nHeight=500\r\nIsZoomed=0\r\n");
    window.maximized = true;
    window.rect = {0, 0, 1920, 1080};
    ASSERT_TRUE(SaveWindowPlacement(window, file));
    EXPECT_EQ(folder.Read("Ostrel.sp"),
              "[Size_Position]\r\nLeft=15\r\nTop=25\r\nWidth=700\r\nHeight=500\r\nIsZoomed=1\r\n");
    window.maximized = false;
    window.minimized = true;
    ASSERT_TRUE(SaveWindowPlacement(window, file));
    EXPECT_EQ(folder.Read("Ostrel.sp"),
              "[Size_Position]\r\nLeft=15\r\nTop=25\r\nWidth=700\r\nHeight=500\r\nIsZoomed=0\r\n");
    // What was saved restores the same window.
    FakeWindow next;
    window.minimized = false;
    window.rect = {40, 50, 333, 222};
    ASSERT_TRUE(SaveWindowPlacement(window, file));
    RestoreWindowPlacement(next, file, {});
    EXPECT_EQ(next.rect, window.rect);
    EXPECT_FALSE(SaveWindowPlacement(window, folder.File("no/folder/Ostrel.sp")));
}

TEST(Preferences, TheFileDecidesByBeingThere) {
    TempFolder folder;
    ColourTable colours{};
    EXPECT_TRUE(ApplyStartupColours(colours, folder.Path()));
    EXPECT_EQ(colours, DefaultColourTable());
    EXPECT_EQ(colours[ColourSlot::Informational], Rgb(192, 192, 255));
    folder.Put("qzprefs.ini", "[Colors]\r\nBackground=255\r\n");
    ColourTable kept{};
    kept[ColourSlot::Status] = 42;
    EXPECT_FALSE(ApplyStartupColours(kept, folder.Path()));
    EXPECT_EQ(kept[ColourSlot::Status], 42u);
    EXPECT_EQ(kept[ColourSlot::Background], 0u);
}

}  // namespace
}  // namespace ostrel
