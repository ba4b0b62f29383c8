// The console end to end: the real program, its standard streams on pipes or a pseudo-terminal,
// against local peers. What it writes to a pipe is the pane's text byte for byte, so the checks
// below compare exact bytes.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console_process.h"

namespace ostrel::testing {
namespace {

constexpr std::string_view kYellowOnBlack = "\x1b[38;2;255;255;0;48;2;0;0;0m";
constexpr std::string_view kWhiteOnBlack = "\x1b[38;2;255;255;255;48;2;0;0;0m";

std::string Port(int port) {
    return std::to_string(port);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ConsoleTest : public ::testing::Test {
protected:
    TempFolder home_;
};

// Line by line through a pipe: every line's bytes reach the device exactly, and the pane shows
// the echoes and replies with its line breaks, in the AMX notation and as hex rows.
TEST_F(ConsoleTest, TcpEchoServerExactBytesBothWays) {
    TcpPeer echo;
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console", "--wait", "0.2"}, {"OSTREL_HOME=" + home_.Path()}}));
    console.Write("/tcp 127.0.0.1 " + Port(echo.Port()) + "\n/echo local\nPWR ON$0D\n");
    ASSERT_TRUE(console.WaitForOutput("TCP Client Connected...")) << console.Out();
    ASSERT_TRUE(console.WaitForOutput("PWR ON\r\r\n")) << console.Out();
    EXPECT_NE(console.Out().find("TCP Client Connected...\r\n\r\nPWR ON$0D$0D$0A\r\nPWR ON\r\r\n"),
              std::string::npos)
        << console.Out();

    std::size_t mark = console.Out().size();
    console.Write("/mode amx\n$02PWR$03\n");
    const std::string notice = "Non-printable characters were found in the above data...\r\n";
    ASSERT_TRUE(console.WaitForOutput(notice, 5000, mark)) << console.Out();
    EXPECT_EQ(console.Out().substr(mark),
              "\r\n\r\n\" $02, 'PWR', $03, $0D, $0A \"\r\nPWR\r\n\r\n\r\n" + notice);

    mark = console.Out().size();
    console.Write("/view hex\n/mode none\n/term cr\nHello, w$00\n");
    const std::string lastRow = "$00 $0D" + std::string(26, ' ') + " >>  \r\n";
    ASSERT_TRUE(console.WaitForOutput(lastRow, 5000, mark)) << console.Out();
    EXPECT_EQ(console.Out().substr(mark),
              "\r\n\r\nHello, w$00$0D\r\n\r\n$48 $65 $6C $6C $6F $2C $20 $77   >>Hello, w\r\n" +
                  lastRow);

    console.CloseInput();
    EXPECT_EQ(console.Wait(), 0) << console.Err();
    EXPECT_EQ(echo.Received(), std::string("PWR ON\r\r\n\x02PWR\x03\r\nHello, w\0\r", 26));
    EXPECT_NE(console.Err().find("Local echo on, remote echo off."), std::string::npos);
}

// Typed text is Windows-1252 as in the window: a character it lacks is refused and named. With
// standard error on standard output's pipe, a message never joins the output's last line, and
// the output's last line is ended before the program exits.
TEST_F(ConsoleTest, TypedCharactersAndLineEndsOnOnePipe) {
    UdpPeer peer([](std::string_view) { return std::string(); });
    ConsoleProcess console;
    ConsoleProcess::Setup setup{{"--console", "--wait", "0.3"}, {"OSTREL_HOME=" + home_.Path()}};
    setup.errorsToOutput = true;
    ASSERT_TRUE(console.Start(setup));
    console.Write("/tcp\n/udp 127.0.0.1 " + Port(peer.Port()) +
                  "\ncaf\xC3\xA9 \xE2\x82\xAC\n\xD0\x96\n");
    console.CloseInput();
    EXPECT_EQ(console.Wait(), 0);
    const std::string& out = console.Out();
    EXPECT_NE(out.find("No Default.ini found...\r\nusage: /tcp HOST PORT [tls] [http]"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("The character U+0416 cannot be sent"), std::string::npos) << out;
    EXPECT_TRUE(out.ends_with("\n")) << out;
    EXPECT_EQ(peer.Received(), "caf\xE9 \x80\r\n");
}

// A script: the session opens first (lines wait for it), the reply is expected, the program ends
// when the input does.
TEST_F(ConsoleTest, UdpServerAndExpectations) {
    UdpPeer peer([](std::string_view datagram) {
        return datagram.starts_with("PING") ? std::string("PONG 42\r\n") : std::string("?\r\n");
    });
    const std::string script = "/udp 127.0.0.1 " + Port(peer.Port()) + "\nPING$0D\n";

    ConsoleRun run = RunConsole({"--console", "--expect", "PONG [0-9]+", "--expect=\\r\\n$"},
                                script, home_.Path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\r\nPONG 42\r\n"), std::string::npos) << run.out;
    EXPECT_EQ(peer.Received(), "PING\r\r\n");
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);  // no colours on a pipe

    run = RunConsole({"--console", "--wait", "0.3", "--expect", "PONG", "--expect", "PANG"},
                     script, home_.Path());
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("--expect 'PANG' matched nothing received."), std::string::npos);
    EXPECT_EQ(run.err.find("'PONG'"), std::string::npos) << run.err;

    run = RunConsole({"--console", "--expect", "(unclosed"}, "", home_.Path());
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("is not a valid pattern"), std::string::npos) << run.err;
}

// A session that cannot be opened: the script's lines are still carried out (and refused), and
// the exit status says so.
TEST_F(ConsoleTest, RefusedConnectionExitsNonZero) {
    const ConsoleRun run = RunConsole({"--console", "--wait", "0"},
                                      "/tcp 127.0.0.1 " + Port(ClosedPort()) + "\nPWR?$0D\n",
                                      home_.Path());
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::size_t refused = run.out.find("The connection was refused by the peer.");
    ASSERT_NE(refused, std::string::npos) << run.out;
    // The line waited for the connect's outcome rather than being refused while connecting.
    EXPECT_NE(run.out.find("TCP Client: Cannot send - port not open...", refused),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("a session could not be opened"), std::string::npos) << run.err;

    EXPECT_EQ(RunConsole({"--console", "--bogus"}, "", home_.Path()).status, 2);
    // Output that cannot be written (a full disk) is not a good run.
    const std::string full = "OSTREL_HOME='" + home_.Path() + "' " OSTREL_BINARY
                             " --console --wait 0 </dev/null >/dev/full 2>" + home_.File("err");
    const int status = std::system(full.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
    EXPECT_NE(ReadFile(home_.File("err")).find("standard output could not be written"),
              std::string::npos);
    const ConsoleRun help = RunConsole({"--help"}, "", home_.Path());
    EXPECT_EQ(help.status, 0);
    for (const char* listed : {"--wait", "--expect", "--no-color", "/serial", "/tcp-server",
                               "/udp-server", "/ssh", "/log", "/poll", "//"})
        EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
}

// /save keeps the session and the settings shown; the README's script opens it at start-up, and
// /open opens it in a running console.
TEST_F(ConsoleTest, SaveThenOpenRoundTrip) {
    TcpPeer projector([](const std::string&, std::string_view chunk) {
        return chunk == "PWR?\r\r" ? std::string("PWR=ON\r") : std::string();
    });
    const std::string file = home_.File("projector.ini");
    ConsoleRun run = RunConsole({"--console", "--wait", "0"},
                                "/tcp 127.0.0.1 " + Port(projector.Port()) +
                                    "\n/term cr\n/mode crestron\n/echo local\n/view hex\n/save " +
                                    file + "\n/quit\nnever sent\n",
                                home_.Path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string saved = ReadFile(file);
    EXPECT_NE(saved.find("Port=" + Port(projector.Port())), std::string::npos) << saved;
    EXPECT_EQ(projector.Received(), "");

    // printf 'PWR?$0D\n' | ostrel --console projector.ini --expect 'PWR=(ON|OFF)'
    run = RunConsole({"--console", file, "--expect", "PWR=(ON|OFF)"}, "PWR?$0D\n", home_.Path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(projector.Received(), "PWR?\r\r");
    // The echo in Crestron notation, the reply as a hex row: the saved settings are back.
    EXPECT_NE(run.out.find("\r\nPWR?\\r\\r\r\n\r\n$50 $57 $52 $3D $4F $4E $0D"), std::string::npos)
        << run.out;

    run = RunConsole({"--console", "--expect", "PWR=ON"}, "/open " + file + "\nPWR?$0D\n",
                     home_.Path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(projector.Received(), "PWR?\r\rPWR?\r\r");
}

TEST_F(ConsoleTest, SerialPseudoTerminalPair) {
    SerialPair cable;
    ASSERT_TRUE(cable.Ready());
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console", "--wait", "0.2"}, {"OSTREL_HOME=" + home_.Path()}}));
    const std::string log = home_.File("serial log.txt");
    console.Write("/serial " + cable.DeviceEnd() + " 19200 even 7 2\n/log " + log +
                  "\nPOWER ON$0D\n");
    EXPECT_EQ(cable.ReceiveUntil("POWER ON\r\r\n"), "POWER ON\r\r\n");
    cable.Send("OK\r\n");
    ASSERT_TRUE(console.WaitForOutput("\r\nOK\r\n")) << console.Out();
    console.Write("/status\n/log off\n/close\n");
    console.CloseInput();
    EXPECT_EQ(console.Wait(), 0) << console.Err();
    EXPECT_NE(console.Err().find("19200"), std::string::npos) << console.Err();
    // Logged while logging was on, with the date stamp before the line.
    EXPECT_NE(ReadFile(log).find(">>OK\r\n"), std::string::npos) << ReadFile(log);

    const ConsoleRun missing =
        RunConsole({"--console", "--wait", "0"}, "/serial " + home_.File("nothing") + "\n",
                   home_.Path());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("Can't open COM" + home_.File("nothing")), std::string::npos);
}

// On a terminal: colours from the colour table, and the input line with arrow-key history.
TEST_F(ConsoleTest, ColoursAndLineEditingOnAPseudoTerminal) {
    TcpPeer echo;
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console"},
                               {"OSTREL_HOME=" + home_.Path(), "TERM=xterm", "NO_COLOR"},
                               true}));
    ASSERT_TRUE(console.WaitForOutput("> ")) << console.Out();
    console.Write("/tcp 127.0.0.1 " + Port(echo.Port()) + "\r");
    ASSERT_TRUE(console.WaitForOutput("TCP Client Connected...")) << console.Out();
    console.Write("abc\x1b[D\x1b[DX\r");  // two left, insert: "aXbc"
    ASSERT_TRUE(echo.WaitForReceived("aXbc\r\n"));
    console.Write("\x1b[A\x7f\r");  // the last line back, its last character deleted
    ASSERT_TRUE(echo.WaitForReceived("aXbc\r\naXb\r\n")) << echo.Received();
    ASSERT_TRUE(console.WaitForOutput(std::string(kWhiteOnBlack) + "aXb\x1b[0m")) << console.Out();
    console.Write("/quit\r");
    EXPECT_EQ(console.Wait(), 0);
    const std::string& out = console.Out();
    EXPECT_NE(out.find(std::string(kYellowOnBlack) + "Ostrel v"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(kYellowOnBlack) + "TCP Client Connected...\x1b[0m"),
              std::string::npos);
    EXPECT_NE(out.find(std::string(kWhiteOnBlack) + "aXbc\x1b[0m"), std::string::npos);

    ConsoleProcess plain;
    ASSERT_TRUE(plain.Start({{"--console", "--no-color"}, {"OSTREL_HOME=" + home_.Path()}, true}));
    ASSERT_TRUE(plain.WaitForOutput("No Default.ini found...")) << plain.Out();
    plain.CloseInput();
    EXPECT_EQ(plain.Wait(), 0);
    EXPECT_EQ(plain.Out().find("\x1b[38;2"), std::string::npos) << plain.Out();
}

TEST_F(ConsoleTest, WithoutADisplayTheProgramIsTheConsole) {
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{},
                               {"OSTREL_HOME=" + home_.Path(), "DISPLAY", "WAYLAND_DISPLAY",
                                "QT_QPA_PLATFORM"},
                               false}));
    console.CloseInput();
    EXPECT_EQ(console.Wait(), 0) << console.Err();
    EXPECT_EQ(console.Err().rfind("ostrel: no display", 0), 0u) << console.Err();
    EXPECT_NE(console.Out().find("\r\nOstrel v"), std::string::npos) << console.Out();
}

}  // namespace
}  // namespace ostrel::testing
