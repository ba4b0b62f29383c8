#include "terminal/reports/tool_commands.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "terminal/reports/program_runner.h"

namespace ostrel {
namespace {

using Words = std::vector<std::string>;

TEST(ToolCommands, BrowserAddress) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"10.0.0.5", "8080", "http://10.0.0.5:8080"},
        {" 10.0.0.5 ", "  ", "http://10.0.0.5"},
        {"HtTp://panel.local", "", "HtTp://panel.local"},  // not prefixed twice
        {"https://panel.local", "443", "https://panel.local:443"},
        {"http:/x", "", "http://http:/x"},
        {"", "", "http://"},
    };
    for (const auto& [host, port, address] : cases)
        EXPECT_EQ(BrowserAddress(host, port), address) << host << " " << port;
}

TEST(ToolCommands, CheckedInput) {
    EXPECT_EQ(HostProblem("10.0.0.5"), std::nullopt);
    EXPECT_EQ(HostProblem("projector-1.studio.local"), std::nullopt);
    for (const char* bad : {"", "-f", "--help", "10.0.0.5 -f", "a\tb", "a\x7f"})
        EXPECT_NE(HostProblem(bad), std::nullopt) << bad;
    EXPECT_NE(HostProblem(std::string(256, 'a')), std::nullopt);

    EXPECT_TRUE(IsMacAddress("00-1a-2B-3c-4d-5e"));
    EXPECT_TRUE(IsMacAddress("00:1a:2b:3c:4d:5e"));
    for (const char* bad :
         {"00-1a-2b-3c-4d", "00-1a:2b-3c-4d-5e", "00-1a-2b-3c-4d-5g", "001a2b3c4d5e00000"})
        EXPECT_FALSE(IsMacAddress(bad)) << bad;
    EXPECT_TRUE(IsIPv4Address("192.168.1.20"));
    EXPECT_FALSE(IsIPv4Address("192.168.1"));
    EXPECT_FALSE(IsIPv4Address("fe80::1"));
}

TEST(ToolCommands, ToolLinesAndTheirTerminalWindow) {
    EXPECT_EQ(PingLine("10.0.0.5"), (ProgramLine{"ping", {"-c", "4", "10.0.0.5"}}));
    EXPECT_EQ(TraceRouteLine("h", true), (ProgramLine{"traceroute", {"h"}}));
    EXPECT_EQ(TraceRouteLine("h", false), (ProgramLine{"tracepath", {"h"}}));
    EXPECT_EQ(ArpLine("10.0.0.9", "00-1a-2b-3c-4d-5e", "eth0"),
              (ProgramLine{"ip",
                           {"neigh", "replace", "10.0.0.9", "lladdr", "00:1a:2b:3c:4d:5e", "dev",
                            "eth0", "nud", "permanent"}}));
    EXPECT_EQ(ShowProgramLine({"ping", {"-c", "4", "a b"}}), "ping -c 4 \"a b\"");

    // The shell receives the tool as separate words: a host cannot become shell text.
    const ProgramLine ping = PingLine("$(reboot)");
    for (const bool keepOpen : {true, false}) {
        const ProgramLine wrapped = InTerminal(TerminalEmulators()[0], ping, keepOpen);
        ASSERT_EQ(wrapped.arguments.size(), 9u);
        EXPECT_EQ(wrapped.program, "x-terminal-emulator");
        EXPECT_EQ(Words(wrapped.arguments.begin(), wrapped.arguments.begin() + 3),
                  (Words{"-e", "sh", "-c"}));
        EXPECT_EQ(Words(wrapped.arguments.begin() + 4, wrapped.arguments.end()),
                  (Words{"ostrel-tool", "ping", "-c", "4", "$(reboot)"}));
        EXPECT_EQ(wrapped.arguments[3].find("reboot"), std::string::npos);
    }
}

// The window scripts really run: the tool's words arrive intact, the exit status is reported,
// and "keep open" waits for Enter.
TEST(ToolCommands, TerminalScriptRunsTheToolWordForWord) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ostrel-tools-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string out = (folder / "out").string();
    const ProgramLine tool{"sh", {"-c", "printf '[%s]' \"$@\"; exit 3", "x", "a b", "$(id)"}};
    for (const bool keepOpen : {true, false}) {
        const ProgramLine wrapped = InTerminal({"env", "--"}, tool, keepOpen);
        std::string command = "echo | " + wrapped.program;
        for (const std::string& word : wrapped.arguments) {
            std::string quoted = "'";
            for (const char c : word)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            command += " " + quoted + "'";
        }
        ASSERT_EQ(std::system((command + " > " + out).c_str()), 0);
        std::ifstream file(out);
        const std::string text((std::istreambuf_iterator<char>(file)), {});
        EXPECT_NE(text.find("[a b][$(id)]"), std::string::npos) << text;
        EXPECT_NE(text.find("sh ended with exit status 3."), std::string::npos) << text;
    }
    std::filesystem::remove_all(folder);
}

TEST(ToolCommands, FindProgramOnPath) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("ostrel-path-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "bin");
    const std::filesystem::path tool = folder / "bin" / "ping";
    std::ofstream(tool) << "#!/bin/sh\n";
    std::ofstream(folder / "bin" / "plain") << "not executable\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    const std::string path = "/nonexistent:" + (folder / "bin").string();
    EXPECT_EQ(FindProgram("ping", path), tool.string());
    EXPECT_EQ(FindProgram("plain", path), std::nullopt);
    EXPECT_EQ(FindProgram("ping", "/nonexistent"), std::nullopt);
    EXPECT_EQ(FindProgram(tool.string(), ""), tool.string());
    EXPECT_EQ(FindProgram("", path), std::nullopt);
    std::filesystem::remove_all(folder);
}

TEST(ToolCommands, OutputBecomesLines) {
    ToolOutput output;
    EXPECT_EQ(output.Feed("PING 10.0.0.5\r"), Words{"PING 10.0.0.5"});
    // The LF of a CR LF split across two pieces ends no second line.
    EXPECT_EQ(output.Feed("\nreply 1\nrep"), Words{"reply 1"});
    EXPECT_EQ(output.Feed("ly 2\n\nlast"), (Words{"reply 2", ""}));
    EXPECT_EQ(output.Finish(), "last");
    EXPECT_EQ(output.Finish(), std::nullopt);
    const std::vector<std::string> parts =
        output.Feed(std::string(ToolOutput::kLongestLine * 2 + 1, 'x'));
    EXPECT_EQ(parts.size(), 2u);
    EXPECT_EQ(output.Finish(), "x");
}

}  // namespace
}  // namespace ostrel
