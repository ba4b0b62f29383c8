// The SSH Client session's paths that a real server does not reach: the values it connects
// with, failed credentials, a connect event with an error, a connection replaced by Restart,
// a connect that returns after Close, and the release of every credentials record. The
// session against sshd is tested through the main window.
#include "terminal/session/ssh_client_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "session_fakes.h"
#include "terminal/session/session_model.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;

const std::uint32_t kConnected = kSshEventConnect;
const std::uint32_t kDisconnected = kSshEventDisconnect;
SshEventWindow const kWindow = reinterpret_cast<SshEventWindow>(0x5123);

class SshSessionTest : public ::testing::Test {
protected:
    SshSessionTest() {
        model_.RegisterSession(SessionType::SshClient, session_);
        host_.dialog = [](SessionType, SessionSettings& s) {
            s.host = " 10.0.0.9 ";
            s.port = "2222";
            s.sshUser = " admin ";
            s.sshPassword = " secret ";
            s.inUse = true;
            return DialogResult::Confirmed;
        };
    }
    ~SshSessionTest() override { std::filesystem::remove(keys_.File()); }

    // The connect succeeds with this handle after its connect event.
    void ConnectsAs(int handle) {
        ssh_.onConnect = [this, handle] {
            session_.OnEvent(handle, kConnected);
            return handle;
        };
    }

    SessionSettings settings_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    RecordingHost host_;
    SessionModel model_{settings_, net_, serial_, host_};
    ScriptedSsh ssh_;
    HostKeyStore keys_{std::filesystem::temp_directory_path() /
                       ("ostrel-ssh-session-" + std::to_string(::getpid()) + ".txt")};
    SshClientSession session_{model_, ssh_, keys_, kWindow};
};

TEST_F(SshSessionTest, OpensWithTheTerminalsValuesAndAFailedStartEndsTheSession) {
    ssh_.lastError = ScriptedSsh::kErrorBase | 10061;
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(ssh_.protocols, std::vector<unsigned>{48});
    ASSERT_EQ(ssh_.connects.size(), 1u);
    const ScriptedSsh::Connect& c = ssh_.connects[0];
    EXPECT_EQ(c.host, "10.0.0.9");
    EXPECT_EQ(c.port, 2222);
    EXPECT_EQ(c.user, "admin");
    EXPECT_EQ(c.password, "secret");
    EXPECT_EQ(c.timeout, 5u);
    EXPECT_EQ(c.options, 0u);
    EXPECT_NE(c.credentials, nullptr);
    EXPECT_EQ(c.window, kWindow);
    EXPECT_EQ(c.message, 5123u);
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Attempting SSH Client Connection...", "Security credentials created...",
                       "SSH Client FAILED to open!", "   IP/URL = 10.0.0.9", "   Port   = 2222",
                       "error 10061"}));
    EXPECT_FALSE(settings_.inUse);
    EXPECT_EQ(settings_.type, SessionType::None);
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_EQ(ssh_.liveCredentials, 0);

    ssh_.credentialsOk = false;
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(host_.StatusLines().back(), "error 12001");
    EXPECT_EQ(host_.StatusLines()[host_.StatusLines().size() - 2],
              "Error creating security credentials..");
    EXPECT_EQ(ssh_.connects.size(), 1u);
}

// The library's detail of a failed connect follows the error's own text; the SHA-256 form of a
// host key follows the MD5 form.
TEST_F(SshSessionTest, TheDetailOfAFailureAndTheSha256FingerprintAreShown) {
    ssh_.lastError = ScriptedSsh::kErrorBase | 12101;
    ssh_.errorDetail = "No common host key algorithm (the server offers: ssh-dss)";
    model_.OpenFromMenu(SessionType::SshClient);
    const Strings lines = host_.StatusLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "error 12101");
    EXPECT_EQ(lines.back(), ssh_.errorDetail);

    ssh_.errorDetail.clear();
    ssh_.fingerprintSha256 = "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s";
    ConnectsAs(7);
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(host_.shown.back(),
              (ShownLine{"Host key SHA-256 fingerprint: " + ssh_.fingerprintSha256,
                         DisplayCategory::Informational}));
}

// A host met before must present the key remembered for it: the session hands that key to the
// library, which refuses another before the password leaves; the lines name both keys and how
// to accept the new one. A host met for the first time is connected to without expectation and
// remembered (trust on first use), and then expected at the next connect.
TEST_F(SshSessionTest, TheRememberedKeyIsExpectedAndARefusedKeyIsExplained) {
    const std::string oldSha256 = "SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s";
    const std::string newSha256 = "SHA256:q0B6sJ2ZOs0bDgLZ3gDzJcRK1p5+uTYcnbvz9T4r7Gk";
    ssh_.fingerprint = "11:22";
    ssh_.fingerprintSha256 = oldSha256;
    ConnectsAs(7);
    model_.OpenFromMenu(SessionType::SshClient);
    ASSERT_EQ(ssh_.connects.size(), 1u);
    EXPECT_EQ(ssh_.connects[0].expectedHostKey, "");
    model_.Close();

    ssh_.onConnect = nullptr;
    ssh_.lastError = static_cast<int>(kSshErrorHostKeyMismatch);
    ssh_.errorDetail =
        "Host key does not match the expected key: the server presented ssh-rsa "
        "2048 33:44 " +
        newSha256;
    model_.OpenFromMenu(SessionType::SshClient);
    ASSERT_EQ(ssh_.connects.size(), 2u);
    EXPECT_EQ(ssh_.connects[1].expectedHostKey, oldSha256);
    const Strings lines = host_.StatusLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Strings(lines.end() - 4, lines.end()),
              (Strings{"WARNING: the host key of 10.0.0.9 port 2222 has CHANGED since the last "
                       "connection! The password was not sent.",
                       "   Remembered fingerprint: 11:22 " + oldSha256,
                       "   Presented fingerprint:  33:44 " + newSha256,
                       "This may be another device, or someone between you and the device. If "
                       "the device's key was changed on purpose, choose Session > Forget Host "
                       "Key (/forget-host-key in the console) or remove its line from " +
                           keys_.File().string() + ", then open the session again..."}));

    // Forgotten, the host is new again: no expectation, and the key shown is remembered.
    std::string error;
    EXPECT_EQ(keys_.Forget("10.0.0.9", 2222, error), 1) << error;
    ssh_.fingerprint = "33:44";
    ssh_.fingerprintSha256 = newSha256;
    ConnectsAs(8);
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(ssh_.connects.back().expectedHostKey, "");
    ASSERT_TRUE(keys_.Remembered("10.0.0.9", 2222));
    EXPECT_EQ(keys_.Remembered("10.0.0.9", 2222)->sha256, newSha256);
}

TEST_F(SshSessionTest, AConnectEventWithAnErrorOnlyShowsItsText) {
    ssh_.onConnect = [this] {
        session_.OnEvent(7, kConnected | 10060u << 16);
        return 7;
    };
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(host_.StatusLines().back(), "error 10060");
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_TRUE(settings_.inUse);
    EXPECT_EQ(session_.Handle(), 7);
}

// Restart opens without closing: the old connection is disconnected first and what it still
// reports is dropped. Every credentials record is released once its connection has ended.
TEST_F(SshSessionTest, RestartReplacesTheConnectionAndEveryCredentialsRecordIsReleased) {
    ConnectsAs(7);
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(settings_.state, ConnectionState::Connected);
    EXPECT_EQ(host_.shown.back(),
              (ShownLine{"Host key fingerprint: aa:bb", DisplayCategory::Informational}));
    EXPECT_EQ(ssh_.liveCredentials, 1);

    ConnectsAs(8);
    model_.Restart();
    EXPECT_EQ(ssh_.disconnects, std::vector<int>{7});
    EXPECT_EQ(ssh_.liveCredentials, 1);
    const std::size_t shown = host_.shown.size();
    session_.OnEvent(7, kDisconnected);
    EXPECT_EQ(host_.shown.size(), shown);
    EXPECT_EQ(settings_.state, ConnectionState::Connected);

    session_.OnEvent(8, kDisconnected);
    EXPECT_EQ(host_.StatusLines().back(), "SSH Client Disconnected...");
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_EQ(ssh_.liveCredentials, 0);
    // Close after the end: the handle goes, the end is not reported twice.
    model_.Close();
    EXPECT_EQ(ssh_.disconnects, (std::vector<int>{7, 8}));
    EXPECT_EQ(host_.shown.size(), shown + 1);
    EXPECT_FALSE(settings_.inUse);
}

// The library takes nothing of a write once the session has ended, before that end is
// reported: a line sent then, or a remote echo, fails with the library's reason instead of
// being lost without a word.
TEST_F(SshSessionTest, AWriteTheLibraryTakesNothingOfIsAFailure) {
    ConnectsAs(7);
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(session_.Write("ls\r\n"), 4);
    ssh_.writeResult = 0;
    ssh_.lastError = ScriptedSsh::kErrorBase | 10057;
    EXPECT_EQ(session_.Write("ls\r\n"), -1);

    model_.SetRemoteEcho(true);
    ssh_.reads = {"abc"};
    const std::size_t shown = host_.StatusLines().size();
    session_.OnEvent(7, kSshEventRead);
    EXPECT_EQ(host_.Incoming(), "abc");
    EXPECT_EQ(ssh_.written, "ls\r\nls\r\nabc");
    ASSERT_EQ(host_.StatusLines().size(), shown + 1);
    EXPECT_EQ(host_.StatusLines().back(), "error 10057");
}

TEST_F(SshSessionTest, ABackloggedConnectionHasLinesAndEchoRefused) {
    ConnectsAs(7);
    model_.OpenFromMenu(SessionType::SshClient);
    ssh_.backlogged = true;
    EXPECT_EQ(model_.Write("ls\r\n"), kWriteRefused);
    EXPECT_EQ(host_.StatusLines().back(),
              "The device is not accepting data: 1048576 bytes or more wait to be sent, so the "
              "line was not sent...");
    model_.SetRemoteEcho(true);
    ssh_.reads = {"abc"};
    session_.OnEvent(7, kSshEventRead);
    EXPECT_EQ(host_.Incoming(), "abc");
    EXPECT_EQ(ssh_.written, "");
    ssh_.backlogged = false;
    EXPECT_EQ(model_.Write("ls\r\n"), 4);
}

// A library that cannot end a waiting connect: the connection it returns after Close is
// disconnected at once and nothing is reported for it.
TEST_F(SshSessionTest, AConnectThatReturnsAfterCloseIsDisconnected) {
    ssh_.onConnect = [this] {
        model_.Close();
        session_.OnEvent(9, kConnected);
        return 9;
    };
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(ssh_.aborts, 1);
    EXPECT_EQ(ssh_.disconnects, std::vector<int>{9});
    EXPECT_EQ(host_.StatusLines().back(), "Security credentials created...");
    EXPECT_FALSE(settings_.inUse);
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_EQ(session_.Handle(), -1);
    EXPECT_EQ(ssh_.liveCredentials, 0);
}

}  // namespace
}  // namespace ostrel
