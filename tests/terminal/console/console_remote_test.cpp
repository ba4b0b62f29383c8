// A remote panel driven from a commissioning script: the real program with a panel file made on
// Windows, its buttons pressed with /press, the exact bytes arriving at a device on loopback.
#include <gtest/gtest.h>

#include <fstream>

#include "console_process.h"

namespace ostrel::testing {
namespace {

// CR LF, blanks around "=", names in other cases, a toggle, a hold button, a NetLinx device.
constexpr std::string_view kPanel =
    "[MAIN]\r\n"
    "Caption = Rack 4\r\n"
    "netlinxdevice= 5001:1:0 \r\n"
    "NetlinxPassThrough = -1\r\n"
    "LineTerminator=0\r\n"
    "TimerRate=100\r\n"
    "[btn0]\r\n"
    "Caption=Power\r\n"
    "pushstring=PWR$0D\r\n"
    "Repeatstring=never, the press is shorter than the timer\r\n"
    "[BTN1]\r\n"
    "CAPTION = Input 1\r\n"
    "AltCaption=Input 2\r\n"
    "ToggleButton=-1\r\n"
    "PushString=IN2\r\n"
    "ReleaseString=IN1\r\n"
    "[btn2]\r\n"
    "Caption=Reset\r\n"
    "HoldButton=1\r\n"
    "HoldTime = 3\r\n"
    "PushString=P\r\n"
    "RepeatString=R\r\n"
    "ReleaseString=X\r\n";

std::string Wrapped(std::string_view amx) {
    return "send_string 5001:1:0, \" " + std::string(amx) + " \"\r\n";
}

TEST(ConsoleRemote, PressesReachTheDeviceByteForByte) {
    TempFolder home;
    const std::string panel = home.File("rack 4.qzr");
    std::ofstream(panel, std::ios::binary) << kPanel;
    TcpPeer controller;
    const std::string script = "/tcp 127.0.0.1 " + std::to_string(controller.Port()) +
                               "\n/remote \"" + panel +
                               "\"\n/press 1\n/press \"input 1\"\n/press \"Input 2\" 0\n"
                               "/press Reset 1500\n/press 9\n/remote close\n/press 1\n";
    const ConsoleRun run = RunConsole({"--console", "--wait", "0.2"}, script, home.Path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(controller.Received(), Wrapped("'PWR', $0D") + Wrapped("'IN2'") + Wrapped("'IN1'") +
                                         Wrapped("'P'") + Wrapped("'R'") + Wrapped("'X'"));
    EXPECT_NE(run.out.find("\r\nOpening Remote " + panel + "\r\nRemote Loaded...\r\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\r\nClosing a Remote..."), std::string::npos);
    EXPECT_NE(run.err.find("Remote panel \"Rack 4\" (/press N or /press CAPTION):\n"
                           "    1  Power\n"
                           "    2  Input 1  (toggle, then \"Input 2\")\n"
                           "    3  Reset  (hold 3/10 s)\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("/press: button 9 is empty."), std::string::npos);
    EXPECT_NE(run.err.find("No remote panel is open; /remote FILE opens one."), std::string::npos);

    // A panel file named at start-up opens the panel (and no session).
    const ConsoleRun start =
        RunConsole({"--console", "--wait", "0", panel}, "/press 9\n", home.Path());
    EXPECT_EQ(start.status, 0) << start.err;
    EXPECT_NE(start.err.find("    3  Reset"), std::string::npos) << start.err;
    EXPECT_NE(start.err.find("/press: button 9 is empty."), std::string::npos);
    EXPECT_EQ(start.out.find("No Default.ini found..."), std::string::npos) << start.out;
}

}  // namespace
}  // namespace ostrel::testing
