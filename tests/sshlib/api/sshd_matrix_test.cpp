// The full algorithm matrix against OpenSSH's sshd with the password account: every key
// exchange, host key, cipher and MAC the two sides share runs one command and compares its
// output, with the security information checked on the way. One test per key exchange, so
// that ctest can run them side by side.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

// The MD5 digest ssh-keygen prints for a public key file, "xx:xx:...".
std::string KeygenFingerprint(const std::string& publicKey) {
    peers::ChildProcess keygen;
    if (!keygen.Start({"/usr/bin/ssh-keygen", "-l", "-E", "md5", "-f", publicKey})) return {};
    std::string line = keygen.ReadLine(5000);
    size_t start = line.find("MD5:");
    if (start == std::string::npos) return {};
    start += 4;
    return line.substr(start, line.find(' ', start) - start);
}

struct MatrixRow {
    std::string kex, hostKey, cipher, mac;
};

class SshdMatrix : public ::testing::TestWithParam<const char*> {};

// Every combination runs one command on a server offering exactly that combination. The
// servers of one host key start side by side, then each gets its connection.
TEST_P(SshdMatrix, EveryHostKeyCipherAndMacRunsACommand) {
    TESSAN_REQUIRE_ACCOUNT();
    Library library;
    const char* kex = GetParam();
    const char* hostKeys[] = {"ssh-rsa", "ssh-dss"};
    // OpenSSH no longer offers the AES-256 CBC alias "rijndael-cbc@lysator.liu.se".
    const char* ciphers[] = {"aes128-ctr", "aes192-ctr", "aes256-ctr", "aes128-cbc",
                             "aes192-cbc", "aes256-cbc", "3des-cbc"};
    const char* macs[] = {"hmac-sha1", "hmac-sha1-96", "hmac-md5"};
    const std::string rsaDigest = KeygenFingerprint(peers::SharedHostKeyDir() + "/rsa.pub");
    const std::string dsaDigest = KeygenFingerprint(peers::SharedHostKeyDir() + "/dsa.pub");
    int passed = 0;
    {
        for (const char* hostKey : hostKeys) {
            std::vector<MatrixRow> rows;
            std::vector<std::unique_ptr<peers::SshdPeer>> servers;
            for (const char* cipher : ciphers) {
                for (const char* mac : macs) {
                    rows.push_back({kex, hostKey, cipher, mac});
                    peers::SshdOptions options;
                    options.kex = kex;
                    options.hostKeyAlgorithms = hostKey;
                    options.ciphers = cipher;
                    options.macs = mac;
                    servers.push_back(std::make_unique<peers::SshdPeer>());
                    ASSERT_TRUE(servers.back()->Launch(options)) << servers.back()->Error();
                }
            }
            for (size_t i = 0; i < rows.size(); ++i) {
                const MatrixRow& row = rows[i];
                const std::string label =
                    row.kex + " " + row.hostKey + " " + row.cipher + " " + row.mac;
                ASSERT_TRUE(servers[i]->WaitReady()) << servers[i]->Error();
                HCLIENT client = ConnectAccount(servers[i]->Port(), "echo '" + label + "'");
                ASSERT_NE(client, INVALID_CLIENT) << label << ": " << LastErrorText() << "\n"
                                                  << servers[i]->Log();
                SECURITYINFO info{};
                info.dwSize = sizeof info;
                ASSERT_TRUE(SshGetSecurityInformationA(client, &info)) << LastErrorText();
                EXPECT_EQ(info.dwProtocol, DWORD{SECURITY_PROTOCOL_SSH2});
                EXPECT_EQ(info.dwCipher, row.cipher == "3des-cbc" ? DWORD{SECURITY_CIPHER_DES3}
                                                                  : DWORD{SECURITY_CIPHER_AES});
                const DWORD bits = row.cipher == "3des-cbc"                      ? 168
                                   : row.cipher.find("128") != std::string::npos ? 128
                                   : row.cipher.find("192") != std::string::npos ? 192
                                                                                 : 256;
                EXPECT_EQ(info.dwCipherStrength, bits) << label;
                EXPECT_EQ(std::string(info.lpszFingerprint),
                          row.hostKey == "ssh-rsa" ? rsaDigest : dsaDigest);
                EXPECT_EQ(ReadAll(client), label + "\n") << label;
                EXPECT_EQ(SshGetExitCode(client), 0) << label;
                EXPECT_EQ(SshDisconnect(client), 0);
                servers[i].reset();
                ++passed;
            }
        }
    }
    EXPECT_EQ(passed, 2 * 7 * 3);
}

INSTANTIATE_TEST_SUITE_P(Kex, SshdMatrix,
                         ::testing::Values("diffie-hellman-group-exchange-sha256",
                                           "diffie-hellman-group-exchange-sha1",
                                           "diffie-hellman-group14-sha1",
                                           "diffie-hellman-group1-sha1"),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             name = name.substr(name.find("group"));
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace tessan::apitest
