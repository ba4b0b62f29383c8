// The console's toolkit-free parts: the "/" commands and the dialog fields they fill, the
// options, the terminal form of the pane's text, the line editor and the lines of a script.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "terminal/console/console_commands.h"
#include "terminal/console/console_options.h"
#include "terminal/console/console_panel.h"
#include "terminal/console/line_editor.h"
#include "terminal/console/script_lines.h"
#include "terminal/console/terminal_text.h"

namespace ostrel {
namespace {

using namespace std::string_literals;
using Kind = ConsoleCommand::Kind;
using C = CommandId;

TEST(ConsoleCommands, LinesAndMenuCommands) {
    struct Case {
        std::string line;
        Kind kind;
        C id;
        std::string text;
    };
    const Case cases[] = {
        {"PWR ON$0D", Kind::Send, C::Quit, "PWR ON$0D"},
        {"", Kind::Send, C::Quit, ""},
        {"  /help", Kind::Send, C::Quit, "  /help"},  // only a "/" in the first column
        {"//", Kind::Send, C::Quit, "/"},
        {"//PWR", Kind::Send, C::Quit, "/PWR"},
        {"///x", Kind::Send, C::Quit, "//x"},
        {"/help", Kind::Help, C::Quit, ""},
        {"/status", Kind::Status, C::Quit, ""},
        {"/quit", Kind::Dispatch, C::Quit, ""},
        {"/close", Kind::Dispatch, C::SessionClose, ""},
        {"/restart", Kind::Dispatch, C::SessionRestart, ""},
        {"/forget-host-key", Kind::Dispatch, C::SessionForgetHostKey, ""},
        {"/mode amx", Kind::Dispatch, C::ModeAmx, ""},
        {"/MODE Crestron", Kind::Dispatch, C::ModeCrestron, ""},
        {"/mode\textron", Kind::Dispatch, C::ModeExtron, ""},
        {"/mode none", Kind::Dispatch, C::ModeNoConversion, ""},
        {"/view text", Kind::Dispatch, C::ViewText, ""},
        {"/view hex", Kind::Dispatch, C::ViewHex, ""},
        {"/term none", Kind::Dispatch, C::NoTerminator, ""},
        {"/term crlf", Kind::Dispatch, C::TerminateCrLf, ""},
        {"/term cr", Kind::Dispatch, C::TerminateCr, ""},
        {"/term lf", Kind::Dispatch, C::TerminateLf, ""},
        {"/echo local", Kind::Dispatch, C::EchoLocal, ""},
        {"/echo remote", Kind::Dispatch, C::EchoRemote, ""},
        {"/open room.ini", Kind::OpenFile, C::Quit, "room.ini"},
        {"/open  \"My Room/a b.ini\" ", Kind::OpenFile, C::Quit, "My Room/a b.ini"},
        {"/save /tmp/x y.ini", Kind::SaveFile, C::Quit, "/tmp/x y.ini"},
        {"/log /tmp/log.txt", Kind::LogFile, C::Quit, "/tmp/log.txt"},
        {"/log OFF", Kind::LogOff, C::Quit, ""},
        {"/poll on", Kind::PollOn, C::Quit, ""},
        {"/poll off", Kind::PollOff, C::Quit, ""},
        {"/remote \"Rack 4.qzr\"", Kind::RemoteOpen, C::Quit, "Rack 4.qzr"},
        {"/remote CLOSE", Kind::RemoteClose, C::Quit, ""},
        {"/press 12", Kind::Press, C::Quit, "12"},
        {"/press Vol Up", Kind::Press, C::Quit, "Vol Up"},
        // Wrong use says what is right rather than sending anything.
        {"/", Kind::Invalid, C::Quit, ""},
        {"/bogus", Kind::Invalid, C::Quit, ""},
        {"/mode", Kind::Invalid, C::Quit, ""},
        {"/mode amx crestron", Kind::Invalid, C::Quit, ""},
        {"/view mixed", Kind::Invalid, C::Quit, ""},
        {"/open", Kind::Invalid, C::Quit, ""},
        {"/log", Kind::Invalid, C::Quit, ""},
        {"/poll", Kind::Invalid, C::Quit, ""},
        {"/close now", Kind::Invalid, C::Quit, ""},
        {"/quit now", Kind::Invalid, C::Quit, ""},
        {"/tcp host", Kind::Invalid, C::Quit, ""},
        {"/tcp host 0", Kind::Invalid, C::Quit, ""},
        {"/tcp host 65536", Kind::Invalid, C::Quit, ""},
        {"/tcp host 23x", Kind::Invalid, C::Quit, ""},
        {"/tcp host 23 tls tls", Kind::Invalid, C::Quit, ""},
        {"/tcp host 23 ftp", Kind::Invalid, C::Quit, ""},
        {"/tcp " + std::string(256, 'h') + " 23", Kind::Invalid, C::Quit, ""},
        {"/udp host", Kind::Invalid, C::Quit, ""},
        {"/tcp-server", Kind::Invalid, C::Quit, ""},
        {"/udp-server 70000", Kind::Invalid, C::Quit, ""},
        {"/serial", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 fast", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 9600 x", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 9600 n 9", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 9600 n 8 3", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 9600 n 8 1 maybe", Kind::Invalid, C::Quit, ""},
        {"/serial /dev/ttyS0 9600 n 8 1 none extra", Kind::Invalid, C::Quit, ""},
        {"/ssh", Kind::Invalid, C::Quit, ""},
        {"/ssh host:", Kind::Invalid, C::Quit, ""},
        {"/ssh @host", Kind::Invalid, C::Quit, ""},
        {"/ssh host:99999", Kind::Invalid, C::Quit, ""},
        {"/ssh [::1", Kind::Invalid, C::Quit, ""},
        {"/remote", Kind::Invalid, C::Quit, ""},
        {"/press", Kind::Invalid, C::Quit, ""},
        {"/press \"Input 2", Kind::Invalid, C::Quit, ""},
        {"/press 3 3600001", Kind::Invalid, C::Quit, ""},
        {"/press \"Input 2\" soon", Kind::Invalid, C::Quit, ""},
    };
    for (const Case& c : cases) {
        const ConsoleCommand command = ParseConsoleLine(c.line);
        EXPECT_EQ(command.kind, c.kind) << c.line;
        if (c.kind == Kind::Dispatch) {
            EXPECT_EQ(command.id, c.id) << c.line;
        }
        if (c.kind != Kind::Invalid) {
            EXPECT_EQ(command.text, c.text) << c.line;
        } else {
            EXPECT_FALSE(command.text.empty()) << c.line;
        }
    }
}

// How long /press holds a button, and which button it names on a panel.
TEST(ConsoleCommands, PressNamesAButtonAndItsTime) {
    const struct {
        const char* line;
        const char* which;
        int milliseconds;
    } presses[] = {
        {"/press 3", "3", 0},
        {"/press 3 1500", "3", 1500},
        {"/press Vol Up 250", "Vol Up", 250},
        {"/press \"Input 2\"", "Input 2", 0},
        {"/press \"Input 2\" 40", "Input 2", 40},
    };
    for (const auto& p : presses) {
        const ConsoleCommand command = ParseConsoleLine(p.line);
        ASSERT_EQ(command.kind, Kind::Press) << p.line;
        EXPECT_EQ(command.text, p.which) << p.line;
        EXPECT_EQ(command.milliseconds, p.milliseconds) << p.line;
    }

    RemoteDefinition panel;
    panel.buttons[0].caption = "Power";
    panel.buttons[4].caption = "Input 1";
    panel.buttons[4].altCaption = "Input 2";
    panel.buttons[4].toggle = 1;
    panel.buttons[6].caption = "Vol Up";
    panel.buttons[6].altCaption = "Input 2";  // not a toggle: never shown
    panel.buttons[49].caption = "Last";
    const struct {
        const char* which;
        int index;
    } finds[] = {{"1", 0},  {"50", 49}, {"vol up", 6}, {"INPUT 2", 4}, {" Power ", 0},
                 {"2", -1}, {"0", -1},  {"51", -1},    {"Mute", -1},   {"", -1}};
    for (const auto& f : finds) {
        const PanelButtonChoice choice = FindPanelButton(panel, f.which);
        EXPECT_EQ(choice.index, f.index) << f.which;
        EXPECT_EQ(choice.error.empty(), f.index >= 0) << f.which;
    }
}

// Each session command answers its type's dialog; applying the answer sets what the dialog's OK
// sets and nothing of the other types.
TEST(ConsoleCommands, SessionCommandsFillTheirDialog) {
    SessionSettings before;
    before.type = SessionType::TcpClient;
    before.host = "old";
    before.port = "1";
    before.timeout = 7;
    before.httpRequest = "GET / HTTP/1.0$0D$0A";
    before.sshUser = "admin";
    before.serialPort = "/dev/old";
    before.baud = 300;
    before.secure = true;
    before.httpMode = true;

    struct Case {
        std::string line;
        C id;
        std::string password;
        std::function<void(SessionSettings&)> expected;  // applied to `before`
    };
    const Case cases[] = {
        {"/tcp 10.0.0.5 2323", C::SessionTcpClient, "", [](SessionSettings& s) {
             s.host = "10.0.0.5";
             s.port = "2323";
             s.secure = false;
             s.httpMode = false;
         }},
        {"/tcp device.local 443 TLS http", C::SessionTcpClient, "", [](SessionSettings& s) {
             s.host = "device.local";
             s.port = "443";
         }},
        {"/tcp h 80 http", C::SessionTcpClient, "", [](SessionSettings& s) {
             s.host = "h";
             s.port = "80";
             s.secure = false;
         }},
        {"/udp 10.0.0.9 5000", C::SessionUdpClient, "", [](SessionSettings& s) {
             s.host = "10.0.0.9";
             s.port = "5000";
         }},
        {"/tcp-server 4000", C::SessionTcpServer, "", [](SessionSettings& s) { s.port = "4000"; }},
        {"/udp-server 4001", C::SessionUdpServer, "", [](SessionSettings& s) { s.port = "4001"; }},
        {"/serial /dev/pts/7", C::SessionSerial, "", [](SessionSettings& s) {
             s.type = SessionType::Serial;
             s.serialPort = "/dev/pts/7";
             s.baud = 9600;
             s.parity = Parity::None;
             s.dataBits = 8;
             s.stopBits = StopBits::One;
             s.flow = FlowControl::None;
         }},
        {"/serial /dev/ttyUSB0 115200 even 7 1.5 hardware", C::SessionSerial, "",
         [](SessionSettings& s) {
             s.type = SessionType::Serial;
             s.serialPort = "/dev/ttyUSB0";
             s.baud = 115200;
             s.parity = Parity::Even;
             s.dataBits = 7;
             s.stopBits = StopBits::OneAndHalf;
             s.flow = FlowControl::Hardware;
         }},
        {"/serial /dev/ttyS1 19200 S 5 2 software", C::SessionSerial, "",
         [](SessionSettings& s) {
             s.type = SessionType::Serial;
             s.serialPort = "/dev/ttyS1";
             s.baud = 19200;
             s.parity = Parity::Space;
             s.dataBits = 5;
             s.stopBits = StopBits::Two;
             s.flow = FlowControl::Software;
         }},
        {"/ssh root@10.1.1.1:2222", C::SessionSshClient, "pw", [](SessionSettings& s) {
             s.host = "10.1.1.1";
             s.port = "2222";
             s.sshUser = "root";
             s.sshPassword = "pw";
         }},
        {"/ssh codec", C::SessionSshClient, " pw ", [](SessionSettings& s) {
             s.host = "codec";
             s.port = "22";
             s.sshPassword = "pw";  // trimmed as the dialog trims it
         }},
        {"/ssh a@b@[fe80::1]:23", C::SessionSshClient, "", [](SessionSettings& s) {
             s.host = "fe80::1";
             s.port = "23";
             s.sshUser = "a@b";
         }},
        {"/ssh fe80::2", C::SessionSshClient, "", [](SessionSettings& s) {
             s.host = "fe80::2";
             s.port = "22";
         }},
    };
    for (const Case& c : cases) {
        const ConsoleCommand command = ParseConsoleLine(c.line);
        ASSERT_EQ(command.kind, Kind::OpenSession) << c.line << ": " << command.text;
        EXPECT_EQ(command.id, c.id) << c.line;
        SessionSettings actual = before;
        ApplyDialogAnswer(command.answer, c.password, actual);
        SessionSettings expected = before;
        c.expected(expected);
        expected.inUse = true;
        EXPECT_EQ(actual.type, expected.type) << c.line;
        EXPECT_EQ(actual.inUse, expected.inUse) << c.line;
        EXPECT_EQ(actual.host, expected.host) << c.line;
        EXPECT_EQ(actual.port, expected.port) << c.line;
        EXPECT_EQ(actual.timeout, expected.timeout) << c.line;
        EXPECT_EQ(actual.secure, expected.secure) << c.line;
        EXPECT_EQ(actual.httpMode, expected.httpMode) << c.line;
        EXPECT_EQ(actual.httpRequest, expected.httpRequest) << c.line;
        EXPECT_EQ(actual.serialPort, expected.serialPort) << c.line;
        EXPECT_EQ(actual.baud, expected.baud) << c.line;
        EXPECT_EQ(actual.parity, expected.parity) << c.line;
        EXPECT_EQ(actual.dataBits, expected.dataBits) << c.line;
        EXPECT_EQ(actual.stopBits, expected.stopBits) << c.line;
        EXPECT_EQ(actual.flow, expected.flow) << c.line;
        EXPECT_EQ(actual.sshUser, expected.sshUser) << c.line;
        EXPECT_EQ(actual.sshPassword, expected.sshPassword) << c.line;
    }
}

TEST(ConsoleOptions, CommandLines) {
    struct Case {
        std::vector<std::string> arguments;
        bool valid;
        bool noColour;
        double wait;
        std::vector<std::string> expect;
        std::vector<std::string> start;
    };
    const Case cases[] = {
        {{"--console"}, true, false, 1.0, {}, {}},
        {{"--console", "room.ini", "--no-color", "--wait", "2.5"}, true, true, 2.5, {}, {"room.ini"}},
        {{"--wait=0", "--expect", "PWR=(ON|OFF)", "--expect=OK"}, true, false, 0, {"PWR=(ON|OFF)", "OK"}, {}},
        {{"--console", "--", "--odd name.ini"}, true, false, 1.0, {}, {"--odd name.ini"}},
        {{"/left:5", "a.ini"}, true, false, 1.0, {}, {"/left:5", "a.ini"}},
        {{"--wait"}, false, false, 0, {}, {}},
        {{"--wait", "-1"}, false, false, 0, {}, {}},
        {{"--wait", "soon"}, false, false, 0, {}, {}},
        {{"--wait", "1e9"}, false, false, 0, {}, {}},
        {{"--wait", "nan"}, false, false, 0, {}, {}},
        {{"--expect"}, false, false, 0, {}, {}},
        {{"--expect="}, false, false, 0, {}, {}},
        {{"--console=yes"}, false, false, 0, {}, {}},
        {{"--colour-me"}, false, false, 0, {}, {}},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<ConsoleOptions> options = ParseConsoleOptions(c.arguments, &error);
        ASSERT_EQ(options.has_value(), c.valid) << c.arguments[0] << " " << error;
        if (!c.valid) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(options->noColour, c.noColour);
        EXPECT_EQ(options->wait, c.wait);
        EXPECT_EQ(options->expect, c.expect);
        EXPECT_EQ(options->startArguments, c.start);
    }
    EXPECT_TRUE(WantsConsole({"a.ini", "--no-color"}));
    EXPECT_FALSE(WantsConsole({"a.ini", "/left:5", "-x"}));
}

TEST(TerminalText, PipesGetThePaneBytesTerminalsItsLook) {
    const Colour yellow = Rgb(255, 255, 0);
    const Colour black = 0;
    struct Case {
        std::vector<std::string> appends;
        bool terminal;
        bool colour;
        std::string expected;
    };
    const std::string all = [] {
        std::string bytes;
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
        return bytes;
    }();
    const Case cases[] = {
        // Not a terminal: unchanged, whatever the bytes, colour or not.
        {{all}, false, false, all},
        {{all}, false, true, all},
        {{"a\rb", "\r", "\nc\x1b[2J"}, false, false, "a\rb\r\nc\x1b[2J"},
        // A terminal: line ends as the pane sees them, controls in caret notation.
        {{"a\r\nb\nc\rd"}, true, false, "a\r\nb\r\nc\r\nd"},
        {{"x\r", "\ny"}, true, false, "x\r\ny"},      // CR LF split over two appends
        {{"x\r", "\ry"}, true, false, "x\r\n\r\ny"},  // two lone CRs: two line ends
        {{"\r\n\r\n"}, true, false, "\r\n\r\n"},
        {{"\x1b[2J\x07\t\x7f\x00z"s}, true, false, "^[[2J^G\t^?^@z"},
        // The pane's 8-bit characters in UTF-8; a C1 control never reaches the terminal as one.
        {{"caf\xe9 \x80\x9b"}, true, false, "caf\xC3\xA9 \xE2\x82\xAC\xE2\x80\xBA"},
        {{"a\x81\x9d"}, true, false, "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        // Colour per line segment, reset before each line end, nothing for empty segments.
        {{"\r\nab\r\ncd"}, true, true,
         "\r\n\x1b[38;2;255;255;0;48;2;0;0;0mab\x1b[0m\r\n\x1b[38;2;255;255;0;48;2;0;0;0mcd\x1b[0m"},
    };
    for (const Case& c : cases) {
        TerminalText text(c.terminal, c.colour);
        std::string out;
        for (const std::string& append : c.appends)
            text.Append(append, yellow, black, out);
        EXPECT_EQ(out, c.expected) << c.appends[0];
    }
    EXPECT_EQ(ColourSequence(Rgb(1, 20, 255), Rgb(192, 192, 255)),
              "\x1b[38;2;1;20;255;48;2;192;192;255m");
}

TEST(TerminalText, KnowsWhetherTheOutputEndsALine) {
    TerminalText text(true, true);
    std::string out;
    EXPECT_TRUE(text.AtLineStart());
    text.Append("ab", 0, 0, out);
    EXPECT_FALSE(text.AtLineStart());
    text.Append("\r", 0, 0, out);
    EXPECT_TRUE(text.AtLineStart());
    text.Append("\n", 0, 0, out);  // the rest of the CR LF: still at the start
    EXPECT_TRUE(text.AtLineStart());
    text.Append("\n", 0, 0, out);
    EXPECT_TRUE(text.AtLineStart());
    EXPECT_EQ(out, "\x1b[38;2;0;0;0;48;2;0;0;0mab\x1b[0m\r\n\r\n");
}

TEST(LineEditor, Keys) {
    using A = LineEditor::Action;
    struct Case {
        std::string keys;
        std::string text;
        std::size_t cursor;
        A last;
    };
    const Case cases[] = {
        {"abc", "abc", 3, A::Changed},
        {"abc\r", "abc", 3, A::Submit},
        {"abc\n", "abc", 3, A::Submit},
        {"ab\x1b[Dc", "acb", 2, A::Changed},            // Left, insert
        {"ab\x1bODc", "acb", 2, A::Changed},            // Left in application mode
        {"abc\x1b[H\x1b[3~", "bc", 0, A::Changed},      // Home, Delete
        {"abc\x01\x1b[C\x05", "abc", 3, A::Changed},    // Ctrl+A, Right, Ctrl+E
        {"abc\x02\x02\x0b", "a", 1, A::Changed},        // Ctrl+B twice, Ctrl+K
        {"abc\x02\x15", "c", 0, A::Changed},            // Ctrl+U
        {"one two  \x17", "one ", 4, A::Changed},       // Ctrl+W
        {"ab\x7f\x08", "", 0, A::Changed},              // Backspace (DEL and Ctrl+H)
        {"\x7f", "", 0, A::None},
        {"\x1b[D", "", 0, A::None},
        {"a\x1b[1;5Cb", "ab", 2, A::Changed},           // Ctrl+Right: unknown, ignored
        {"a\x1b[200~b", "ab", 2, A::Changed},           // unknown "~" key
        {"a\x1b" "xb", "ab", 2, A::Changed},            // Alt+x dropped with its key
        {"\x1b[A", "", 0, A::Older},
        {"\x1b[B", "", 0, A::Newer},
        {"\x10", "", 0, A::Older},                      // Ctrl+P
        {"\x0e", "", 0, A::Newer},                      // Ctrl+N
        {"\x04", "", 0, A::EndOfInput},
        {"ab\x02\x04", "a", 1, A::Changed},             // Ctrl+D deletes under the cursor
        {"\x03", "", 0, A::Interrupt},
        {"ab\x03", "", 0, A::Changed},                  // Ctrl+C empties the line first
        {"\t\x07", "", 0, A::None},                     // other controls do nothing
        // UTF-8 characters move and delete whole.
        {"a\xc3\xa9\x1b[D\x1b[D", "a\xc3\xa9", 0, A::Changed},
        {"a\xe2\x82\xac\x7f", "a", 1, A::Changed},
        {"\xe2\x82\xac" "b\x01\x1b[3~", "b", 0, A::Changed},
    };
    for (const Case& c : cases) {
        LineEditor editor;
        A last = A::None;
        for (char key : c.keys)
            last = editor.Feed(key);
        EXPECT_EQ(editor.Text(), c.text) << c.keys;
        EXPECT_EQ(editor.Cursor(), c.cursor) << c.keys;
        EXPECT_EQ(last, c.last) << c.keys;
    }
}

TEST(LineEditor, LinesStayBoundedAndRenderAroundTheCursor) {
    LineEditor editor;
    for (std::size_t i = 0; i < kLongestEditedLine + 10; ++i)
        editor.Feed('x');
    EXPECT_EQ(editor.Text().size(), kLongestEditedLine);
    // A bare escape sequence start that never ends does not swallow the following keys forever.
    LineEditor escape;
    for (char key : std::string("\x1b[") + std::string(100, '1') + "\x01z")
        escape.Feed(key);
    EXPECT_EQ(escape.Text(), "z");

    editor.SetText("0123456789abcdefghij");
    LineEditor::View view = editor.Render("> ", 12);  // room for 9 characters
    EXPECT_EQ(view.text, "> cdefghij");
    EXPECT_EQ(view.cursorColumn, 10u);
    for (int i = 0; i < 20; ++i)
        editor.Feed(0x02);  // to the start
    view = editor.Render("> ", 12);
    EXPECT_EQ(view.text, "> 012345678");
    EXPECT_EQ(view.cursorColumn, 2u);
    editor.SetText("tab\there\x1b");
    EXPECT_EQ(editor.Render("", 80).text, "tab?here?");
    // A cut in the middle of a UTF-8 character keeps the character out whole; bytes that are
    // no UTF-8 lose at most three more.
    editor.SetText(std::string(kLongestEditedLine - 1, 'a') + "\xc3\xa9");
    EXPECT_EQ(editor.Text().size(), kLongestEditedLine - 1);
    editor.SetText(std::string(kLongestEditedLine + 5, '\x80'));
    EXPECT_EQ(editor.Text().size(), kLongestEditedLine - 3);
}

// A password typed with corrections and then wiped leaves none of its bytes in the editor's
// buffer, also those erased while typing.
TEST(LineEditor, WipeLeavesNoTypedByteBehind) {
    for (const std::string& keys : {"secret-word\x15"s, "secret-word\x03"s,
                                   "secret-word\x01\x0b"s, "secret-word\x7f\x7f\x7f\x7f\x7fxy"s}) {
        LineEditor editor;
        editor.Wipe();  // as when the password is asked for
        for (char key : keys)
            editor.Feed(key);
        const std::string& text = editor.Text();
        const char* storage = text.data();
        const std::size_t capacity = text.capacity();
        editor.Wipe();
        ASSERT_EQ(editor.Text().data(), storage);
        EXPECT_EQ(std::string_view(storage, capacity).find_first_not_of('\0'),
                  std::string_view::npos)
            << keys;
        EXPECT_EQ(editor.Text(), "");
    }
}

// A script's bytes become lines; a line longer than the input box is carried out in parts, so
// that no byte of it is lost, wherever its line feed lies in what was read.
TEST(ScriptLines, LinesAndLongLinesInParts) {
    const std::size_t box = kLongestEditedLine;
    const std::string full(box, 'x');
    struct Case {
        std::string pending;
        bool ended;
        std::vector<std::string> lines;  // taken until none is complete
        std::string rest;
    };
    const Case cases[] = {
        {"abc\ndef", false, {"abc"}, "def"},
        {"abc\ndef", true, {"abc", "def"}, ""},
        {"abc", false, {}, "abc"},
        {"\n\r\nb\r\n", false, {"", "", "b"}, ""},
        {full + "\n", false, {full}, ""},
        {full + "\r\n", false, {full}, ""},
        {full + "y", false, {full}, "y"},
        // The line feed lies beyond the box in the bytes read: the line still goes in parts.
        {full + "yz\nnext", false, {full, "yz"}, "next"},
        {full + full + "z\r\n", false, {full, full, "z"}, ""},
    };
    for (const Case& c : cases) {
        std::string pending = c.pending;
        std::vector<std::string> lines;
        while (std::optional<std::string> line = TakeScriptLine(pending, c.ended, false))
            lines.push_back(*line);
        EXPECT_EQ(lines, c.lines) << c.pending.size();
        EXPECT_EQ(pending, c.rest) << c.pending.size();
    }
}

// A password line taken from the script's bytes leaves no copy where it was read.
TEST(ScriptLines, ASecretLineIsOverwrittenWhereItWas) {
    std::string pending = "correct-horse-battery\r\nnext line";
    const char* storage = pending.data();
    const std::size_t size = pending.size();
    EXPECT_EQ(TakeScriptLine(pending, false, true), "correct-horse-battery");
    EXPECT_EQ(pending, "next line");
    ASSERT_EQ(pending.data(), storage);
    EXPECT_EQ(std::string_view(storage, size).find("battery"), std::string_view::npos);
}

}  // namespace
}  // namespace ostrel
