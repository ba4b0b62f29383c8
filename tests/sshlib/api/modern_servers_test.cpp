// Today's servers: OpenSSH's sshd with the distribution's own algorithm settings and each kind of
// host key, then with each modern key exchange, cipher and MAC forced in turn. Each case logs in,
// runs a command through a shell on a pseudo-terminal, and checks the names the security
// information reports. The servers of one test start side by side.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

// ssh-keygen -l's fingerprint of a public key file: "SHA256:..." or, with md5, the hex pairs.
std::string KeygenFingerprint(const std::string& publicKey, bool md5) {
    peers::ChildProcess keygen;
    std::vector<std::string> argv = {"/usr/bin/ssh-keygen", "-l", "-f", publicKey};
    if (md5) argv.insert(argv.begin() + 2, {"-E", "md5"});
    if (!keygen.Start(argv)) return {};
    const std::string line = keygen.ReadLine(5000);
    const size_t start = line.find(md5 ? "MD5:" : "SHA256:");
    if (start == std::string::npos) return {};
    const size_t from = md5 ? start + 4 : start;
    return line.substr(from, line.find(' ', from) - from);
}

struct Case {
    std::string label;
    peers::SshdOptions server;
    DWORD options = 0;
    // The names the security information must report ("" for the MACs of an authenticated
    // cipher).
    std::string kex, hostKey, cipher, mac;
    std::string keyFile;  // the host key file whose fingerprints must be reported
};

// Logs in with a shell on a pseudo-terminal, has it compute a marker and leaves.
void ShellRoundTrip(HCLIENT client, const std::string& label) {
    const std::string command = "echo ok$((6*7))ok; exit\n";
    ASSERT_EQ(SshWrite(client, command.data(), static_cast<INT>(command.size())),
              static_cast<INT>(command.size()))
        << label;
    const std::string output = ReadAll(client);
    EXPECT_NE(output.find("ok42ok"), std::string::npos) << label << ": " << output;
}

void RunCases(const std::vector<Case>& cases) {
    TESSAN_REQUIRE_ACCOUNT();
    Library library;
    std::vector<std::unique_ptr<peers::SshdPeer>> servers;
    for (const Case& c : cases) {
        servers.push_back(std::make_unique<peers::SshdPeer>());
        ASSERT_TRUE(servers.back()->Launch(c.server)) << servers.back()->Error();
    }
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ASSERT_TRUE(servers[i]->WaitReady()) << servers[i]->Error();
        HCLIENT client = ConnectAccount(servers[i]->Port(), "", c.options);
        ASSERT_NE(client, INVALID_CLIENT) << c.label << ": " << LastErrorText() << "\n"
                                          << servers[i]->Log();
        SECURITYINFO info{};
        info.dwSize = sizeof info;
        ASSERT_TRUE(SshGetSecurityInformationA(client, &info)) << LastErrorText();
        EXPECT_EQ(info.dwSize, sizeof info);
        EXPECT_STREQ(info.lpszKeyExchange, c.kex.c_str()) << c.label;
        EXPECT_STREQ(info.lpszHostKeyAlgorithm, c.hostKey.c_str()) << c.label;
        EXPECT_STREQ(info.lpszCipherOut, c.cipher.c_str()) << c.label;
        EXPECT_STREQ(info.lpszCipherIn, c.cipher.c_str()) << c.label;
        EXPECT_STREQ(info.lpszMacOut, c.mac.c_str()) << c.label;
        EXPECT_STREQ(info.lpszMacIn, c.mac.c_str()) << c.label;
        const std::string key = peers::SharedHostKeyDir() + "/" + c.keyFile + ".pub";
        EXPECT_EQ(info.lpszFingerprint, KeygenFingerprint(key, true)) << c.label;
        EXPECT_EQ(info.lpszFingerprintSha256, KeygenFingerprint(key, false)) << c.label;
        ShellRoundTrip(client, c.label);
        EXPECT_EQ(SshDisconnect(client), 0);
        servers[i].reset();
    }
}

constexpr char kAllKeys[] = "rsa,ecdsa,ed25519";

// No algorithm setting at all: the original offer still leads, so group exchange, AES-256 CTR
// and HMAC-SHA1 are chosen; the host key is the server's first one we name.
TEST(StockServer, EachHostKeyAloneAndAllThree) {
    const std::string kex = "diffie-hellman-group-exchange-sha256";
    std::vector<Case> cases = {
        {"ed25519", peers::StockSshdOptions("ed25519"), 0, kex, "ssh-ed25519", "aes256-ctr",
         "hmac-sha1", "ed25519"},
        {"ecdsa", peers::StockSshdOptions("ecdsa"), 0, kex, "ecdsa-sha2-nistp256", "aes256-ctr",
         "hmac-sha1", "ecdsa"},
        {"rsa", peers::StockSshdOptions("rsa"), 0, kex, "rsa-sha2-512", "aes256-ctr", "hmac-sha1",
         "rsa"},
        {"all three", peers::StockSshdOptions(kAllKeys), 0, kex, "ssh-ed25519", "aes256-ctr",
         "hmac-sha1", "ed25519"},
        {"all three, modern first", peers::StockSshdOptions(kAllKeys), SSH_OPTION_PREFERMODERN,
         "curve25519-sha256", "ssh-ed25519", "chacha20-poly1305@openssh.com", "", "ed25519"},
    };
    RunCases(cases);
}

TEST(ForcedServer, EachModernKeyExchange) {
    std::vector<Case> cases;
    for (const char* kex : {"curve25519-sha256", "curve25519-sha256@libssh.org",
                            "ecdh-sha2-nistp256", "diffie-hellman-group16-sha512",
                            "diffie-hellman-group18-sha512", "diffie-hellman-group14-sha256"}) {
        peers::SshdOptions options = peers::StockSshdOptions(kAllKeys);
        options.kex = kex;
        cases.push_back(
            {kex, options, 0, kex, "ssh-ed25519", "aes256-ctr", "hmac-sha1", "ed25519"});
    }
    RunCases(cases);
}

TEST(ForcedServer, EachModernCipherAndMac) {
    std::vector<Case> cases;
    for (const char* cipher :
         {"chacha20-poly1305@openssh.com", "aes128-gcm@openssh.com", "aes256-gcm@openssh.com"}) {
        peers::SshdOptions options = peers::StockSshdOptions("ecdsa");
        options.ciphers = cipher;
        cases.push_back({cipher, options, 0, "diffie-hellman-group-exchange-sha256",
                         "ecdsa-sha2-nistp256", cipher, "", "ecdsa"});
    }
    for (const char* mac : {"hmac-sha2-256", "hmac-sha2-512", "hmac-sha2-256-etm@openssh.com",
                            "hmac-sha2-512-etm@openssh.com", "hmac-sha1-etm@openssh.com"}) {
        peers::SshdOptions options = peers::StockSshdOptions("rsa");
        options.macs = mac;
        cases.push_back({mac, options, 0, "diffie-hellman-group-exchange-sha256", "rsa-sha2-512",
                         "aes256-ctr", mac, "rsa"});
    }
    RunCases(cases);
}

}  // namespace
}  // namespace tessan::apitest
