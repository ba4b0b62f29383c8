// Installs the library into a temporary prefix, builds the examples against that copy alone
// (with pkg-config, and with CMake's find_package) and runs them against sshd: the installed
// header must compile on its own, the installed libraries must find each other, and the
// package files must point at the prefix they were installed to.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "ssh_peers.h"

namespace tessan::testing {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class InstalledExamples : public ::testing::Test {
protected:
    // Runs a shell command with its output going to `log`; true when it exits with 0.
    bool Shell(const std::string& command, const std::string& log) {
        return RunProgram({"/bin/sh", "-c", command + " > " + Quote(log) + " 2>&1"});
    }

    TempDir dir_;
};

TEST_F(InstalledExamples, BuildWithPkgConfigAndCMakeAndRunAgainstSshd) {
    const std::string build = Env("OSTREL_BUILD_DIR"), source = Env("OSTREL_SOURCE_DIR");
    ASSERT_FALSE(build.empty() || source.empty());
    const std::string prefix = dir_.File("prefix"), log = dir_.File("log");
    ASSERT_TRUE(Shell(
        Quote(Env("OSTREL_CMAKE")) + " --install " + Quote(build) + " --prefix " + Quote(prefix),
        log))
        << ReadText(log);

    // pkg-config: the .pc file finds its prefix from where it lies.
    const std::string examples = source + "/examples";
    for (const char* name : {"blocking", "events"}) {
        const std::string command =
            "PKG_CONFIG_PATH=" + Quote(prefix + "/lib/pkgconfig") + " && export PKG_CONFIG_PATH" +
            " && " + Quote(Env("OSTREL_C_COMPILER")) +
            " -std=c11 -Wall -Wextra -Wpedantic -Werror " + Quote(examples + "/" + name + ".c") +
            " $(pkg-config --cflags --libs tessan) -Wl,-rpath," + Quote(prefix + "/lib") + " -o " +
            Quote(dir_.File(std::string("pc-") + name));
        ASSERT_TRUE(Shell(command, log)) << name << ":\n" << ReadText(log);
    }
    // CMake: find_package(Tessan) with the prefix on the search path.
    const std::string cmakeBuild = dir_.File("cmake-build");
    ASSERT_TRUE(Shell(Quote(Env("OSTREL_CMAKE")) + " -S " + Quote(examples) + " -B " +
                          Quote(cmakeBuild) + " -DCMAKE_PREFIX_PATH=" + Quote(prefix) +
                          " -DCMAKE_C_FLAGS='-Wall -Wextra -Werror' && " +
                          Quote(Env("OSTREL_CMAKE")) + " --build " + Quote(cmakeBuild),
                      log))
        << ReadText(log);

    const TestAccount& account = PasswordAccount();
    if (!account.error.empty()) GTEST_SKIP() << account.error;
    SshdPeer sshd;
    ASSERT_TRUE(sshd.Start(QuickSshdOptions())) << sshd.Error();
    setenv("TESSAN_PASSWORD", account.password.c_str(), 1);
    const std::string programs[] = {dir_.File("pc-blocking"), dir_.File("pc-events"),
                                    cmakeBuild + "/blocking", cmakeBuild + "/events"};
    for (const std::string& program : programs) {
        ChildProcess child;
        ASSERT_TRUE(child.Start({program, "127.0.0.1", std::to_string(sshd.Port()), account.user,
                                 "echo installed; exit 3"},
                                log));
        EXPECT_EQ(child.ReadLine(60000), "installed") << program << ": " << ReadText(log);
        EXPECT_EQ(child.ReadLine(60000), "exit code: 3") << program << ": " << ReadText(log);
    }
    // A refused login is reported through SshGetErrorStringA, with a failing exit status.
    setenv("TESSAN_PASSWORD", "not the password", 1);
    EXPECT_FALSE(
        RunProgram({"/bin/sh", "-c",
                    Quote(dir_.File("pc-blocking")) + " 127.0.0.1 " + std::to_string(sshd.Port()) +
                        " " + account.user + " true 2> " + Quote(log)}));
    EXPECT_NE(ReadText(log).find("connect: "), std::string::npos) << ReadText(log);
    unsetenv("TESSAN_PASSWORD");
}

}  // namespace
}  // namespace tessan::testing
