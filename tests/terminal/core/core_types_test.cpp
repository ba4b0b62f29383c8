#include "terminal/core/core_types.h"

#include <gtest/gtest.h>

#include "terminal/core/colour_table.h"

namespace ostrel {
namespace {

TEST(CoreTypes, TogglesStepInTheirMenuOrder) {
    ConversionMode mode = ConversionMode::NoConversion;  // the mode at start-up
    std::string seen;
    for (int i = 0; i < 5; ++i) {
        mode = NextConversionMode(mode);
        seen += std::string(ConversionModeText(mode)) + ";";
    }
    EXPECT_EQ(seen, "AMX(tm);Crestron(tm);Extron(tm);No Conversion;AMX(tm);");

    LineTerminator terminator = LineTerminator::None;
    seen.clear();
    for (int i = 0; i < 5; ++i) {
        terminator = NextLineTerminator(terminator);
        seen += std::string(LineTerminatorText(terminator)) + ";";
    }
    EXPECT_EQ(seen, "CRLF;CR;LF;None;CRLF;");

    EXPECT_EQ(ToggleDisplayType(DisplayType::Text), DisplayType::Hex);
    EXPECT_EQ(ToggleDisplayType(DisplayType::Hex), DisplayType::Text);
    EXPECT_EQ(ToggleDisplayType(DisplayType::Mixed), DisplayType::Text);
}

TEST(CoreTypes, ValuesFromFilesOutsideTheirRange) {
    // Session files may carry any number; nothing may read past a table for it.
    EXPECT_EQ(ConversionModeText(static_cast<ConversionMode>(7)), "");
    EXPECT_EQ(LineTerminatorText(static_cast<LineTerminator>(9)), "");
    EXPECT_EQ(TerminatorBytes(static_cast<LineTerminator>(9)), "");
    EXPECT_EQ(DisplayTypeText(static_cast<DisplayType>(3)), "");
    EXPECT_EQ(NextConversionMode(static_cast<ConversionMode>(7)), ConversionMode::Amx);
}

TEST(ColourTable, DefaultsInFileLayout) {
    const ColourTable t = DefaultColourTable();
    EXPECT_EQ(t[ColourSlot::Background], 0x000000u);
    EXPECT_EQ(t[ColourSlot::Incoming], 0xFFFFFFu);
    EXPECT_EQ(t[ColourSlot::LocalEcho], 0x00FF00u);
    EXPECT_EQ(t[ColourSlot::Status], 0x00FFFFu);         // red + green, stored as 0x00BBGGRR
    EXPECT_EQ(t[ColourSlot::Informational], 0xFFC0C0u);  // (192, 192, 255)
    EXPECT_EQ(RedOf(Rgb(1, 2, 3)), 1);
    EXPECT_EQ(GreenOf(Rgb(1, 2, 3)), 2);
    EXPECT_EQ(BlueOf(Rgb(1, 2, 3)), 3);
}

}  // namespace
}  // namespace ostrel
