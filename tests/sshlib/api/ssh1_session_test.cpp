// Protocol 1 through the client API against the scripted SSH-1 server (peers/ssh1_server.py):
// each cipher with the security information it reports, the password hidden among ignore
// messages (and the quirks that change that), the session on a pseudo-terminal with data both
// ways, end of input and the exit status, the refused port open, and streams broken by a
// damaged check or the CRC-32 compensation attack.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

// The server's log lines that start with `prefix`, after the first `skip` bytes of the log.
std::vector<std::string> LogLines(const std::string& log, const std::string& prefix,
                                  size_t skip = 0) {
    std::vector<std::string> lines;
    std::istringstream in(log.substr(std::min(skip, log.size())));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line.substr(prefix.size()));
    return lines;
}

HCLIENT Connect(int port, const char* password, const std::string& command, DWORD options = 0,
                SSHOPTIONS* record = nullptr) {
    SSHOPTIONS local{};
    local.dwSize = sizeof local;
    if (!record) record = &local;
    if (!command.empty()) {
        options |= SSH_OPTION_COMMAND;
        std::strncpy(record->szCommandLine, command.c_str(), sizeof record->szCommandLine - 1);
    }
    return SshConnectA("127.0.0.1", port, "tester", password, 15, options, record, nullptr);
}

struct Server {
    explicit Server(const peers::Ssh1Options& options) { started = peer.Start(options); }

    // The log once the server has seen the end of `connections` connections in all.
    std::string LogAfter(size_t connections) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        std::string log = peer.Log();
        while (LogLines(log, "END").size() < connections &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            log = peer.Log();
        }
        return log;
    }

    peers::Ssh1Peer peer;
    bool started;
};

TEST(Ssh1, EachCipherRunsACommandAndReportsItsSecurity) {
    Library library;
    ASSERT_TRUE(library.Ok());
    const struct {
        const char* offered;
        const char* chosen;
        DWORD code;
        DWORD bits;
    } cases[] = {
        {"3", "3", SECURITY_CIPHER_DES3, 168},
        {"6", "6", SECURITY_CIPHER_BLOWFISH, 128},
        {"2", "2", SECURITY_CIPHER_DES, 56},
        {"3,6,2", "6", SECURITY_CIPHER_BLOWFISH, 128},  // Blowfish comes first by default
    };
    for (const auto& c : cases) {
        peers::Ssh1Options options;
        options.ciphers = c.offered;
        options.exitStatus = 3;
        Server server(options);
        ASSERT_TRUE(server.started) << server.peer.Error();
        HCLIENT client = Connect(server.peer.Port(), "secret", "print hello");
        ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << server.peer.Log();
        SECURITYINFO info{};
        info.dwSize = sizeof info;
        ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
        EXPECT_EQ(info.dwProtocol, static_cast<DWORD>(SECURITY_PROTOCOL_SSH1));
        EXPECT_EQ(info.dwCipher, c.code) << c.offered;
        EXPECT_EQ(info.dwCipherStrength, c.bits);
        EXPECT_EQ(SshGetExitCode(client), SSH_ERROR);  // still connected
        EXPECT_EQ(ReadAll(client), "hello\n");
        EXPECT_EQ(SshGetExitCode(client), 3);
        const std::string log = server.LogAfter(1);
        EXPECT_EQ(LogLines(log, "CIPHER "), std::vector<std::string>{c.chosen});
        ASSERT_EQ(LogLines(log, "FINGERPRINT ").size(), 1u);
        EXPECT_STREQ(info.lpszFingerprint, LogLines(log, "FINGERPRINT ")[0].c_str());
        EXPECT_EQ(LogLines(log, "CLIENT "), std::vector<std::string>{"SSH-1.5-Carrack_7.0"});
        EXPECT_EQ(LogLines(log, "EXEC "), std::vector<std::string>{"print hello"});
        EXPECT_EQ(LogLines(log, "EXIT-CONFIRMED").size(), 1u);
        EXPECT_TRUE(LogLines(log, "ERROR").empty()) << log;
        SshDisconnect(client);
    }
}

// The password message among ignore messages of the lengths around it, in one batch; the
// quirks of old servers; a refused password ends the connect at once.
TEST(Ssh1, PasswordLengthIsHiddenUnlessTheServerCannotTakeIt) {
    Library library;
    ASSERT_TRUE(library.Ok());
    auto lengths = [](int from, int to, int password) {
        std::vector<std::string> lines;
        for (int n = from; n <= to; ++n)
            lines.push_back((n == password ? "9 " : "32 ") + std::to_string(n));
        return lines;
    };
    const struct {
        const char* version;
        std::string password;
        DWORD options;
        std::vector<std::string> messages;
    } cases[] = {
        {"1.2.27", "abcde", 0, lengths(0, 15, 5)},
        {"1.2.27", "twenty-characters-pw", 0, lengths(16, 23, 20)},
        {"1.2.27", "sixteen-chars-pw", 0, lengths(16, 23, 16)},
        {"1.2.27", "abcde", SSH_OPTION_NOPWDNUL, {"9 5"}},  // plain
        {"1.2.22", "abcde", 0, {"9 64"}},                   // no ignore messages: padded
        {"Cisco-1.25", "abcde", 0, {"9 5"}},                // plain
    };
    std::string version;
    std::unique_ptr<Server> server;
    size_t connections = 0;
    for (const auto& c : cases) {
        if (version != c.version) {
            peers::Ssh1Options options;
            options.version = c.version;
            server = std::make_unique<Server>(options);
            ASSERT_TRUE(server->started) << server->peer.Error();
            version = c.version;
            connections = 0;
        }
        const size_t before = server->peer.Log().size();
        EXPECT_EQ(Connect(server->peer.Port(), c.password.c_str(), "print x", c.options),
                  INVALID_CLIENT);
        EXPECT_EQ(SshGetLastError(), KX_ERROR_AUTHENTICATION_FAILED) << LastErrorText();
        const std::string log = server->LogAfter(++connections);
        EXPECT_EQ(LogLines(log, "AUTH ", before), c.messages) << c.version << " " << c.password;
        EXPECT_EQ(LogLines(log, "LOGIN ", before), std::vector<std::string>{"refused"});
    }
    // The right password, padded for the old server, logs in.
    HCLIENT client = Connect(server->peer.Port(), "secret", "print x");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(ReadAll(client), "x\n");
    SshDisconnect(client);

    peers::Ssh1Options open;
    open.auth = "none";
    Server noPassword(open);
    ASSERT_TRUE(noPassword.started) << noPassword.peer.Error();
    client = Connect(noPassword.peer.Port(), "unused", "print y");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(ReadAll(client), "y\n");
    EXPECT_TRUE(LogLines(noPassword.peer.Log(), "AUTH ").empty());
    SshDisconnect(client);
}

TEST(Ssh1, ShellOnAPseudoTerminalEchoesUntilEndOfInput) {
    Library library;
    ASSERT_TRUE(library.Ok());
    peers::Ssh1Options options;
    options.portOpen = true;  // refused, and the session goes on
    options.exitStatus = 7;
    Server server(options);
    ASSERT_TRUE(server.started) << server.peer.Error();

    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    record.nTermCols = 100;
    record.nTermRows = 30;
    std::strcpy(record.szTermType, "vt100");
    HCLIENT client = Connect(server.peer.Port(), "secret", "", SSH_OPTION_TERMINAL, &record);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << server.peer.Log();
    const std::string big(1500, 'b');  // three data messages of at most 512 bytes
    for (const std::string& text : {std::string("hello\n"), big}) {
        ASSERT_EQ(SshWrite(client, text.data(), static_cast<int>(text.size())),
                  static_cast<int>(text.size()));
        EXPECT_EQ(ReadUntil(client, text), text);
    }
    EXPECT_EQ(SshControl(client, SSH_CONTROL_KEEPALIVE, nullptr, 0), 0);
    EXPECT_EQ(SshControl(client, SSH_CONTROL_EOF, nullptr, 0), 0);
    int last = -1;
    EXPECT_EQ(ReadAll(client, &last), "");
    EXPECT_EQ(last, 0);
    EXPECT_EQ(SshGetExitCode(client), 7);
    SshDisconnect(client);

    const std::string log = server.LogAfter(1);
    EXPECT_EQ(LogLines(log, "PTY "), std::vector<std::string>{"vt100 30 100 38400 38400 end=0"});
    EXPECT_EQ(LogLines(log, "SHELL").size(), 1u);
    EXPECT_EQ(LogLines(log, "OPEN-FAILURE "), std::vector<std::string>{"77"});
    EXPECT_EQ(LogLines(log, "EOF").size(), 1u);
    EXPECT_EQ(LogLines(log, "EXIT-CONFIRMED").size(), 1u);
    EXPECT_TRUE(LogLines(log, "ERROR").empty()) << log;

    // Standard error comes with standard output; a one-shot command converts line ends.
    client = Connect(server.peer.Port(), "secret", "both");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(ReadAll(client), "out\nerr\n");
    SshDisconnect(client);
    char output[32];
    DWORD length = sizeof output;
    EXPECT_EQ(SshExecuteA("127.0.0.1", server.peer.Port(), "tester", "secret", "print a", 15, 0,
                          output, &length, nullptr),
              7);
    EXPECT_EQ(std::string(output, length), "a\r\n");
}

TEST(Ssh1, BrokenStreamsEndTheConnectionWithTheirReason) {
    Library library;
    ASSERT_TRUE(library.Ok());
    const struct {
        bool attack;
        DWORD error;
        const char* disconnect;
    } cases[] = {
        {true, KX_ERROR_ATTACK_DETECTED, "CRC-32 compensation attack detected"},
        {false, KX_ERROR_PACKET_CORRUPTED, "Corrupted check bytes on input"},
    };
    for (const auto& c : cases) {
        peers::Ssh1Options options;
        options.attack = c.attack;
        options.corrupt = !c.attack;
        Server server(options);
        ASSERT_TRUE(server.started) << server.peer.Error();
        EXPECT_EQ(Connect(server.peer.Port(), "secret", "print x"), INVALID_CLIENT);
        EXPECT_EQ(SshGetLastError(), c.error) << LastErrorText();
        // The disconnect message reaches the server before the connection closes.
        const std::string log = server.LogAfter(1);
        EXPECT_EQ(LogLines(log, "DISCONNECT "), std::vector<std::string>{c.disconnect}) << log;
    }

    // A caller that allows protocol 2 only does not log in to a protocol-1 server.
    Server server{peers::Ssh1Options{}};
    ASSERT_TRUE(server.started) << server.peer.Error();
    LPSECURITYCREDENTIALS credentials = nullptr;
    ASSERT_TRUE(SshCreateSecurityCredentialsA(SECURITY_PROTOCOL_SSH2, 0, nullptr, nullptr, nullptr,
                                              &credentials));
    EXPECT_EQ(SshConnectA("127.0.0.1", server.peer.Port(), "tester", "secret", 15, 0, nullptr,
                          credentials),
              INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_PROTOCOL_NOT_SUPPORTED) << LastErrorText();
    SshDeleteSecurityCredentialsA(&credentials);
}

// An expected host key is checked before the session key (and so the password) goes out; the
// protocol has only the MD5 form, so an expected SHA-256 form never matches. A weak host key is
// refused whatever is expected.
TEST(Ssh1, AnExpectedHostKeyIsCheckedBeforeTheSessionKey) {
    Library library;
    ASSERT_TRUE(library.Ok());
    Server server(peers::Ssh1Options{});
    ASSERT_TRUE(server.started) << server.peer.Error();
    HCLIENT client = Connect(server.peer.Port(), "secret", "print hello");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
    const std::string md5 = info.lpszFingerprint;
    SshDisconnect(client);
    std::string other = md5;
    other[0] = other[0] == '0' ? '1' : '0';
    const struct {
        std::string expected;
        bool accepted;
    } cases[] = {
        {md5, true}, {other, false}, {"SHA256:uNiVztksCsDhcc0u9e8BujQXVUpKZIDTMczCvj3tD2s", false}};
    size_t connections = 1;
    for (const auto& c : cases) {
        LPSECURITYCREDENTIALS credentials = nullptr;
        ASSERT_TRUE(SshCreateSecurityCredentialsA(SECURITY_PROTOCOL_SSH, 0, nullptr, nullptr,
                                                  nullptr, &credentials));
        credentials->lpszHostKey = c.expected.c_str();
        client = SshConnectA("127.0.0.1", server.peer.Port(), "tester", "secret", 15, 0, nullptr,
                             credentials);
        EXPECT_EQ(client != INVALID_CLIENT, c.accepted) << c.expected;
        if (!c.accepted) {
            EXPECT_EQ(SshGetLastError(), KX_ERROR_HOST_KEY_MISMATCH);
        }
        SshDeleteSecurityCredentialsA(&credentials);
        if (client != INVALID_CLIENT) SshDisconnect(client);
        const std::string log = server.LogAfter(++connections);
        const std::string last = log.substr(log.rfind("CLIENT "));
        EXPECT_EQ(last.find("CIPHER ") != std::string::npos, c.accepted) << last;
        EXPECT_EQ(last.find("AUTH ") != std::string::npos, c.accepted) << last;
    }

    // A host key small enough to factor is refused before the session key goes out.
    peers::Ssh1Options weak;
    weak.hostKeyBits = 768;
    Server weakServer(weak);
    ASSERT_TRUE(weakServer.started) << weakServer.peer.Error();
    EXPECT_EQ(Connect(weakServer.peer.Port(), "secret", "print hello"), INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_HOST_KEY_NOT_VERIFIED) << LastErrorText();
    char detail[256];
    SshGetErrorDetailA(detail, sizeof detail);
    EXPECT_STREQ(detail, "RSA host key of 768 bits refused (at least 1024 are needed)");
    const std::string log = weakServer.LogAfter(1);
    EXPECT_EQ(log.find("CIPHER "), std::string::npos) << log;
}

}  // namespace
}  // namespace tessan::apitest
