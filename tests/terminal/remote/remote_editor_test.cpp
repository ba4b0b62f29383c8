// The panel editor's commands on the button records, its selection, and how its boxes show the
// selected button.
#include "terminal/remote/remote_editor.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

// Every record named after its index, so that moves can be followed.
RemoteDefinition NumberedPanel() {
    RemoteDefinition panel;
    for (std::size_t i = 0; i < panel.buttons.size(); ++i) {
        panel.buttons[i].caption = "B" + std::to_string(i);
        panel.buttons[i].holdTime = static_cast<std::int32_t>(i);
    }
    return panel;
}

TEST(RemoteEditor, SelectionStaysOnThePanel) {
    RemoteDefinition panel;
    const struct {
        int from;
        int delta;
        int to;
    } moves[] = {{47, 5, 49}, {3, -5, 0}, {0, -1, 0}, {49, 1, 49}, {12, 5, 17}, {12, -1, 11}};
    for (const auto& m : moves) {
        RemoteEditorModel editor(panel, m.from);
        editor.Move(m.delta);
        EXPECT_EQ(editor.Selected(), m.to) << m.from << " by " << m.delta;
    }
    EXPECT_EQ(RemoteEditorModel(panel, 50).Selected(), 49);  // record 50 has no button
    EXPECT_EQ(RemoteEditorModel(panel, -7).Selected(), 0);
}

TEST(RemoteEditor, CopyPasteCutAndClear) {
    RemoteDefinition panel;
    RemoteButton& source = panel.buttons[4];
    source.caption = "Power";
    source.altCaption = "Off";
    source.pushString = "ON";
    source.toggle = -1;
    source.hold = 1;
    source.holdTime = 7;
    RemoteEditorModel editor(panel, 4);
    editor.Copy();
    editor.Select(20);
    editor.Paste();
    const RemoteButton& copy = panel.buttons[20];
    EXPECT_EQ(copy.caption, "Power");
    EXPECT_EQ(copy.altCaption, "Off");
    EXPECT_EQ(copy.toggle, -1);
    EXPECT_EQ(copy.hold, 1);
    EXPECT_EQ(copy.holdTime, 7);

    // Cut keeps hold and its time, and can be pasted elsewhere.
    editor.Select(4);
    editor.Cut();
    EXPECT_EQ(source.caption, "");
    EXPECT_EQ(source.pushString, "");
    EXPECT_EQ(source.toggle, 0);
    EXPECT_EQ(source.hold, 1);
    EXPECT_EQ(source.holdTime, 7);
    editor.Select(30);
    editor.Paste();
    EXPECT_EQ(panel.buttons[30].caption, "Power");

    editor.Clear();
    EXPECT_EQ(panel.buttons[30].caption, "");
    EXPECT_EQ(panel.buttons[30].hold, 0);
    EXPECT_EQ(panel.buttons[30].holdTime, 1000);
}

TEST(RemoteEditor, InsertMovesTheRestUp) {
    RemoteDefinition panel = NumberedPanel();
    RemoteEditorModel editor(panel, 10);
    editor.Insert();
    EXPECT_EQ(panel.buttons[9].caption, "B9");
    EXPECT_EQ(panel.buttons[10].caption, "");
    EXPECT_EQ(panel.buttons[10].holdTime, 1000);
    EXPECT_EQ(panel.buttons[11].caption, "B10");
    EXPECT_EQ(panel.buttons[49].caption, "B48");  // the old 49 is gone
    EXPECT_EQ(panel.buttons[50].caption, "B50");  // record 50 is not on the panel

    panel = NumberedPanel();
    RemoteEditorModel last(panel, 49);
    last.Insert();
    EXPECT_EQ(panel.buttons[48].caption, "B48");
    EXPECT_EQ(panel.buttons[49].caption, "");

    // Insert Row opens the second row, whatever is selected.
    panel = NumberedPanel();
    RemoteEditorModel rows(panel, 9);
    const std::array<std::string, 2> lines = rows.InsertRow();
    EXPECT_EQ(lines[0], "ndx =9");
    EXPECT_EQ(lines[1], "row =2");
    EXPECT_EQ(panel.buttons[4].caption, "B4");
    for (int i = 5; i < 10; ++i)
        EXPECT_EQ(panel.buttons[static_cast<std::size_t>(i)].caption, "") << i;
    EXPECT_EQ(panel.buttons[10].caption, "B5");
    EXPECT_EQ(panel.buttons[49].caption, "B44");
    EXPECT_EQ(RemoteEditorModel(panel, 3).InsertRow()[1], "row =0");  // 0.5 rounds to even
}

// Edits are stored trimmed and cut; the AMX boxes follow the mode, and a cleared toggle its
// caption.
TEST(RemoteEditor, EditsAndTheBoxesTheyEnable) {
    RemoteDefinition panel;
    RemoteEditorModel editor(panel, 6);
    editor.SetCaption("   A caption far longer than twenty-five  ");
    EXPECT_EQ(panel.buttons[6].caption, "A caption far longer than");
    editor.SetTimerRate("fast");
    EXPECT_EQ(panel.timerRate, 0);
    EXPECT_TRUE(editor.Look(ConversionMode::Amx).deviceEnabled);  // pass-through starts on
    EXPECT_FALSE(editor.Look(ConversionMode::Crestron).passThroughEnabled);
    EXPECT_FALSE(editor.Look(ConversionMode::Extron).deviceEnabled);

    editor.SetToggle(true);
    editor.SetAltCaption("Off");
    panel.buttons[6].toggled = true;
    EXPECT_EQ(editor.Look(ConversionMode::Amx).previewLabel, "Off");
    editor.SetToggle(false);
    EXPECT_EQ(editor.Look(ConversionMode::Amx).previewLabel, "A caption far longer than");
    editor.SetPassThrough(false);
    EXPECT_FALSE(editor.Look(ConversionMode::NoConversion).deviceEnabled);
}

}  // namespace
}  // namespace ostrel
