// The Tools menu and the colour dialog through the controller, with the real program runner and
// stand-in programs on PATH that record the words they were started with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../bindings/qt_test_support.h"
#include "../session/session_fakes.h"
#include "front_end_fakes.h"
#include "terminal/app/app_controller.h"
#include "terminal/bindings/qt_program_runner.h"
#include "terminal/reports/system_network.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class ToolsTest : public ::testing::Test {
protected:
    ToolsTest() {
        folder_ = fs::temp_directory_path() /
                  ("ostrel-tools-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "bin");
        setenv("OSTREL_HOME", folder_.c_str(), 1);
        savedPath_ = std::getenv("PATH");
        setenv("PATH", (folder_ / "bin").c_str(), 1);  // the stand-ins and nothing else
        controller_.AttachTools(runner_);
        EXPECT_TRUE(controller_.Start({}));
    }
    ~ToolsTest() override {
        controller_.Shutdown();
        setenv("PATH", savedPath_.c_str(), 1);
        fs::remove_all(folder_);
    }

    // A program on PATH that records its arguments, one a line, prints two lines (the last
    // without its line end) and ends with the exit status.
    void StandIn(const std::string& name, int exitStatus = 0) {
        const fs::path path = folder_ / "bin" / name;
        // The record appears whole (renamed into place) so that a reader never sees half of it.
        std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << Record(name)
                            << ".part'\n/bin/mv '" << Record(name) << ".part' '" << Record(name)
                            << "'\necho \"" << name << " stand-in\"\nprintf 'last words'\nexit "
                            << exitStatus << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    std::string Record(const std::string& name) const {
        return (folder_ / (name + ".args")).string();
    }
    // The words a stand-in was started with; waits for it (a detached one runs on its own).
    Strings ArgumentsOf(const std::string& name) const {
        WaitUntil([&] { return fs::exists(Record(name)); });
        Strings words;
        std::ifstream file(Record(name));
        for (std::string line; std::getline(file, line);)
            words.push_back(line);
        return words;
    }
    Strings PaneLines() const {
        Strings lines;
        std::istringstream text(view_.pane.Text());
        for (std::string line; std::getline(text, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
        }
        return lines;
    }
    void WaitForTool() {
        ASSERT_TRUE(WaitUntil([&] { return !controller_.ToolRunning(); }));
    }

    fs::path folder_;
    std::string savedPath_;
    FakeView view_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    QtProgramRunner runner_;
    AppController controller_{view_, net_, serial_};
};

TEST_F(ToolsTest, PingStreamsIntoThePaneAndEndsWithTheExitStatus) {
    StandIn("ping", 3);
    controller_.Settings().host = "  10.0.0.5 ";
    view_.toolAnswer = " 10.0.0.9 ";
    controller_.Dispatch(CommandId::Ping);
    ASSERT_EQ(view_.toolDialogs.size(), 1u);
    EXPECT_EQ(view_.toolDialogs[0], std::make_pair(HostTool::Ping, std::string("10.0.0.5")));
    EXPECT_EQ(controller_.Settings().host, "10.0.0.9");  // the next session's default
    WaitForTool();
    EXPECT_EQ(ArgumentsOf("ping"), (Strings{"-c", "4", "10.0.0.9"}));
    const Strings lines = PaneLines();
    EXPECT_EQ(Strings(lines.end() - 4, lines.end()),
              (Strings{"ping -c 4 10.0.0.9", "ping stand-in", "last words",
                       "ping ended with exit status 3..."}));
}

TEST_F(ToolsTest, DialogsKeepTheSessionHostOnCancelAndBlankAnswers) {
    StandIn("ping");
    controller_.Settings().host = "10.0.0.5";
    view_.toolAnswer.reset();  // Cancel
    controller_.Dispatch(CommandId::TraceRoute);
    view_.toolAnswer = "   ";
    controller_.Dispatch(CommandId::Ping);
    EXPECT_EQ(controller_.Settings().host, "10.0.0.5");
    EXPECT_EQ(PaneLines().back(), "Ping: no address was given...");
    view_.toolAnswer = "-f";  // an option, not a host: refused before any program sees it
    controller_.Dispatch(CommandId::Ping);
    EXPECT_EQ(PaneLines().back(), "Ping: an address cannot start with \"-\"...");
    EXPECT_FALSE(fs::exists(Record("ping")));
}

TEST_F(ToolsTest, BrowserAddressFromTheSession) {
    controller_.Settings().host = "10.0.0.5";
    controller_.Settings().port = "8080";
    view_.toolAnswer = " http://10.0.0.5:8080/status ";
    controller_.Dispatch(CommandId::OpenInBrowser);
    ASSERT_EQ(view_.toolDialogs.size(), 1u);
    EXPECT_EQ(view_.toolDialogs[0].second, "http://10.0.0.5:8080");
    EXPECT_EQ(view_.opened, Strings{"http://10.0.0.5:8080/status"});
    EXPECT_EQ(controller_.Settings().host, "10.0.0.5");  // the browser leaves the host alone
}

TEST_F(ToolsTest, TraceRouteFallsBackToTracepathAndMissingProgramsSaySo) {
    view_.toolAnswer = "studio.example";
    controller_.Dispatch(CommandId::TraceRoute);
    EXPECT_EQ(PaneLines().back(),
              "Neither traceroute nor tracepath is installed (Debian packages traceroute, "
              "iputils-tracepath)...");
    controller_.Dispatch(CommandId::Ping);
    EXPECT_EQ(PaneLines().back(),
              "The program ping was not found (Debian package iputils-ping)...");
    controller_.Dispatch(CommandId::IpConfig);
    EXPECT_EQ(PaneLines().back(), "The program ip was not found (Debian package iproute2)...");

    StandIn("tracepath");
    controller_.Dispatch(CommandId::TraceRoute);
    WaitForTool();
    EXPECT_EQ(ArgumentsOf("tracepath"), Strings{"studio.example"});
    StandIn("traceroute");
    controller_.Dispatch(CommandId::TraceRoute);
    WaitForTool();
    EXPECT_EQ(ArgumentsOf("traceroute"), Strings{"studio.example"});
}

TEST_F(ToolsTest, OnADesktopToolsRunInATerminalWindow) {
    view_.desktop = true;
    StandIn("ip");
    StandIn("xterm");
    controller_.Dispatch(CommandId::IpConfig);
    const Strings words = ArgumentsOf("xterm");
    ASSERT_EQ(words.size(), 7u);
    EXPECT_EQ(Strings(words.begin(), words.begin() + 3), (Strings{"-e", "sh", "-c"}));
    EXPECT_EQ(Strings(words.begin() + 4, words.end()), (Strings{"ostrel-tool", "ip", "addr"}));
    EXPECT_FALSE(controller_.ToolRunning());

    // The desktop's own choice of terminal comes first.
    StandIn("x-terminal-emulator");
    controller_.Dispatch(CommandId::IpConfig);
    EXPECT_EQ(ArgumentsOf("x-terminal-emulator").back(), "addr");
}

TEST_F(ToolsTest, CalculatorNeedsADesktopAndOneInstalled) {
    controller_.Dispatch(CommandId::Calculator);
    EXPECT_EQ(PaneLines().back(), "Tools > Calculator needs a desktop; there is none here...");
    view_.desktop = true;
    controller_.Dispatch(CommandId::Calculator);
    EXPECT_EQ(PaneLines().back().rfind("No desktop calculator is installed (looked for gnome-", 0),
              0u);
    StandIn("kcalc");
    controller_.Dispatch(CommandId::Calculator);
    EXPECT_EQ(ArgumentsOf("kcalc"), Strings{""});  // started without arguments
}

TEST_F(ToolsTest, ArpChecksItsBoxesAndRemembersThem) {
    controller_.Settings().host = "10.0.0.5";
    view_.arpAnswer = ArpAnswer{" 10.0.0.7 ", "00-1a-2b-3c-4d"};
    controller_.Dispatch(CommandId::ArpAddress);
    EXPECT_EQ(PaneLines().back(),
              "Arp: \"00-1a-2b-3c-4d\" is not a MAC address of the form xx-xx-xx-xx-xx-xx...");
    view_.arpAnswer = ArpAnswer{"projector", "00-1a-2b-3c-4d-5e"};
    controller_.Dispatch(CommandId::ArpAddress);
    EXPECT_EQ(PaneLines().back(), "Arp: \"projector\" is not an IPv4 address...");
    view_.arpAnswer.reset();
    controller_.Dispatch(CommandId::ArpAddress);
    ASSERT_EQ(view_.arpShown.size(), 3u);
    EXPECT_EQ(view_.arpShown[0].address, "10.0.0.5");
    EXPECT_EQ(view_.arpShown[0].mac, "");
    EXPECT_EQ(view_.arpShown[1].address, "10.0.0.7");  // written back after each Arp
    EXPECT_EQ(view_.arpShown[2].address, "projector");
    EXPECT_EQ(view_.arpShown[2].mac, "00-1a-2b-3c-4d-5e");

    // A good pair: a permanent entry on the interface the kernel's routes reach the address by.
    const std::string device = RouteInterfaceFor("10.0.0.7", SystemRoutes());
    if (device.empty()) GTEST_SKIP() << "no route reaches 10.0.0.7 on this machine";
    StandIn("ip", 2);
    view_.arpAnswer = ArpAnswer{"10.0.0.7", "00-1a-2b-3c-4d-5e"};
    controller_.Dispatch(CommandId::ArpAddress);
    WaitForTool();
    EXPECT_EQ(ArgumentsOf("ip"), (Strings{"neigh", "replace", "10.0.0.7", "lladdr",
                                          "00:1a:2b:3c:4d:5e", "dev", device, "nud", "permanent"}));
    EXPECT_EQ(PaneLines().back(), "ip ended with exit status 2...");
}

TEST_F(ToolsTest, ColourDialogOkAndCancel) {
    const ColourTable before = controller_.Colours();
    ColourTable blue = before;
    blue[ColourSlot::Background] = Rgb(0, 0, 255);
    view_.pane.SetBackground(Rgb(1, 2, 3));       // whatever the pane shows, the table wins after
    controller_.Dispatch(CommandId::ColorPrefs);  // Cancel
    EXPECT_EQ(controller_.Colours(), before);
    EXPECT_EQ(view_.pane.Background(), before[ColourSlot::Background]);
    view_.colourAnswer = blue;
    controller_.Dispatch(CommandId::ColorPrefs);
    EXPECT_EQ(controller_.Colours(), blue);
    EXPECT_EQ(view_.pane.Background(), Rgb(0, 0, 255));
    EXPECT_EQ(view_.colourDialogs, 2);
}

TEST_F(ToolsTest, ReportsAreInformationalText) {
    view_.monitors = MonitorList{{1920, 1080}, {{1920, 1080}, {1024, 768}}};
    controller_.Dispatch(CommandId::MyMonitors);
    EXPECT_EQ(PaneLines().back(), "Monitor 2 - 1024 by 768");
    view_.monitors.reset();
    controller_.Dispatch(CommandId::MyMonitors);
    EXPECT_EQ(PaneLines().back(), kNoDisplayLine);
    controller_.Dispatch(CommandId::MyMemory);
    EXPECT_EQ(PaneLines().back().rfind("Percent Free Virtual Memory :", 0), 0u);
    controller_.Dispatch(CommandId::MyNetworkInfo);
    EXPECT_NE(view_.pane.Text().find("Adapter name     : lo"), std::string::npos);
}

}  // namespace
}  // namespace ostrel
