// The text of profile files: what is found where, and the exact bytes an edit produces.
#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

namespace platform {
namespace {

// A session file as the Windows functions write it: CR LF, sections in order of first write,
// keys with spaces, values with "=", ";", quotes and "$" sequences.
constexpr std::string_view kWindowsFile =
    "[Connection Settings]\r\n"
    "RemoteControl=\r\n"
    "Type=2\r\n"
    "Name=Room 101\r\n"
    "Comment1=a$20b\r\n"
    "Comment2=$Empty\r\n"
    "CommentCount=3\r\n"
    "URL=projector.local\r\n"
    "TCP UDP Port=23\r\n"
    "Login=admin=root;x\r\n"
    "[Display Settings]\r\n"
    "Display Type=1\r\n"
    "[Colors]\r\n"
    "Background=0\r\n"
    "Quoted=\"  padded  \"\r\n";

struct FindCase {
    const char* name;
    std::string_view text;
    std::string_view section;
    std::string_view key;
    std::optional<std::string_view> expected;
};

TEST(ProfileText, FindTable) {
    const FindCase cases[] = {
        {"plain", kWindowsFile, "Connection Settings", "Type", "2"},
        {"section case", kWindowsFile, "connection SETTINGS", "type", "2"},
        {"key with spaces", kWindowsFile, "Connection Settings", "TCP UDP Port", "23"},
        {"empty value", kWindowsFile, "Connection Settings", "RemoteControl", ""},
        {"value keeps = and ;", kWindowsFile, "Connection Settings", "Login", "admin=root;x"},
        {"dollar text as is", kWindowsFile, "Connection Settings", "Comment1", "a$20b"},
        {"quotes removed, inside kept", kWindowsFile, "Colors", "Quoted", "  padded  "},
        {"key of another section", kWindowsFile, "Display Settings", "Type", std::nullopt},
        {"missing section", kWindowsFile, "Polling", "Polling", std::nullopt},
        {"missing key", kWindowsFile, "Colors", "Status", std::nullopt},
        {"empty text", "", "a", "b", std::nullopt},
        {"LF endings", "[s]\nk=v\nx=y\n", "s", "x", "y"},
        {"no final line end", "[s]\r\nk=v", "s", "k", "v"},
        {"byte-order mark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
        {"blanks trimmed", "  [ s ]  \r\n\t k \t=\t v w \t\r\n", "s", "k", "v w"},
        {"single quotes", "[s]\nk='v'\n", "s", "k", "v"},
        {"one pair only", "[s]\nk=\"\"v\"\"\n", "s", "k", "\"v\""},
        {"unmatched quotes stay", "[s]\nk=\"v'\n", "s", "k", "\"v'"},
        {"lone quote stays", "[s]\nk=\"\n", "s", "k", "\""},
        {"comment ignored", "[s]\n;k=c\nk=v\n", "s", "k", "v"},
        {"comment key not found", "[s]\n;k=c\n", "s", ";k", std::nullopt},
        {"first duplicate key", "[s]\nk=1\nk=2\n", "s", "k", "1"},
        {"first duplicate section", "[s]\nk=1\n[t]\n[S]\nk=2\nj=3\n", "s", "k", "1"},
        {"later duplicate not seen", "[s]\nk=1\n[s]\nj=3\n", "s", "j", std::nullopt},
        {"line without =", "[s]\nflag\n", "s", "flag", ""},
        {"section without ]", "[s\nk=v\n", "s", "k", "v"},
        {"text after ] ignored", "[s] trailing\nk=v\n", "s", "k", "v"},
        {"entries before any section", "k=v\n[s]\nj=w\n", "", "k", "v"},
        {"empty section is not the unnamed one", "[s]\nk=v\n", "", "k", std::nullopt},
        {"CR inside a line stays", "[s]\nk=a\rb\r\n", "s", "k", "a\rb"},
        {"key blank", "[s]\n=v\n", "s", "", "v"},
        {"caller's names trimmed", "[s]\nk=v\n", " s ", " k ", "v"},
        {"garbage bytes", std::string_view("[s]\n\0\xff=\x01\n", 9), "s",
         std::string_view("\0\xff", 2), "\x01"},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(ProfileFind(c.text, c.section, c.key), c.expected) << c.name;
}

TEST(ProfileText, NamesAndSections) {
    using Names = std::vector<std::string_view>;
    EXPECT_EQ(ProfileSectionNames(kWindowsFile),
              (Names{"Connection Settings", "Display Settings", "Colors"}));
    EXPECT_EQ(ProfileSectionNames("[a]\n[B]\n[A]\n"), (Names{"a", "B"}));
    EXPECT_EQ(ProfileSectionNames("k=v\n[a]\n[]\n"), (Names{"", "a"}));
    EXPECT_EQ(ProfileSectionNames("; only a comment\n"), Names{});
    EXPECT_EQ(ProfileKeyNames(kWindowsFile, "colors"), (Names{"Background", "Quoted"}));
    EXPECT_EQ(ProfileKeyNames("[s]\nk=1\n;c\nk=2\nflag\n", "s"), (Names{"k", "k", "flag"}));
    EXPECT_EQ(ProfileKeyNames("[s]\n", "s"), Names{});
    EXPECT_EQ(ProfileKeyNames("[s]\n", "t"), std::nullopt);
    EXPECT_TRUE(ProfileHasSection("[Size_Position]\r\n", "size_position"));
    EXPECT_FALSE(ProfileHasSection("[Size]\r\n", "Size_Position"));
    EXPECT_FALSE(ProfileHasSection("[s]\n", ""));
    EXPECT_TRUE(ProfileHasSection("k=v\n", ""));
}

struct EditCase {
    const char* name;
    std::string_view before;
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::string_view after;
};

TEST(ProfileText, WriteTable) {
    const EditCase cases[] = {
        {"new file", "", "Connection Settings", "Type", "2",
         "[Connection Settings]\r\nType=2\r\n"},
        {"new key after the last entry", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3",
         "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"},
        {"new key in an empty section", "[a]\r\n[b]\r\n", "a", "z", "3",
         "[a]\r\nz=3\r\n[b]\r\n"},
        {"new section at the end", "[a]\r\nx=1\r\n", "b", "y", "2", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        {"new section after a last line without end", "[a]\r\nx=1", "b", "y", "2",
         "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        {"update in place keeps the file's spelling", "[A]\r\nKey = old \r\nz=1\r\n", "a", "KEY",
         "new", "[A]\r\nKey=new\r\nz=1\r\n"},
        {"update only the first duplicate", "[a]\r\nk=1\r\nk=2\r\n", "a", "k", "9",
         "[a]\r\nk=9\r\nk=2\r\n"},
        {"update only the first section", "[a]\r\nk=1\r\n[a]\r\nk=2\r\n", "A", "k", "9",
         "[a]\r\nk=9\r\n[a]\r\nk=2\r\n"},
        {"LF file becomes CR LF", "[a]\nx=1\n;note\n", "a", "y", "2",
         "[a]\r\nx=1\r\ny=2\r\n;note\r\n"},
        {"comments and odd lines stay", "; head\r\n[a]\r\n  spaced = v \r\nflag\r\n", "a", "k", "1",
         "; head\r\n[a]\r\n  spaced = v \r\nflag\r\nk=1\r\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[a]\r\nx=1\r\n", "a", "x", "2",
         "\xEF\xBB\xBF[a]\r\nx=2\r\n"},
        {"value written as given", "", "s", "k", "  \"q\" = ;", "[s]\r\nk=  \"q\" = ;\r\n"},
        {"unnamed section goes first", "[a]\r\nx=1\r\n", "", "k", "v", "k=v\r\n[a]\r\nx=1\r\n"},
        {"lone CR kept", "[a]\r\nx=a\rb\r\n", "a", "y", "1", "[a]\r\nx=a\rb\r\ny=1\r\n"},
    };
    for (const EditCase& c : cases) {
        EXPECT_EQ(ProfileWithValue(c.before, c.section, c.key, c.value), c.after) << c.name;
    }
}

TEST(ProfileText, RemovingKeysAndSections) {
    constexpr std::string_view kText = "[a]\nx=1\ny=2\n;c\n[b]\nz=3\n[A]\nx=4\n";
    EXPECT_EQ(ProfileWithoutKey(kText, "a", "X"), "[a]\r\ny=2\r\n;c\r\n[b]\r\nz=3\r\n[A]\r\nx=4\r\n");
    EXPECT_EQ(ProfileWithoutKey(kText, "a", "q"), ProfileNormalizeLineEnds(kText));
    EXPECT_EQ(ProfileWithoutKey(kText, "q", "x"), ProfileNormalizeLineEnds(kText));
    EXPECT_EQ(ProfileWithoutSection(kText, "A"), "[b]\r\nz=3\r\n[A]\r\nx=4\r\n");
    EXPECT_EQ(ProfileWithoutSection(kText, "b"), "[a]\r\nx=1\r\ny=2\r\n;c\r\n[A]\r\nx=4\r\n");
    EXPECT_EQ(ProfileWithoutSection(kText, "q"), ProfileNormalizeLineEnds(kText));
}

TEST(ProfileText, WritableNames) {
    EXPECT_TRUE(ProfileSectionNameWritable("Connection Settings"));
    EXPECT_FALSE(ProfileSectionNameWritable("a]b"));
    EXPECT_FALSE(ProfileSectionNameWritable("a\nb"));
    EXPECT_TRUE(ProfileKeyNameWritable("TCP UDP Port"));
    for (std::string_view bad : {"", "  ", "a=b", "[k", " ;k", "a\rb"})
        EXPECT_FALSE(ProfileKeyNameWritable(bad)) << bad;
    EXPECT_TRUE(ProfileValueWritable("a=b;\"c\"$20"));
    EXPECT_FALSE(ProfileValueWritable("a\r\nb"));
}

// Whatever the file held before, a written value reads back as written (for values the reader
// does not trim or unquote), and every other key keeps its value.
TEST(ProfileText, WrittenValuesReadBackAndOthersKeepTheirs) {
    std::mt19937 random(8);
    const std::string alphabet("ab[]=; \t\"'\r\n\0\xff", 14);
    auto randomText = [&](std::size_t maxSize) {
        std::string text(random() % maxSize, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        return text;
    };
    const char* keys[] = {"a", "b", "ab"};
    const char* sections[] = {"a", "b", ""};
    for (int round = 0; round < 3000; ++round) {
        const std::string before = randomText(60);
        const std::string section = sections[random() % 3];
        const std::string key = keys[random() % 3];
        std::string value = "v" + std::to_string(round) + "=;x";
        const std::string after = ProfileWithValue(before, section, key, value);
        ASSERT_EQ(ProfileFind(after, section, key), std::optional<std::string_view>(value))
            << testing::PrintToString(before);
        for (const char* otherSection : sections)
            for (const char* otherKey : keys) {
                const bool written = otherKey == key && otherSection == section;
                if (written || !ProfileFind(before, otherSection, otherKey)) continue;
                EXPECT_EQ(ProfileFind(after, otherSection, otherKey),
                          ProfileFind(before, otherSection, otherKey))
                    << testing::PrintToString(before) << " " << otherSection << "/" << otherKey;
            }
        // Writing the same again changes nothing.
        EXPECT_EQ(ProfileWithValue(after, section, key, value), after);
    }
}

TEST(ProfileText, LongLinesAndManyLines) {
    std::string text = "[s]\r\nlong=" + std::string(1 << 20, 'x') + "\r\nk=v\r\n";
    EXPECT_EQ(ProfileFind(text, "s", "long")->size(), std::size_t{1} << 20);
    EXPECT_EQ(ProfileFind(text, "s", "k"), "v");
    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "[s" + std::to_string(i) + "]\n";
    EXPECT_EQ(ProfileSectionNames(many).size(), 20000u);
}

}  // namespace
}  // namespace platform
