// The console's /ssh against OpenSSH's sshd on loopback, with the SSH library's password account
// (skipped without it): the password from the environment in a script, typed unseen on a
// terminal, and a refused login in the exit status.
#include <gtest/gtest.h>

#include <string>

#include "console_process.h"
#include "ssh_peers.h"

namespace ostrel::testing {
namespace {

namespace peers = tessan::testing;

class ConsoleSshTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new peers::SshdPeer;
        started_ = server_->Start(peers::QuickSshdOptions());
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!peers::PasswordAccount().error.empty())
            GTEST_SKIP() << "no password account: " << peers::PasswordAccount().error;
        ASSERT_TRUE(started_) << server_->Error();
    }

    static std::string Target() {
        return peers::PasswordAccount().user + "@127.0.0.1:" + std::to_string(server_->Port());
    }

    TempFolder home_;
    static peers::SshdPeer* server_;
    static bool started_;
};
peers::SshdPeer* ConsoleSshTest::server_ = nullptr;
bool ConsoleSshTest::started_ = false;

// A script logs in with OSTREL_SSH_PASSWORD; the line after /ssh waits for the login and runs
// in the shell, and --expect sees the command's output.
TEST_F(ConsoleSshTest, AScriptRunsACommandAndExpectsItsOutput) {
    const std::string password = peers::PasswordAccount().password;
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console", "--wait", "3", "--expect", "sum=42"},
                               {"OSTREL_HOME=" + home_.Path(), "OSTREL_SSH_PASSWORD=" + password}}));
    // ("$" starts a byte escape in a typed line; the shell computes with expr instead.)
    console.Write("/ssh " + Target() + "\necho sum=`expr 6 '*' 7`\n");
    console.CloseInput();
    EXPECT_EQ(console.Wait(20000), 0) << console.Out() << console.Err();
    const std::string& out = console.Out();
    const std::size_t connected = out.find("SSH Client Connected...");
    ASSERT_NE(connected, std::string::npos) << out;
    EXPECT_NE(out.find("Host key fingerprint: ", connected), std::string::npos) << out;
    EXPECT_NE(out.find("sum=42", connected), std::string::npos) << out;
    EXPECT_EQ(out.find("port not open"), std::string::npos) << out;
    EXPECT_EQ(out.find(password), std::string::npos);
    EXPECT_EQ(console.Err().find(password), std::string::npos);
}

// A wrong password: the library's reason is shown and the exit status says nothing was opened.
TEST_F(ConsoleSshTest, ARefusedLoginExitsNonZero) {
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console", "--wait", "0"},
                               {"OSTREL_HOME=" + home_.Path(), "OSTREL_SSH_PASSWORD=wrong-password"}}));
    console.Write("/ssh " + Target() + "\n");
    console.CloseInput();
    EXPECT_EQ(console.Wait(20000), 1) << console.Out() << console.Err();
    EXPECT_NE(console.Out().find("Unable to authenticate the specified user"), std::string::npos)
        << console.Out();
    EXPECT_EQ(console.Out().find("SSH Client Connected..."), std::string::npos);
}

// On a terminal the password is asked for and typed without being shown.
TEST_F(ConsoleSshTest, OnATerminalThePasswordIsTypedUnseen) {
    const std::string password = peers::PasswordAccount().password;
    ConsoleProcess console;
    ASSERT_TRUE(console.Start({{"--console", "--no-color"},
                               {"OSTREL_HOME=" + home_.Path(), "OSTREL_SSH_PASSWORD", "TERM=xterm"},
                               true}));
    console.Write("/ssh " + Target() + "\r");
    ASSERT_TRUE(console.WaitForOutput("Password")) << console.Out();
    const std::size_t asked = console.Out().size();
    console.Write(password + "\r");
    ASSERT_TRUE(console.WaitForOutput("SSH Client Connected...", 20000)) << console.Out();
    console.Write("echo typed-`expr 40 + 2`\r");
    ASSERT_TRUE(console.WaitForOutput("typed-42", 10000, asked)) << console.Out();
    EXPECT_EQ(console.Out().find(password, asked), std::string::npos) << console.Out();
    console.Write("/quit\r");
    EXPECT_EQ(console.Wait(), 0) << console.Out();
}

}  // namespace
}  // namespace ostrel::testing
