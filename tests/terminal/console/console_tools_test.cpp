// The console's Tools commands in the real program: a stand-in ping on PATH whose output comes
// while it runs, a script that waits for it, the reports.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "console_process.h"

namespace ostrel::testing {
namespace {

TEST(ConsoleTools, PingStreamsAndTheScriptWaitsForItsEnd) {
    TempFolder home;
    // Two replies a moment apart, then a failing exit, as ping does when a host does not answer.
    const std::string ping = home.File("ping");
    std::ofstream(ping) << "#!/bin/sh\necho \"PING $3 args $*\"\n/bin/sleep 0.5\n"
                           "echo '4 packets transmitted, 0 received'\nexit 1\n";
    ::chmod(ping.c_str(), 0755);

    ConsoleProcess console;
    ASSERT_TRUE(console.Start(
        {{"--console", "--wait", "0"}, {"OSTREL_HOME=" + home.Path(), "PATH=" + home.Path()}}));
    console.Write("/ping 192.0.2.77\n/report monitors\n/report memory\n/traceroute 192.0.2.77\n");
    console.CloseInput();
    EXPECT_EQ(console.Wait(), 0) << console.Err();
    const std::string& out = console.Out();
    const std::size_t start = out.find(
        "ping -c 4 192.0.2.77\r\nPING 192.0.2.77 args -c 4 192.0.2.77\r\n"
        "4 packets transmitted, 0 received\r\n");
    ASSERT_NE(start, std::string::npos) << out;
    const std::size_t end = out.find("ping ended with exit status 1...", start);
    ASSERT_NE(end, std::string::npos) << out;
    // The next line of the script ran only once ping had ended.
    EXPECT_GT(out.find("There is no display attached to this session of Ostrel"), end) << out;
    EXPECT_NE(out.find("Total Physical Memory       :"), std::string::npos);
    EXPECT_NE(out.find("Neither traceroute nor tracepath is installed"), std::string::npos);

    const ConsoleRun usage =
        RunConsole({"--console", "--wait", "0"}, "/report disks\n/ping\n", home.Path());
    EXPECT_NE(usage.err.find("usage: /report memory|network|monitors"), std::string::npos)
        << usage.err;
    EXPECT_NE(usage.err.find("usage: /ping HOST"), std::string::npos) << usage.err;
    const ConsoleRun help = RunConsole({"--help"}, "", home.Path());
    for (const char* listed : {"/report memory|network|monitors", "/ping HOST", "/traceroute HOST"})
        EXPECT_NE(help.out.find(listed), std::string::npos) << listed;
}

}  // namespace
}  // namespace ostrel::testing
