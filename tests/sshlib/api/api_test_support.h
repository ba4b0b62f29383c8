// Helpers of the client API tests: the library initialised for a test, a shared sshd that
// accepts the password account, and blocking reads until a marker or the end.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ssh_peers.h"
#include "sshlib/api/tessan.h"

namespace tessan::apitest {

namespace peers = tessan::testing;

// SshInitializeA for the test's lifetime.
class Library {
public:
    Library() { initialised_ = SshInitializeA(nullptr, nullptr) != 0; }
    ~Library() {
        if (initialised_) SshUninitialize();
    }
    bool Ok() const { return initialised_; }

private:
    bool initialised_ = false;
};

// A plain window of the calling thread, destroyed with the guard.
class EventWindowGuard {
public:
    EventWindowGuard();
    ~EventWindowGuard();
    HWND Get() const { return window_; }

private:
    HWND window_;
};

// The password account, or a skip of the test when there is none.
#define TESSAN_REQUIRE_ACCOUNT()                                                       \
    do {                                                                               \
        if (!peers::PasswordAccount().error.empty()) {                                 \
            GTEST_SKIP() << "no password account: " << peers::PasswordAccount().error; \
        }                                                                              \
    } while (0)

// A test suite whose cases share one sshd with the quick algorithm set: each case needs the
// password account and the server, and has the library initialised.
class SshdSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    static int Port();

    Library library_;

private:
    static peers::SshdPeer* server_;
    static bool started_;
};

// Reads until the session ends (or a read fails): the bytes, and the last result.
std::string ReadAll(HCLIENT client, int* lastResult = nullptr);
// Reads until `marker` has been received (or the session ends / a read fails).
std::string ReadUntil(HCLIENT client, const std::string& marker);
// The text of the calling thread's last error.
std::string LastErrorText();

// Connects to 127.0.0.1:port as the password account with a command (SSH_OPTION_COMMAND) or,
// when `command` is empty, a shell.
HCLIENT ConnectAccount(int port, const std::string& command, DWORD options = 0, UINT timeout = 15);

}  // namespace tessan::apitest
