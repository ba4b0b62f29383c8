// The client API against the AsyncSSH and Paramiko server scripts: the legacy ciphers with
// "zlib" compression, a server that needs no authentication, a password-change request,
// banners, exit signals, and the refusal of channels the server opens.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

HCLIENT Connect(int port, const char* command, const char* password = "secret") {
    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    std::strcpy(record.szCommandLine, command);
    return SshConnectA("127.0.0.1", port, "tester", password, 15, SSH_OPTION_COMMAND, &record,
                       nullptr);
}

// Sends `data` through the echo, ends the input and reads everything back.
std::string Echo(HCLIENT client, const std::string& data) {
    std::string received;
    char buffer[8192];
    for (size_t at = 0; at < data.size(); at += 4000) {
        int piece = static_cast<int>(std::min<size_t>(4000, data.size() - at));
        if (SshWrite(client, data.data() + at, piece) != piece) return "write failed";
        DWORD available = 0;
        while (SshIsReadable(client, 0, &available) && available > 0) {
            int n = SshRead(client, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
        }
    }
    SshControl(client, SSH_CONTROL_EOF, nullptr, 0);
    return received + ReadAll(client);
}

TEST(AsyncSshSession, LegacyCiphersWithZlibBothWays) {
    Library library;
    struct Row {
        const char* cipher;
        DWORD family;
        DWORD bits;
    };
    const Row rows[] = {{"blowfish-cbc", SECURITY_CIPHER_BLOWFISH, 128},
                        {"arcfour128", SECURITY_CIPHER_RC4, 128},
                        {"arcfour256", SECURITY_CIPHER_RC4, 256}};
    std::mt19937 rng(3);
    std::string data(200000, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = i % 3 ? static_cast<char>('a' + i % 17) : static_cast<char>(rng());
    }
    for (const Row& row : rows) {
        peers::AsyncSshOptions options;
        options.kex = "diffie-hellman-group14-sha1";
        options.ciphers = row.cipher;
        options.macs = "hmac-sha1";
        options.compression = "zlib";
        peers::AsyncSshPeer peer;
        ASSERT_TRUE(peer.Start(options)) << peer.Error();
        HCLIENT client = Connect(peer.Port(), "cat");
        ASSERT_NE(client, INVALID_CLIENT) << row.cipher << ": " << LastErrorText() << peer.Log();
        SECURITYINFO info{};
        info.dwSize = sizeof info;
        ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
        EXPECT_EQ(info.dwCipher, row.family) << row.cipher;
        EXPECT_EQ(info.dwCipherStrength, row.bits) << row.cipher;
        EXPECT_TRUE(Echo(client, data) == data) << row.cipher;
        EXPECT_EQ(SshGetExitCode(client), 0);
        SshDisconnect(client);
    }
}

TEST(AsyncSshSession, AuthenticationVariants) {
    Library library;
    struct Row {
        const char* auth;
        const char* banners;
        const char* password;
        DWORD error;  // 0: the login succeeds
        const char* logLine;
    };
    const Row rows[] = {
        // No authentication needed: any password will do, none is sent.
        {"none", "", "whatever", 0, ""},
        // A change request is answered with the same password and an empty new one.
        {"change", "", "secret", 0, "CHANGE old=True new=''"},
        // Banners are read and dropped, even beyond the queue's bound (each banner stays
        // within the largest packet the transport accepts).
        {"password", "100,30000,30000,30000,30000,30000,30000", "secret", 0, ""},
        {"password", "", "wrong", KX_ERROR_AUTHENTICATION_FAILED, ""},
    };
    for (const Row& row : rows) {
        peers::AsyncSshOptions options;
        options.kex = "diffie-hellman-group14-sha1";
        options.auth = row.auth;
        options.banners = row.banners;
        peers::AsyncSshPeer peer;
        ASSERT_TRUE(peer.Start(options)) << peer.Error();
        HCLIENT client = Connect(peer.Port(), "hello", row.password);
        if (row.error) {
            EXPECT_EQ(client, INVALID_CLIENT);
            EXPECT_EQ(SshGetLastError(), row.error) << LastErrorText();
            continue;
        }
        ASSERT_NE(client, INVALID_CLIENT)
            << row.auth << " " << row.banners << ": " << LastErrorText() << peer.Log();
        EXPECT_EQ(ReadAll(client), "hello\n");
        SshDisconnect(client);
        EXPECT_NE(peer.Log().find(row.logLine), std::string::npos) << peer.Log();
    }
}

TEST(AsyncSshSession, WideConnectAndSecurityInformation) {
    Library library;
    peers::AsyncSshPeer peer;
    ASSERT_TRUE(peer.Start({})) << peer.Error();
    SSHOPTIONSW record{};
    record.dwSize = sizeof record;
    std::u16string command = u"hello";
    std::copy(command.begin(), command.end(), record.szCommandLine);
    HCLIENT client = SshConnectW(u"127.0.0.1", peer.Port(), u"tester", u"secret", 15,
                                 SSH_OPTION_COMMAND, &record, nullptr);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << peer.Log();
    SECURITYINFOW info{};
    info.dwSize = sizeof info;
    ASSERT_TRUE(SshGetSecurityInformationW(client, &info));
    std::u16string fingerprint(info.lpszFingerprint);
    EXPECT_EQ(fingerprint.size(), 47u);
    EXPECT_EQ(fingerprint[2], u':');
    EXPECT_EQ(ReadAll(client), "hello\n");
    SshDisconnect(client);
}

TEST(AsyncSshSession, ExitSignalsAndStatus) {
    Library library;
    peers::AsyncSshPeer peer;
    ASSERT_TRUE(peer.Start({})) << peer.Error();
    struct Row {
        const char* command;
        int exitCode;
    };
    const Row rows[] = {{"signal TERM", 143}, {"signal SEGV", 139}, {"signal KILL", 128},
                        {"signal ABRT", 150}, {"status 3", 3},      {"hello", 0}};
    for (const Row& row : rows) {
        HCLIENT client = Connect(peer.Port(), row.command);
        ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << peer.Log();
        ReadAll(client);
        EXPECT_EQ(SshGetExitCode(client), row.exitCode) << row.command;
        SshDisconnect(client);
    }
}

TEST(ParamikoSession, ChannelsTheServerOpensAreRefusedWithTheirTexts) {
    Library library;
    peers::AsyncSshPeer peer;
    ASSERT_TRUE(peer.StartParamiko()) << peer.Error();
    HCLIENT client = Connect(peer.Port(), "opens");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText() << peer.Log();
    // Reason 2 (connect failed) each time; the server logs the description it received.
    EXPECT_EQ(ReadAll(client),
              "session 2 Connect failed\nx11 2 Connect failed\n"
              "forwarded-tcpip 2 Connect failed\n");
    const std::string log = peer.Log();
    for (const char* text : {"Channel type not supported", "X11 forwarding is not enabled",
                             "Remote port is not recognised"}) {
        EXPECT_NE(log.find(std::string("open FAILED: ") + text), std::string::npos) << log;
    }
    EXPECT_EQ(SshGetExitCode(client), 0);
    SshDisconnect(client);
}

TEST(ParamikoSession, CredentialsChooseTheProtocol) {
    Library library;
    peers::AsyncSshPeer peer;
    ASSERT_TRUE(peer.StartParamiko()) << peer.Error();
    struct Row {
        DWORD protocol;
        const char* user;
        DWORD error;
    };
    const Row rows[] = {{SECURITY_PROTOCOL_SSH, nullptr, 0},
                        {SECURITY_PROTOCOL_SSH2, "", 0},
                        {SECURITY_PROTOCOL_DEFAULT, nullptr, 0},
                        {10, nullptr, 0},
                        {99, nullptr, KX_ERROR_INVALID_PROTOCOL},
                        {SECURITY_PROTOCOL_SSH, "someone", KX_ERROR_FEATURE_NOT_SUPPORTED},
                        // Protocol 1 only: this server speaks 2.
                        {SECURITY_PROTOCOL_SSH1, nullptr, KX_ERROR_PROTOCOL_NOT_SUPPORTED}};
    for (const Row& row : rows) {
        LPSECURITYCREDENTIALS credentials = nullptr;
        ASSERT_TRUE(SshCreateSecurityCredentialsA(row.protocol, 0, row.user, "unused", nullptr,
                                                  &credentials));
        HCLIENT client =
            SshConnectA("127.0.0.1", peer.Port(), "tester", "secret", 15, 0, nullptr, credentials);
        if (row.error) {
            EXPECT_EQ(client, INVALID_CLIENT) << row.protocol;
            EXPECT_EQ(SshGetLastError(), row.error) << row.protocol << " " << LastErrorText();
        } else {
            ASSERT_NE(client, INVALID_CLIENT) << row.protocol << " " << LastErrorText();
            char text[64];
            ASSERT_EQ(SshWrite(client, "x", 1), 1);
            EXPECT_GT(SshRead(client, text, sizeof text), 0);  // the shell's echo line
            SshDisconnect(client);
        }
        SshDeleteSecurityCredentialsA(&credentials);
        EXPECT_EQ(credentials, nullptr);
    }
}

}  // namespace
}  // namespace tessan::apitest

namespace tessan::apitest {
namespace {

// AsyncSSH and Paramiko with the algorithm lists they offer out of the box, once with our
// original order first and once with the modern algorithms first.
TEST(PythonServersDefaults, LogInWithTheirOwnListsInBothOrders) {
    Library library;
    peers::AsyncSshOptions options;
    options.hostKey = "default";
    peers::AsyncSshPeer asyncssh, paramiko;
    ASSERT_TRUE(asyncssh.Start(options)) << asyncssh.Error();
    ASSERT_TRUE(paramiko.StartParamiko(true)) << paramiko.Error();
    struct Case {
        const char* name;
        peers::AsyncSshPeer* server;
        DWORD options;
        const char* kex;
        const char* hostKey;
        const char* cipher;
        const char* mac;
    };
    const Case cases[] = {
        {"AsyncSSH", &asyncssh, 0, "diffie-hellman-group-exchange-sha256", "ssh-rsa", "aes256-ctr",
         "hmac-sha1"},
        {"AsyncSSH, modern first", &asyncssh, SSH_OPTION_PREFERMODERN, "curve25519-sha256",
         "ssh-ed25519", "chacha20-poly1305@openssh.com", ""},
        {"Paramiko", &paramiko, 0, "diffie-hellman-group-exchange-sha256", "ssh-rsa", "aes256-ctr",
         "hmac-sha1"},
        {"Paramiko, modern first", &paramiko, SSH_OPTION_PREFERMODERN,
         "curve25519-sha256@libssh.org", "rsa-sha2-512", "aes256-ctr", "hmac-sha2-256"},
    };
    for (const Case& c : cases) {
        SSHOPTIONS record{};
        record.dwSize = sizeof record;
        std::strcpy(record.szCommandLine, "hello");
        HCLIENT client = SshConnectA("127.0.0.1", c.server->Port(), "tester", "secret", 15,
                                     SSH_OPTION_COMMAND | c.options, &record, nullptr);
        ASSERT_NE(client, INVALID_CLIENT) << c.name << ": " << LastErrorText() << "\n"
                                          << c.server->Log();
        SECURITYINFO info{};
        info.dwSize = sizeof info;
        ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
        EXPECT_STREQ(info.lpszKeyExchange, c.kex) << c.name;
        EXPECT_STREQ(info.lpszHostKeyAlgorithm, c.hostKey) << c.name;
        EXPECT_STREQ(info.lpszCipherIn, c.cipher) << c.name;
        EXPECT_STREQ(info.lpszMacIn, c.mac) << c.name;
        EXPECT_EQ(ReadAll(client), "hello\n") << c.name;
        EXPECT_EQ(SshDisconnect(client), 0);
    }
}

}  // namespace
}  // namespace tessan::apitest
