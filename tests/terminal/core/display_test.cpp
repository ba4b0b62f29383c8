#include "terminal/core/display.h"

#include <gtest/gtest.h>

#include <utility>

#include "fakes.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/incoming_render.h"
#include "terminal/core/memory_pane.h"

namespace ostrel {
namespace {

using testing::Bytes;
using PaneRun = MemoryPane::Run;

constexpr std::string_view kStamp = "03-07-2024 09:05:02>>";
const std::string kNotice(kNonPrintableNotice);

class DisplayTest : public ::testing::Test {
protected:
    DisplayTest() : display(pane, colours, clock) {}

    Colour C(ColourSlot slot) const { return colours[slot]; }
    void Incoming(std::string_view bytes) { display.ShowText(bytes, DisplayCategory::Incoming); }
    void Status(std::string_view text) { display.ShowText(text, DisplayCategory::Status); }

    MemoryPane pane;
    ColourTable colours = DefaultColourTable();
    testing::FixedClock clock;
    testing::RecordingLog log;
    Display display;
};

TEST_F(DisplayTest, LinesAndBreaksByCategory) {
    Status("One");
    Status("Two");
    EXPECT_EQ(pane.Text(), "\r\nOne\r\nTwo");

    Incoming("data");
    Status("S");  // a category change and the status line's own CR LF leave one empty line
    EXPECT_EQ(pane.Text(), "\r\nOne\r\nTwo\r\ndata\r\n\r\nS");
    EXPECT_EQ(pane.Runs(), (std::vector<PaneRun>{{0, C(ColourSlot::Status)},
                                                 {10, 0},
                                                 {12, C(ColourSlot::Incoming)},
                                                 {16, 0},
                                                 {18, C(ColourSlot::Status)}}));
}

TEST_F(DisplayTest, StatusLinesAreTheProgramsUtf8InThePanesCharacterSet) {
    Status("Opening session: /home/j\xC3\xB6rg/\xE2\x82\xAC.ini");
    display.ShowText("caf\xC3\xA9", DisplayCategory::Echo);  // 8-bit already: as it stands
    display.ShowText("\xC3\xA9", DisplayCategory::Informational);
    EXPECT_EQ(pane.Text(),
              "\r\nOpening session: /home/j\xF6rg/\x80.ini\r\n\r\ncaf\xC3\xA9\r\n\r\n\xC3\xA9");
}

TEST_F(DisplayTest, ALogProblemIsShownOnceAfterTheEntry) {
    class FailingLog final : public LogSink {
    public:
        void LogAppend(std::string_view) override {
            if (!said) report = "The log file cannot be written";
            said = true;
        }
        std::string TakeReport() override { return std::exchange(report, {}); }
        bool said = false;
        std::string report;
    } failing;
    display.SetLogSink(&failing);
    Incoming("a\r\n");
    Incoming("b\r\n");
    EXPECT_EQ(pane.Text(), "\r\na\r\n\r\n\r\nThe log file cannot be written\r\nb\r\n");
}

TEST_F(DisplayTest, EachCategoryInItsColour) {
    colours[ColourSlot::LocalEcho] = Rgb(1, 2, 3);  // edits apply to the next call
    display.ShowText("e", DisplayCategory::Echo);
    display.ShowText("i", DisplayCategory::Informational);
    display.ShowText("x", static_cast<DisplayCategory>(3));  // unknown: only the break
    display.ShowText("y", static_cast<DisplayCategory>(3));
    EXPECT_EQ(pane.Text(), "\r\n\r\ne\r\n\r\ni\r\n");
    EXPECT_EQ(pane.ColourAt(4), Rgb(1, 2, 3));
    EXPECT_EQ(pane.ColourAt(9), C(ColourSlot::Informational));
    EXPECT_EQ(display.PreviousCategory(), static_cast<DisplayCategory>(3));

    colours[ColourSlot::Background] = Rgb(9, 9, 9);
    display.ApplyBackground();
    EXPECT_EQ(pane.Background(), Rgb(9, 9, 9));
}

TEST_F(DisplayTest, TextViewKeepsPrintableTabCrLfAndAnnouncesTheRest) {
    Incoming(Bytes({'A', 0, 'B'}));
    EXPECT_EQ(pane.Text(), "\r\nAB\r\n" + kNotice);
    EXPECT_EQ(pane.ColourAt(2), C(ColourSlot::Incoming));
    EXPECT_EQ(pane.ColourAt(6), C(ColourSlot::Status));

    pane.Clear();
    Incoming("x");
    Incoming(Bytes({'1', 127, '\r', '\n', 200, '\t', '2'}));
    Incoming("y");  // continues after the notice's own line end
    EXPECT_EQ(pane.Text(), "x1\r\n\t2\r\n\r\n" + kNotice + "y");
    EXPECT_EQ(display.PreviousCategory(), DisplayCategory::Incoming);
}

TEST_F(DisplayTest, TextViewEveryByteValue) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string kept;
    EXPECT_TRUE(RenderIncomingText(all, kept));
    std::string expected = "\t\n\r";
    for (int b = 32; b <= 126; ++b)
        expected += static_cast<char>(b);
    EXPECT_EQ(kept, expected);
    EXPECT_FALSE(RenderIncomingText(expected, kept));
    EXPECT_EQ(kept, expected);
}

TEST_F(DisplayTest, HexRows) {
    display.SetDisplayType(DisplayType::Hex);
    Incoming("Hello, w");
    EXPECT_EQ(pane.Text(), "\r\n\r\n$48 $65 $6C $6C $6F $2C $20 $77   >>Hello, w\r\n");

    pane.Clear();
    Incoming(Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(pane.Text(), "\r\n$01 $02 $03 $04 $05 $06 $07 $08   >>        \r\n");

    pane.Clear();
    Incoming("ABCDEFGH\xff");
    EXPECT_EQ(pane.Text(),
              "\r\n$41 $42 $43 $44 $45 $46 $47 $48   >>ABCDEFGH\r\n"
              "$FF" +
                  std::string(31, ' ') + ">> \r\n");

    pane.Clear();
    Incoming("");  // an empty chunk is one line break in hex view
    EXPECT_EQ(pane.Text(), "\r\n");
    EXPECT_EQ(pane.Runs(), (std::vector<PaneRun>{{0, C(ColourSlot::Incoming)}}));
}

// Every row, complete or not, has its ">>" at the same column, and the rows hold the bytes.
TEST_F(DisplayTest, HexRowsLineUpForEveryLengthAndByte) {
    std::string data;
    for (int b = 0; b < 256; ++b)
        data += static_cast<char>(255 - b);
    std::string out;
    for (std::size_t n = 0; n <= 256; ++n) {
        const std::string_view chunk = std::string_view(data).substr(0, n);
        RenderIncomingHex(chunk, out);
        ASSERT_TRUE(out.starts_with("\r\n"));
        std::size_t pos = 2, byte = 0;
        while (pos < out.size()) {
            const std::size_t end = out.find("\r\n", pos);
            ASSERT_NE(end, std::string::npos);
            const std::string row = out.substr(pos, end - pos);
            const std::size_t count = std::min<std::size_t>(8, n - byte);
            ASSERT_EQ(row.size(), kHexRowPrefixLength + count) << n;
            EXPECT_EQ(row.substr(kHexRowPrefixLength - 3, 3), " >>");
            EXPECT_EQ(row.substr(0, 4 * count - 1), EncodeDollarHex(chunk.substr(byte, count)));
            for (std::size_t i = 0; i < count; ++i) {
                const auto b = static_cast<unsigned char>(chunk[byte + i]);
                EXPECT_EQ(row[kHexRowPrefixLength + i], b >= 32 && b <= 126 ? char(b) : ' ');
            }
            byte += count;
            pos = end + 2;
        }
        EXPECT_EQ(byte, n);
    }
}

TEST_F(DisplayTest, MixedAndUnknownDisplayTypesShowNoIncomingData) {
    display.SetLogSink(&log);
    for (auto type : {DisplayType::Mixed, static_cast<DisplayType>(7)}) {
        display.SetDisplayType(type);
        Incoming(Bytes({'A', 0}));
    }
    EXPECT_EQ(pane.Text(), "\r\n");  // only the category change
    EXPECT_EQ(log.entries, (std::vector<std::string>{"", ""}));
}

TEST_F(DisplayTest, EmptyIncomingInTextViewAppendsNothing) {
    Incoming("a");
    Incoming("");
    EXPECT_EQ(pane.Text(), "\r\na");
}

TEST_F(DisplayTest, LogTextIsStampedPerLine) {
    Incoming("not logged");
    display.SetLogSink(&log);
    Incoming("ab\r\ncd\r\n");
    Status("a status line logs an empty text");
    Incoming(Bytes({'x', '\r', 0, '\n', 'y', '\r'}));  // the dropped byte joins CR and LF
    display.SetDisplayType(DisplayType::Hex);
    Incoming("Hello, world");
    Incoming("");
    display.SetLogSink(nullptr);
    Incoming("off again");

    const std::string s(kStamp);
    EXPECT_EQ(log.entries, (std::vector<std::string>{
                               "\r\n" + s + "ab\r\n" + s + "cd\r\n" + s,
                               "",
                               "",  // the notice, shown from inside the next chunk
                               "\r\n" + s + "x\r\n" + s + "y\r",
                               "\r\n" + s + "$48 $65 $6C $6C $6F $2C $20 $77   >>Hello, w" +
                                   "\r\n" + s + "$6F $72 $6C $64" + std::string(19, ' ') + ">>orld",
                               "",
                           }));
}

TEST_F(DisplayTest, SizeRuleCutsToTheTailAndPlacesTheCaret) {
    const std::string block(100000, 'a');
    for (int i = 0; i < 8; ++i)
        Incoming(block);              // 800002 characters
    Status(std::string(49994, 's'));  // exactly 850000: not more, so no cut
    EXPECT_EQ(pane.Length(), kPaneLimit);
    EXPECT_EQ(pane.Caret(), kPaneLimit);

    Incoming("xyz");  // 850005 characters, cut to the last 550000
    ASSERT_EQ(pane.Length(), kPaneKeep);
    EXPECT_EQ(pane.Caret(), kCaretAfterCut);
    EXPECT_TRUE(pane.Text().ends_with(std::string(49994, 's') + "\r\nxyz"));
    EXPECT_EQ(pane.ColourAt(0), C(ColourSlot::Incoming));
    EXPECT_EQ(pane.ColourAt(kPaneKeep - 1), C(ColourSlot::Incoming));
    EXPECT_EQ(pane.ColourAt(kPaneKeep - 6), C(ColourSlot::Status));

    // A single chunk far beyond the limit.
    display.SetDisplayType(DisplayType::Hex);
    Incoming(std::string(1 << 20, 'z'));
    EXPECT_EQ(pane.Length(), kPaneKeep);
    EXPECT_TRUE(pane.Text().ends_with("$7A $7A $7A $7A $7A $7A $7A $7A   >>zzzzzzzz\r\n"));
}

TEST_F(DisplayTest, EveryCallIsOneFreezeAroundAllItsChanges) {
    display.SetLogSink(&log);
    Status("s");
    Incoming(Bytes({'a', 1}));  // shows the notice from inside
    display.SetDisplayType(DisplayType::Hex);
    Incoming(std::string(900000, 'q'));  // also triggers the size rule
    display.ShowText("e", DisplayCategory::Echo);
    EXPECT_EQ(pane.FreezeCount(), 4u);
    EXPECT_EQ(pane.ChangesWhileUnfrozen(), 0u);
    EXPECT_FALSE(pane.Frozen());
}

}  // namespace
}  // namespace ostrel
