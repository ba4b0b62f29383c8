#include "terminal/core/command_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <streambuf>

#include "terminal/core/user_folder.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
    return {lines.begin(), lines.end()};
}

TEST(CommandList, RecordingKeepsTheLastFiftyDifferentLines) {
    CommandList list;
    list.Record("A1");
    list.Record("B2");
    list.Record("A1");
    list.Record("A1");
    EXPECT_EQ(list.Entries(), Lines({"A1", "B2"}));
    list.Record("a1");  // case-sensitive
    list.Record("x");   // too short
    list.Record("");
    EXPECT_EQ(list.Entries(), Lines({"a1", "A1", "B2"}));

    for (int i = 0; i < 60; ++i)
        list.Record("line " + std::to_string(i));
    ASSERT_EQ(list.Count(), kCommandListCapacity);
    EXPECT_EQ(list.Entries().front(), "line 59");
    EXPECT_EQ(list.Entries().back(), "line 10");
    list.Record("line 30");  // from the middle to the top, the rest keeps its order
    EXPECT_EQ(list.Entries()[0], "line 30");
    EXPECT_EQ(list.Entries()[1], "line 59");
    EXPECT_EQ(list.Entries()[29], "line 31");
    EXPECT_EQ(list.Entries()[30], "line 29");
    EXPECT_EQ(list.Count(), kCommandListCapacity);
}

TEST(CommandList, Browsing) {
    CommandList list;
    EXPECT_EQ(list.BrowseOlder(), "");  // empty list: stays at the empty box
    EXPECT_EQ(list.BrowsePosition(), 0u);
    list.Record("first");
    EXPECT_EQ(list.BrowseOlder(), "first");
    EXPECT_EQ(list.BrowseOlder(), "first");  // no older entry
    EXPECT_EQ(list.BrowseNewer(), "");
    EXPECT_EQ(list.BrowseNewer(), "");

    list.Record("second");
    EXPECT_EQ(list.BrowseOlder(), "second");
    EXPECT_EQ(list.BrowseOlder(), "first");
    EXPECT_EQ(list.BrowseNewer(), "second");
    list.Record("third");  // recording resets browsing
    EXPECT_EQ(list.BrowsePosition(), 0u);
    EXPECT_EQ(list.BrowseOlder(), "third");
}

TEST(CommandList, LoadReadsTheFileFormat) {
    struct Case {
        std::string file;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\nA1\r\nB2\r\n\r\n\r\n", {"A1", "B2"}},  // leading and trailing empty lines
        {"A1\nB2", {"A1", "B2"}},                    // LF endings, no final line end
        {"x\r\nab\r\n \r\n  \r\n", {"ab", "  "}},    // under 2 characters skipped; blanks count
        {"a\rb\r\n", {"a\rb"}},                      // a lone CR is part of the line
        {"ab\r\r\n", {"ab\r"}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
        {std::string(255, 'x') + "\r\nnext\r\n", {std::string(255, 'x'), "next"}},
        {std::string(256, 'y') + "\r\nnext\r\n", {std::string(255, 'y'), "next"}},
        {std::string(300, 'z') + "\nnext", {std::string(255, 'z'), "next"}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.file);
        CommandList list;
        list.Record("old");
        list.BrowseOlder();
        list.Load(in);
        EXPECT_EQ(list.Entries(), c.entries) << c.file.substr(0, 40);
        EXPECT_EQ(list.BrowsePosition(), 0u);
    }
}

TEST(CommandList, LoadStopsAtFiftyEntries) {
    std::string file;
    for (int i = 0; i < 70; ++i)
        file += "cmd" + std::to_string(i) + "\r\n";
    std::istringstream in(file);
    CommandList list;
    list.Load(in);
    ASSERT_EQ(list.Count(), 50u);
    EXPECT_EQ(list.Entries().front(), "cmd0");
    EXPECT_EQ(list.Entries().back(), "cmd49");
}

// An endless supply of 100 kB lines, counting what was read, so a file of 10000 such lines
// can be tried without writing a gigabyte.
class LongLines final : public std::streambuf {
public:
    explicit LongLines(std::size_t lineLength) : line_(lineLength, 'L') { line_ += "\r\n"; }
    std::size_t linesServed = 0;

protected:
    int_type underflow() override {
        if (linesServed == 10000) return traits_type::eof();
        ++linesServed;
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(line_[0]);
    }

private:
    std::string line_;
};

TEST(CommandList, HugeLinesAreCutAndReadingStopsWhenFull) {
    LongLines source(100 * 1024);
    std::istream in(&source);
    CommandList list;
    list.Load(in);
    ASSERT_EQ(list.Count(), 50u);
    for (const auto& entry : list.Entries())
        EXPECT_EQ(entry, std::string(255, 'L'));
    EXPECT_LE(source.linesServed, 51u);
}

TEST(CommandList, BinaryGarbageLoadsWithinBounds) {
    std::mt19937 random(99);
    for (int round = 0; round < 50; ++round) {
        std::string file(random() % 20000, '\0');
        for (char& c : file)
            c = static_cast<char>(random() % 256);
        std::istringstream in(file);
        CommandList list;
        list.Load(in);
        EXPECT_LE(list.Count(), kCommandListCapacity);
        for (const auto& entry : list.Entries()) {
            EXPECT_GE(entry.size(), kMinCommandLength);
            EXPECT_LE(entry.size(), kMaxCommandFileLine);
            EXPECT_EQ(entry.find('\n'), std::string::npos);
        }
    }
}

class CommandFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() /
                ("ostrel-core-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home_);
        setenv("OSTREL_HOME", (home_ / "user").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("OSTREL_HOME");
        fs::remove_all(home_);
    }
    fs::path home_;
};

TEST_F(CommandFileTest, SaveAndLoadRoundTripThroughTheUserFolder) {
    CommandList list;
    EXPECT_FALSE(LoadCommandList(list));  // no file anywhere: empty list
    EXPECT_EQ(list.Count(), 0u);

    for (const char* line : {"third", "$02PWR$03", "||raw  ", "first"})
        list.Record(line);
    std::string error;
    ASSERT_TRUE(SaveCommandList(list, &error)) << error;  // creates the folder
    const fs::path file = home_ / "user" / "cmnds.txt";
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "first\r\n||raw  \r\n$02PWR$03\r\nthird\r\n");
    EXPECT_FALSE(fs::exists(home_ / "user" / "cmnds.txt.tmp"));

    CommandList loaded;
    EXPECT_TRUE(LoadCommandList(loaded));
    EXPECT_EQ(loaded.Entries(), list.Entries());
}

TEST_F(CommandFileTest, SaveFailureIsReported) {
    fs::create_directories(home_);
    std::ofstream(home_ / "user") << "a file where the folder should be";
    CommandList list;
    list.Record("abc");
    std::string error;
    EXPECT_FALSE(SaveCommandList(list, &error));
    EXPECT_NE(error.find("cmnds.txt"), std::string::npos);
}

TEST(UserFolder, EnvironmentOrder) {
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    unsetenv("OSTREL_HOME");

    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(UserFolder(), fs::path("/xdg/ostrel"));
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules ask
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(UserFolder(), fs::path("/home/someone/.config/ostrel"));
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(UserFolder(), fs::path("/home/someone/.config/ostrel"));
    setenv("OSTREL_HOME", "/own", 1);
    EXPECT_EQ(UserFolder(), fs::path("/own"));
    setenv("OSTREL_HOME", "", 1);
    EXPECT_EQ(UserFolder(), fs::path("/home/someone/.config/ostrel"));

    unsetenv("OSTREL_HOME");
    unsetenv("XDG_CONFIG_HOME");
    if (savedHome) setenv("HOME", home.c_str(), 1);
    EXPECT_FALSE(ExecutableFolder().empty());
    EXPECT_TRUE(fs::exists(ExecutableFolder()));
}

}  // namespace
}  // namespace ostrel
