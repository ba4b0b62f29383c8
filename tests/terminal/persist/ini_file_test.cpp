// The profile helpers: the multi-line encoding byte for byte, the presence test, values that
// would not survive the readers, Base64.
#include "terminal/persist/ini_file.h"

#include <gtest/gtest.h>

#include <random>

#include "temp_folder.h"
#include "terminal/persist/base64.h"

namespace ostrel {
namespace {

using testing::TempFolder;
constexpr std::string_view kSection = "Connection Settings";

struct MultiLineCase {
    const char* name;
    std::string text;
    std::string stored;  // the file after writing, without the section line
    std::string readBack;
};

TEST(IniMultiLine, WrittenBytesAndWhatReadsBack) {
    const MultiLineCase cases[] = {
        {"a line with a space, then an empty line", "a b\r\n\r\n",
         "Comment1=a$20b\r\nComment2=$Empty\r\nCommentCount=3\r\n", "a b\r\n\r\n"},
        {"one line without CR LF", "single", "Comment1=single\r\nCommentCount=1\r\n", "single"},
        {"empty text", "", "CommentCount=1\r\n", ""},
        {"leading spaces kept, trailing spaces of the last line dropped", "  lead\r\ntrail  ",
         "Comment1=$20$20lead\r\nComment2=trail\r\nCommentCount=2\r\n", "  lead\r\ntrail"},
        {"=, ; and quotes inside stay as they are", "x=1;y\"z\"",
         "Comment1=x=1;y\"z\"\r\nCommentCount=1\r\n", "x=1;y\"z\""},
        {"a line in quotes keeps them", "\"quoted\"\r\n'q'",
         "Comment1=\"\"quoted\"\"\r\nComment2=\"'q'\"\r\nCommentCount=2\r\n", "\"quoted\"\r\n'q'"},
        {"a literal $Empty reads as an empty line", "$Empty\r\nx",
         "Comment1=$Empty\r\nComment2=x\r\nCommentCount=2\r\n", "\r\nx"},
        {"typed $20 reads as a space", "has $20 typed", "Comment1=has$20$20$20typed\r\nCommentCount=1\r\n",
         "has   typed"},
        {"other $ sequences stay", "$0D$0A$$", "Comment1=$0D$0A$$\r\nCommentCount=1\r\n", "$0D$0A$$"},
        {"tabs at the ends survive", "\tx\t", "Comment1=\"\tx\t\"\r\nCommentCount=1\r\n", "\tx\t"},
        {"a lone LF or CR ends a line", "a\nb\rc", "Comment1=a\r\nComment2=b\r\nComment3=c\r\nCommentCount=3\r\n",
         "a\r\nb\r\nc"},
    };
    for (const MultiLineCase& c : cases) {
        TempFolder folder;
        const std::string file = folder.File("m.ini");
        ASSERT_TRUE(IniWriteMultiLine(file, kSection, "Comment", "CommentCount", c.text)) << c.name;
        EXPECT_EQ(folder.Read("m.ini"), "[Connection Settings]\r\n" + c.stored) << c.name;
        const MultiLineText read = IniReadMultiLine(file, kSection, "Comment", "CommentCount", 9999);
        EXPECT_TRUE(read.found) << c.name;
        EXPECT_EQ(read.text, c.readBack) << c.name;
    }
}

TEST(IniMultiLine, ReadingCountsAndMissingLines) {
    struct Case {
        const char* name;
        std::string file;
        std::string text;
        bool found;
    };
    const Case cases[] = {
        {"no count", "[s]\r\nL1=x\r\n", "", false},
        {"count 0", "[s]\r\nN=0\r\nL1=x\r\n", "", false},
        {"negative count", "[s]\r\nN=-2\r\nL1=x\r\n", "", false},
        {"gaps are skipped, the last line has no CR LF", "[s]\r\nN=4\r\nL1=a\r\nL2=b\r\nL4=d\r\n",
         "a\r\nb\r\nd", true},
        {"a missing last line leaves the CR LF before it", "[s]\r\nN=3\r\nL1=a\r\nL2=b\r\n",
         "a\r\nb\r\n", true},
        {"lines beyond the count are not read", "[s]\r\nN=1\r\nL1=a\r\nL2=b\r\n", "a", true},
        {"a huge count costs nothing", "[s]\r\nN=2147483647\r\nL1=a\r\n", "a\r\n", true},
        {"lines written in another case are not found", "[s]\r\nN=2\r\nl1=a\r\nL2=b\r\n", "b", true},
        {"a key that begins with the name counts (L12 for L1), reading gives the default",
         "[s]\r\nN=2\r\nL12=z\r\n", "\r\n", true},
        {"only the first section of the name", "[s]\r\nN=2\r\nL1=a\r\n[t]\r\n[s]\r\nL2=b\r\n",
         "a\r\n", true},
        {"LF endings and a byte-order mark", "\xEF\xBB\xBF[s]\nN=2\nL1=a\nL2=b\n", "a\r\nb", true},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.Put("m.ini", c.file);
        const MultiLineText read = IniReadMultiLine(folder.File("m.ini"), "s", "L", "N", 9999);
        EXPECT_EQ(read.text, c.text) << c.name;
        EXPECT_EQ(read.found, c.found) << c.name;
    }
}

TEST(IniMultiLine, TextsReadBackAfterWriting) {
    // Any text of printable bytes, spaces and CR LF comes back, except what the encoding drops
    // by design: trailing spaces of the last line and literal "$20"/"$Empty".
    std::mt19937 random(4);
    const std::string alphabet = "ab $=;\"'\t\r\n";
    TempFolder folder;
    const std::string file = folder.File("p.ini");
    for (int round = 0; round < 60; ++round) {
        std::string text;
        const std::size_t size = random() % 40;
        for (std::size_t i = 0; i < size; ++i) {
            const char c = alphabet[random() % alphabet.size()];
            if (c == '\r' || c == '\n') {
                text += "\r\n";
            } else {
                text += c;
            }
        }
        std::string expected = text;
        const std::size_t lastBreak = expected.rfind("\r\n");
        const std::size_t lastStart = lastBreak == std::string::npos ? 0 : lastBreak + 2;
        while (expected.size() > lastStart && expected.back() == ' ')
            expected.pop_back();
        std::filesystem::remove(file);
        ASSERT_TRUE(IniWriteMultiLine(file, "Polling", "PollStrings", "PollStringsCount", text));
        const MultiLineText read =
            IniReadMultiLine(file, "Polling", "PollStrings", "PollStringsCount", 9999);
        if (text.find("$20") != std::string::npos || text.find("$Empty") != std::string::npos)
            continue;
        EXPECT_EQ(read.text, expected) << ::testing::PrintToString(text);
    }
}

TEST(IniMultiLine, TextIsCutToItsCapacity) {
    TempFolder folder;
    const std::string file = folder.File("big.ini");
    std::string text;
    for (int i = 0; i < 120; ++i)
        text += std::string(100, static_cast<char>('A' + i % 26)) + "\r\n";
    ASSERT_TRUE(IniWriteMultiLine(file, "s", "L", "N", text));
    const MultiLineText read = IniReadMultiLine(file, "s", "L", "N", 9999);
    EXPECT_EQ(read.text, text.substr(0, 9999));
    // A single stored line longer than the 511 bytes of a plain read is read whole.
    const std::string longLine(3000, 'x');
    ASSERT_TRUE(IniWriteMultiLine(file, "s", "L", "N", longLine));
    EXPECT_EQ(IniReadMultiLine(file, "s", "L", "N", 9999).text, longLine);
    EXPECT_EQ(IniRead(file, "s", "L1", "").size(), 511u);
}

TEST(IniValues, KeyExistsReadsTheFileItself) {
    TempFolder folder;
    folder.Put("k.ini",
               "[Other]\r\nHTTP Request=x\r\n  [ connection settings ]  \r\n"
               "[CONNECTION SETTINGS]\r\n  HTTP Request = GET\r\nPollDataX=1\r\nnoequals\r\n"
               "[Polling]\r\nCommentCount=1\r\n");
    const std::string file = folder.File("k.ini");
    EXPECT_TRUE(IniKeyExists(file, kSection, "HTTP Request"));
    EXPECT_TRUE(IniKeyExists(file, kSection, "PollData"));  // begins with the name
    EXPECT_FALSE(IniKeyExists(file, kSection, "http request"));
    EXPECT_FALSE(IniKeyExists(file, kSection, "noequals"));
    EXPECT_FALSE(IniKeyExists(file, kSection, "CommentCount"));  // in the next section
    EXPECT_FALSE(IniKeyExists("", kSection, "HTTP Request"));
    EXPECT_FALSE(IniKeyExists(folder.File("missing.ini"), kSection, "HTTP Request"));
}

TEST(IniValues, ReadWriteAndWhatCannotBeWritten) {
    TempFolder folder;
    const std::string file = folder.File("v.ini");
    EXPECT_EQ(IniRead(file, "s", "k", "dflt"), "dflt");
    ASSERT_TRUE(IniWrite(file, "s", "k", "  spaced  "));
    ASSERT_TRUE(IniWrite(file, "s", "q", "\"x\""));
    ASSERT_TRUE(IniWrite(file, "s", "plain", "a=b; c"));
    EXPECT_EQ(folder.Read("v.ini"), "[s]\r\nk=\"  spaced  \"\r\nq=\"\"x\"\"\r\nplain=a=b; c\r\n");
    EXPECT_EQ(IniRead(file, "s", "k", ""), "  spaced  ");
    EXPECT_EQ(IniRead(file, "s", "q", ""), "\"x\"");
    EXPECT_EQ(IniRead(file, "s", "plain", "", 3), "a=b");
    EXPECT_FALSE(IniWrite(file, "s", "k", "two\r\nlines"));
    EXPECT_EQ(IniRead(file, "s", "k", ""), "  spaced  ");
    EXPECT_EQ(ExpandLineBreaks("GET / HTTP/1.0$0D$0AHost: x$0D$0A$0D$0A$0d$0a"),
              "GET / HTTP/1.0\r\nHost: x\r\n\r\n$0d$0a");
}

TEST(Base64, PublishedVectorsAndOddInput) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},          {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [bytes, text] : vectors) {
        EXPECT_EQ(Base64Encode(bytes), text);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
    EXPECT_EQ(Base64Decode("Zm9vYg"), "foob");              // padding left out
    EXPECT_EQ(Base64Decode(" Zm9v\r\nYmFy "), "foobar");    // blanks and line breaks skipped
    for (std::string_view bad : {"Zm9v!", "Z", "Zm=9v", "Zm9vY", "Zm9v\x80"})
        EXPECT_EQ(Base64Decode(bad), std::nullopt) << bad;
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += static_cast<char>(b);
    for (std::size_t n = 0; n <= every.size(); n += 17)
        EXPECT_EQ(Base64Decode(Base64Encode(every.substr(0, n))), every.substr(0, n));
}

}  // namespace
}  // namespace ostrel
