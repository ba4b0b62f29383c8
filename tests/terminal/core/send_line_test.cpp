#include "terminal/core/send_line.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "terminal/core/formatters.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

class SendLineTest : public ::testing::Test {
protected:
    SendLineTest() {
        session.type = SessionType::TcpClient;
        session.state = ConnectionState::Connected;
    }
    TransmitOutcome Send(std::string_view typed) {
        input.text = typed;
        return SendLine(options, context);
    }
    std::vector<Shown> Echoes() const {
        std::vector<Shown> echoes;
        for (const Shown& s : output.shown)
            if (s.category == DisplayCategory::Echo) echoes.push_back(s);
        return echoes;
    }

    FakeInputBox input;
    CommandList commands;
    RecordingSession session;
    RecordingOutput output;
    RecordingClipboard clipboard;
    SendOptions options;
    SendContext context{input, commands, session, output, clipboard};
};

TEST_F(SendLineTest, TypedLinesBecomeExactBytes) {
    struct Case {
        std::string typed;
        LineTerminator terminator;
        std::string sent;
    };
    const Case cases[] = {
        {"Hello$0D$0A", LineTerminator::None, "Hello\r\n"},
        {"Hello$0D$0A", LineTerminator::CrLf, "Hello\r\n\r\n"},
        {"Price $$5", LineTerminator::None, "Price $5"},
        {"||Price $24", LineTerminator::Cr, "Price $24\r"},
        {"| |$41", LineTerminator::None, "| |A"},
        {" ||$41", LineTerminator::None, "$41"},  // trimming comes first
        {"   ABC   ", LineTerminator::Lf, "ABC\n"},
        {"\tABC ", LineTerminator::None, "\tABC"},  // only blanks are trimmed
        {"$20ABC$20", LineTerminator::None, " ABC "},
        {"AB$4", LineTerminator::None, "AB"},
        {"AB$", LineTerminator::None, "AB"},
        {"$zz", LineTerminator::None, Bytes({0})},
        {"$7f", LineTerminator::None, Bytes({127})},
        {"", LineTerminator::CrLf, "\r\n"},
        {"||", LineTerminator::None, ""},
    };
    for (const Case& c : cases) {
        session.writes.clear();
        options.terminator = c.terminator;
        Send(c.typed);
        EXPECT_EQ(session.writes, std::vector<std::string>{c.sent}) << c.typed;
    }
}

TEST_F(SendLineTest, EveryByteValueTypedPlainOrRaw) {
    for (int b = 0; b < 256; ++b) {
        session.writes.clear();
        Send(Bytes({'x', b, 'y'}));
        Send("||" + Bytes({b}));
        const std::string plain = b == '$' ? "x" : Bytes({'x', b, 'y'});  // "$y" is cut short
        const std::string raw = b == ' ' ? "" : Bytes({b});               // a lone blank is trimmed
        EXPECT_EQ(session.writes, (std::vector<std::string>{plain, raw})) << b;
    }
}

TEST_F(SendLineTest, TheSelectionIsCutOut) {
    struct Case {
        std::string typed;
        std::size_t start, end;
        std::string sent;
    };
    const Case cases[] = {
        {"ABCDEF", 1, 3, "ADEF"},
        {"ABCDEF", 3, 1, "ADEF"},        // a backwards selection is the same selection
        {"  ABCDEF  ", 3, 5, "ADEF"},    // offsets count the trimmed leading blanks
        {"  ABCDEF  ", 0, 2, "ABCDEF"},  // only blanks selected
        {"ABCDEF", 4, 400, "ABCD"},      // clamped to the text
        {"ABCDEF", 2, 2, "ABCDEF"},      // a caret cuts nothing
        {"ABCDEF", 0, 6, ""},
    };
    for (const Case& c : cases) {
        session.writes.clear();
        input.text = c.typed;
        input.selectionStart = c.start;
        input.selectionEnd = c.end;
        SendLine(options, context);
        EXPECT_EQ(session.writes, std::vector<std::string>{c.sent}) << c.typed;
    }
}

TEST_F(SendLineTest, EchoAndClipboardByMode) {
    struct Case {
        ConversionMode mode;
        bool echo, polling;
        std::string typed;
        LineTerminator terminator;
        std::optional<std::string> echoText;
        std::optional<std::string> clipboardText;
    };
    const auto None = ConversionMode::NoConversion;
    const auto CR = LineTerminator::Cr;
    const Case cases[] = {
        {None, true, false, "ABC", CR, "ABC$0D", std::nullopt},
        {None, true, true, "ABC", LineTerminator::CrLf, "ABC$0D$0A", std::nullopt},
        {None, true, false, "||A$41", LineTerminator::Lf, "A$41$0A", std::nullopt},
        {None, true, false, "$41", LineTerminator::None, "$41", std::nullopt},  // as typed
        {None, false, true, "ABC", CR, std::nullopt, std::nullopt},
        {ConversionMode::Amx, true, false, "ABC", CR, R"(" 'ABC', $0D ")", std::nullopt},
        {ConversionMode::Amx, true, true, "$02PWR$03", LineTerminator::None,
         R"(" $02, 'PWR', $03 ")", R"(" $02, 'PWR', $03 ")"},
        {ConversionMode::Crestron, false, true, "Vol 50%", CR, std::nullopt, R"(Vol\x2050%\r)"},
        {ConversionMode::Extron, true, true, "Vol 50%", CR, "Vol 50%%0D", "Vol 50%%0D"},
        {ConversionMode::Extron, true, true, "", LineTerminator::None, "", std::nullopt},
        {ConversionMode::Amx, false, false, "ABC", CR, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        output.shown.clear();
        clipboard.texts.clear();
        options = {c.terminator, c.mode, c.echo, c.polling};
        Send(c.typed);
        SCOPED_TRACE(c.typed);
        if (c.echoText) {
            EXPECT_EQ(Echoes(), (std::vector<Shown>{{*c.echoText, DisplayCategory::Echo}}));
        } else {
            EXPECT_TRUE(Echoes().empty());
        }
        if (c.clipboardText) {
            EXPECT_EQ(clipboard.texts, std::vector<std::string>{*c.clipboardText});
        } else {
            EXPECT_TRUE(clipboard.texts.empty());
        }
    }
}

TEST_F(SendLineTest, RefusedLinesAreStillEchoedAfterTheStatusLine) {
    options = {LineTerminator::CrLf, ConversionMode::Extron, true, false};
    Send(std::string(1023, 'a'));
    ASSERT_EQ(output.shown.size(), 2u);
    EXPECT_EQ(output.shown[0], (Shown{std::string(kTooLongLine), DisplayCategory::Status}));
    EXPECT_EQ(output.shown[1], (Shown{std::string(1023, 'a') + "%0D%0A", DisplayCategory::Echo}));
    EXPECT_TRUE(session.writes.empty());

    output.shown.clear();
    session.type = SessionType::SshClient;
    session.state = ConnectionState::Disconnected;
    Send("ls");
    EXPECT_EQ(
        output.shown,
        (std::vector<Shown>{{"SSH Client: Cannot send - port not open...", DisplayCategory::Status},
                            {"ls%0D%0A", DisplayCategory::Echo}}));
}

TEST_F(SendLineTest, HistoryAndInputBoxAfterSending) {
    Send("A1");
    Send("B2");
    Send("A1");
    EXPECT_EQ(commands.Entries(), (std::vector<std::string>{"A1", "B2"}));
    Send("x");  // too short to remember, still sent
    Send("");
    EXPECT_EQ(commands.Count(), 2u);
    EXPECT_EQ(session.writes.size(), 5u);

    input.text = "  ABCDEF ";
    input.selectionStart = 2;
    input.selectionEnd = 4;
    commands.BrowseOlder();
    SendLine(options, context);
    EXPECT_EQ(commands.Entries().front(), "CDEF");  // the line as sent, after the cut
    EXPECT_EQ(input.text, "");
    EXPECT_EQ(commands.BrowsePosition(), 0u);
}

TEST_F(SendLineTest, MalformedEscapesKeepTheirBytesAndAreNamed) {
    struct Case {
        std::string typed;
        std::string sent;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"A$ZZB", Bytes({'A', 0, 'B'}), {"`$ZZ` is not a hex escape: sent as $00"}},
        {"$0x$4G",
         Bytes({0, 4}),
         {"`$0x` is not a hex escape: sent as $00", "`$4G` is not a hex escape: sent as $04"}},
        {"AB$", "AB", {"`$` is not a hex escape: nothing was sent for it"}},
        {"AB$4", "AB", {"`$4` is not a hex escape: nothing was sent for it"}},
        {"$$$", "$", {"`$` is not a hex escape: nothing was sent for it"}},
        {"$0d$$$7F", "\r$\x7F", {}},
        {"||$ZZ", "$ZZ", {}},  // a raw line has no escapes
        {"$g1$g2$g3$g4$g5$g6",
         std::string(6, '\0'),
         {"`$g1` is not a hex escape: sent as $00", "`$g2` is not a hex escape: sent as $00",
          "`$g3` is not a hex escape: sent as $00", "`$g4` is not a hex escape: sent as $00",
          "... and 2 more malformed escapes in the same line"}},
    };
    for (const Case& c : cases) {
        session.writes.clear();
        output.shown.clear();
        Send(c.typed);
        EXPECT_EQ(session.writes, std::vector<std::string>{c.sent}) << c.typed;
        std::vector<std::string> lines;
        for (const Shown& shown : output.shown)
            if (shown.category == DisplayCategory::Status) lines.push_back(shown.text);
        EXPECT_EQ(lines, c.lines) << c.typed;
    }
}

TEST_F(SendLineTest, ABoxWithAnUnsendableCharacterSendsNothingAndKeepsItsText) {
    class BoxWithUnsendable final : public InputBox {
    public:
        std::string Text() const override { return "A?"; }
        std::optional<std::string> UnsendableCharacter() const override { return "\xD0\x96"; }
        std::size_t SelectionStart() const override { return 0; }
        std::size_t SelectionEnd() const override { return 0; }
        void SetText(std::string_view) override { ++cleared; }
        int cleared = 0;
    } box;
    SendContext unsendable{box, commands, session, output, clipboard};
    options.localEcho = true;
    EXPECT_EQ(SendLine(options, unsendable), TransmitOutcome::Unsendable);
    EXPECT_TRUE(session.writes.empty());
    EXPECT_EQ(box.cleared, 0);
    EXPECT_EQ(commands.Count(), 0u);
    ASSERT_EQ(output.shown.size(), 1u);
    EXPECT_EQ(output.shown[0].text,
              "The character U+0416 cannot be sent: it is not in the Windows-1252 character set. "
              "Nothing was sent; write the bytes the device expects as $XX...");
}

TEST_F(SendLineTest, ClipboardThatCannotOpenChangesNothing) {
    clipboard.opens = false;
    options = {LineTerminator::None, ConversionMode::Amx, false, true};
    EXPECT_EQ(Send("AB"), TransmitOutcome::Written);
    EXPECT_TRUE(clipboard.texts.empty());
    EXPECT_FALSE(CopyToClipboard(clipboard, "x"));
    clipboard.opens = true;
    EXPECT_FALSE(CopyToClipboard(clipboard, ""));
    EXPECT_TRUE(clipboard.texts.empty());
}

}  // namespace
}  // namespace ostrel
