// Windows-1252 as the terminal's character set: every byte round-trips, typed characters map to
// the bytes Windows gives them, and characters it lacks are named.
#include "terminal/core/code_page.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(CodePage, EveryByteComesBackFromItsText) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        std::string back;
        EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(byte), back), std::nullopt) << b;
        EXPECT_EQ(back, byte) << b;
    }
}

TEST(CodePage, TypedCharacters) {
    struct Case {
        std::string typed;  // UTF-8
        std::string bytes;
        std::optional<std::string> lacking;
    };
    const Case cases[] = {
        {"Vol 50", "Vol 50", std::nullopt},
        {"caf\xC3\xA9 \xC3\xBF", "caf\xE9 \xFF", std::nullopt},  // Latin-1 range
        {"\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x84\xA2", "\x80 \x93q\x94 \x99",
         std::nullopt},
        {"\xC5\xBD\xC5\xB8", "\x8E\x9F", std::nullopt},  // the set's own 80-9F
        {"\xC2\x80", "?", "\xC2\x80"},                   // U+0080 is not in it
        {"a\xD0\x96"
         "b\xE4\xB8\xAD",
         "a?b?", "\xD0\x96"},  // the first is named
        {"\xF0\x9F\x98\x80", "?", "\xF0\x9F\x98\x80"},
        {"x\xE9y", "x\xE9y", std::nullopt},      // not UTF-8: an 8-bit byte as it stands
        {"\xC0\xAF", "\xC0\xAF", std::nullopt},  // an overlong form is not a character
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(Utf8ToWindows1252(c.typed, bytes), c.lacking) << c.typed;
        EXPECT_EQ(bytes, c.bytes) << c.typed;
    }
}

TEST(CodePage, TheProgramsTextInThePane) {
    EXPECT_EQ(PaneTextOfUtf8("/home/j\xC3\xB6rg/B\xC3\xBCro.ini"), "/home/j\xF6rg/B\xFCro.ini");
    EXPECT_EQ(PaneTextOfUtf8("\xD0\x9C\xD0\xB8\xD1\x80.ini"), "???.ini");
    EXPECT_EQ(PaneTextOfUtf8("raw \xE9"), "raw \xE9");
    EXPECT_EQ(UnsendableCharacterLine("\xF0\x9F\x98\x80").substr(0, 23), "The character U+01F600 ");
}

}  // namespace
}  // namespace ostrel
