// The transport against real servers on loopback: OpenSSH's sshd and AsyncSSH, each started by
// the test with a narrow algorithm list so that every key exchange, host key, cipher, MAC and
// compression method the library can negotiate with them is used once; then re-keying from both
// sides with data flowing.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "crypto/wire.h"
#include "ssh_peers.h"
#include "sshlib/transport/ssh_constants.h"
#include "transport_driver.h"

namespace tessan::transport {
namespace {

namespace peers = tessan::testing;

struct Expected {
    const char* kex;
    const char* hostKey;
    const char* cipher;
    const char* mac;
    const char* compression;
};

void CheckNegotiated(Transport& t, const Expected& e) {
    const NegotiatedAlgorithms& a = t.Algorithms();
    ASSERT_NE(a.kex, nullptr);
    EXPECT_EQ(a.kex->name, e.kex);
    EXPECT_EQ(a.hostKey->name, e.hostKey);
    for (int d = 0; d < 2; ++d) {
        EXPECT_EQ(a.cipher[d]->name, e.cipher);
        EXPECT_EQ(a.mac[d]->name, e.mac);
        EXPECT_EQ(a.compression[d]->name, e.compression);
    }
    EXPECT_EQ(t.SessionId().size(), a.kex->exchangeHash->digestLength);
}

// The MD5 fingerprint ssh-keygen prints for a public key file, as "xx:xx:...".
std::string KeygenFingerprint(const std::string& publicKey) {
    peers::ChildProcess keygen;
    if (!keygen.Start({"/usr/bin/ssh-keygen", "-l", "-E", "md5", "-f", publicKey})) return {};
    std::string line = keygen.ReadLine(5000);  // "2048 MD5:aa:bb:... comment (RSA)"
    size_t start = line.find("MD5:");
    if (start == std::string::npos) return {};
    start += 4;
    return line.substr(start, line.find(' ', start) - start);
}

TEST(InteropSshd, EveryKexHostKeyCipherAndMacReachesTheEncryptedState) {
    struct Row {
        const char* kex;
        const char* hostKey;
        const char* cipher;
        const char* mac;
    };
    const Row rows[] = {
        {"diffie-hellman-group-exchange-sha256", "ssh-rsa", "aes256-ctr", "hmac-sha1"},
        {"diffie-hellman-group-exchange-sha1", "ssh-dss", "aes192-ctr", "hmac-sha1-96"},
        {"diffie-hellman-group14-sha1", "ssh-rsa", "aes128-ctr", "hmac-md5"},
        {"diffie-hellman-group1-sha1", "ssh-dss", "3des-cbc", "hmac-md5"},
        {"diffie-hellman-group-exchange-sha256", "ssh-dss", "aes256-cbc", "hmac-sha1"},
        {"diffie-hellman-group14-sha1", "ssh-rsa", "aes192-cbc", "hmac-sha1-96"},
        {"diffie-hellman-group-exchange-sha1", "ssh-rsa", "aes128-cbc", "hmac-sha1"},
    };
    for (const Row& row : rows) {
        peers::SshdOptions options;
        options.kex = row.kex;
        options.hostKeyAlgorithms = row.hostKey;
        options.ciphers = row.cipher;
        options.macs = row.mac;
        peers::SshdPeer sshd;
        ASSERT_TRUE(sshd.Start(options)) << sshd.Error();
        peers::TransportDriver driver;
        DWORD error = driver.Connect(sshd.Port());
        ASSERT_EQ(error, 0u) << row.kex << " " << row.cipher << ": "
                             << driver.Transport().Failure().text << "\n"
                             << sshd.Log();
        EXPECT_TRUE(driver.ServiceAccepted());
        CheckNegotiated(driver.Transport(), {row.kex, row.hostKey, row.cipher, row.mac, "none"});
        // The fingerprint is the one ssh-keygen computes for the server's key.
        std::string file = peers::SharedHostKeyDir() +
                           (std::string(row.hostKey) == "ssh-rsa" ? "/rsa.pub" : "/dsa.pub");
        const std::string& fingerprint = driver.Transport().Fingerprint();
        EXPECT_EQ(fingerprint.substr(fingerprint.rfind(' ') + 1), KeygenFingerprint(file));
    }
}

TEST(InteropSshd, NoCommonAlgorithmFailsAtOnceWithTheReason) {
    peers::SshdOptions options;
    options.kex = "sntrup761x25519-sha512@openssh.com";
    peers::SshdPeer sshd;
    ASSERT_TRUE(sshd.Start(options)) << sshd.Error();
    peers::TransportDriver driver;
    DWORD error = driver.Connect(sshd.Port(), 10000);
    EXPECT_EQ(error, kErrKeyExchangeFailed);
    EXPECT_EQ(driver.Transport().Failure().reason, kDisconnectKeyExchangeFailed);
    EXPECT_EQ(driver.Transport().Failure().text,
              "No common key exchange algorithm (the server offers: "
              "sntrup761x25519-sha512@openssh.com,kex-strict-s-v00@openssh.com)");
}

TEST(InteropAsyncSsh, LegacyCiphersCompressionAndTheRest) {
    struct Row {
        const char* kex;
        const char* hostKey;
        const char* cipher;
        const char* mac;
        const char* compression;
    };
    const Row rows[] = {
        {"diffie-hellman-group14-sha1", "ssh-rsa", "blowfish-cbc", "hmac-sha1", "zlib"},
        {"diffie-hellman-group-exchange-sha1", "ssh-dss", "arcfour128", "hmac-md5", "zlib"},
        {"diffie-hellman-group-exchange-sha256", "ssh-rsa", "arcfour256", "hmac-sha1-96", "none"},
        {"diffie-hellman-group1-sha1", "ssh-rsa", "3des-cbc", "hmac-sha1", "zlib"},
    };
    for (const Row& row : rows) {
        peers::AsyncSshOptions options;
        options.kex = row.kex;
        options.hostKey = row.hostKey;
        options.ciphers = row.cipher;
        options.macs = row.mac;
        options.compression = row.compression;
        peers::AsyncSshPeer peer;
        ASSERT_TRUE(peer.Start(options)) << peer.Error();
        peers::TransportDriver driver;
        DWORD error = driver.Connect(peer.Port());
        ASSERT_EQ(error, 0u) << row.cipher << ": " << driver.Transport().Failure().text << "\n"
                             << peer.Log();
        CheckNegotiated(driver.Transport(),
                        {row.kex, row.hostKey, row.cipher, row.mac, row.compression});
    }
}

// OpenSSH refuses a re-key before authentication (it answers the key-exchange-init with
// SSH_MSG_UNIMPLEMENTED): the client ends the exchange at once instead of waiting.
TEST(InteropSshd, RekeyBeforeAuthenticationIsRefusedAndFailsAtOnce) {
    peers::SshdOptions options;
    options.kex = "diffie-hellman-group14-sha1";
    peers::SshdPeer sshd;
    ASSERT_TRUE(sshd.Start(options)) << sshd.Error();
    peers::TransportDriver driver;
    ASSERT_EQ(driver.Connect(sshd.Port()), 0u);
    driver.Transport().RequestRekey("user");
    DWORD error = driver.RunUntil([] { return false; }, 10000);
    EXPECT_EQ(error, kErrKeyExchangeFailed);
    EXPECT_EQ(driver.Transport().Failure().reason, kDisconnectKeyExchangeFailed);
}

// A client key for public-key login to sshd (test code signs with OpenSSL; the library itself
// has no private keys).
struct ClientKey {
    RSA* rsa = nullptr;
    std::vector<uint8_t> blob;
    std::string authorizedKeys;  // path of the authorized_keys file for sshd

    bool Make(const peers::TempDir& dir) {
        std::string path = dir.File("client");
        if (!peers::RunProgram({"/usr/bin/ssh-keygen", "-q", "-t", "rsa", "-b", "2048", "-m", "PEM",
                                "-N", "", "-f", path})) {
            return false;
        }
        FILE* f = std::fopen(path.c_str(), "r");
        if (!f) return false;
        rsa = PEM_read_RSAPrivateKey(f, nullptr, nullptr, nullptr);
        std::fclose(f);
        std::ifstream pub(path + ".pub");
        std::string type, base64;
        pub >> type >> base64;
        blob.resize(base64.size());
        int n = EVP_DecodeBlock(blob.data(), reinterpret_cast<const uint8_t*>(base64.data()),
                                static_cast<int>(base64.size()));
        if (n < 0) return false;
        blob.resize(static_cast<size_t>(n) - std::count(base64.begin(), base64.end(), '='));
        authorizedKeys = path + ".pub";
        return rsa != nullptr;
    }
    ~ClientKey() { RSA_free(rsa); }

    // The "rsa-sha2-256" signature blob over `data`.
    std::vector<uint8_t> Sign(const std::vector<uint8_t>& data) const {
        uint8_t digest[32];
        SHA256(data.data(), data.size(), digest);
        std::vector<uint8_t> sig(static_cast<size_t>(RSA_size(rsa)));
        unsigned length = 0;
        RSA_sign(NID_sha256, digest, 32, sig.data(), &length, rsa);
        sig.resize(length);
        std::vector<uint8_t> out;
        crypto::AppendString(out, std::string_view("rsa-sha2-256"));
        crypto::AppendString(out, sig);
        return out;
    }
};

std::string CurrentUser() {
    passwd* pw = getpwuid(geteuid());
    return pw ? pw->pw_name : "root";
}

// A minimal session on top of the transport for the interop tests: log in (password, or a
// public key for sshd), open a session channel running "cat", and exchange data through it.
class EchoSession {
public:
    explicit EchoSession(peers::TransportDriver& driver) : driver_(driver) {
        driver_.OnPacket([this](const IncomingPacket& p) { Handle(p); });
    }

    DWORD Open(const std::string& user, const std::string& password, const ClientKey* key) {
        Transport& t = driver_.Transport();
        OutgoingPacket auth(kMsgUserauthRequest);
        auth.AddString(user).AddString(std::string_view("ssh-connection"));
        if (key) {
            std::vector<uint8_t> signedData;
            crypto::AppendString(signedData, t.SessionId());
            signedData.push_back(kMsgUserauthRequest);
            crypto::AppendString(signedData, user);
            crypto::AppendString(signedData, std::string_view("ssh-connection"));
            crypto::AppendString(signedData, std::string_view("publickey"));
            signedData.push_back(1);
            crypto::AppendString(signedData, std::string_view("rsa-sha2-256"));
            crypto::AppendString(signedData, key->blob);
            auth.AddString(std::string_view("publickey"))
                .AddBool(true)
                .AddString(std::string_view("rsa-sha2-256"))
                .AddString(key->blob)
                .AddString(key->Sign(signedData));
        } else {
            auth.AddString(std::string_view("password")).AddBool(false).AddString(password);
            auth.MarkSecret();
        }
        t.SendPacket(std::move(auth));
        if (DWORD e = driver_.RunUntil([this] { return authenticated_ || refused_; })) return e;
        if (!authenticated_) return 12230;
        OutgoingPacket open(90);  // channel open: type, our number, window, packet size
        open.AddString(std::string_view("session"))
            .AddUint32(0)
            .AddUint32(0x7FFFFFFF)
            .AddUint32(32768);
        t.SendPacket(std::move(open));
        if (DWORD e = driver_.RunUntil([this] { return remoteChannel_ >= 0; })) return e;
        OutgoingPacket exec(98);  // channel request "exec" without a reply
        exec.AddUint32(static_cast<uint32_t>(remoteChannel_))
            .AddString(std::string_view("exec"))
            .AddBool(false)
            .AddString(std::string_view("cat"));
        t.SendPacket(std::move(exec));
        return 0;
    }

    // Sends `data` in pieces within the server's window and waits until all of it came back.
    DWORD Echo(const std::string& data, size_t piece) {
        size_t target = received_.size() + data.size();
        for (size_t at = 0; at < data.size();) {
            if (window_ == 0) {
                if (DWORD e = driver_.RunUntil([this] { return window_ > 0; })) return e;
            }
            size_t n = std::min({piece, data.size() - at, static_cast<size_t>(window_)});
            OutgoingPacket packet(94);  // channel data
            packet.AddUint32(static_cast<uint32_t>(remoteChannel_))
                .AddString(std::string_view(data).substr(at, n));
            driver_.Transport().SendPacket(std::move(packet));
            window_ -= static_cast<uint32_t>(n);
            at += n;
            driver_.Link().Pump();
        }
        return driver_.RunUntil([&] { return received_.size() >= target; });
    }

    const std::string& Received() const { return received_; }

private:
    void Handle(const IncomingPacket& p) {
        IncomingPacket r = p;
        uint32_t channel = 0, value = 0;
        switch (p.Type()) {
            case kMsgUserauthSuccess:
                authenticated_ = true;
                break;
            case kMsgUserauthFailure:
                refused_ = true;
                break;
            case 91:  // open confirmation: our number, theirs, window, packet size
                r.ReadUint32(channel);
                r.ReadUint32(value);
                remoteChannel_ = static_cast<int>(value);
                r.ReadUint32(window_);
                break;
            case 93:  // window adjust
                r.ReadUint32(channel);
                r.ReadUint32(value);
                window_ += value;
                break;
            case 94: {
                std::string_view data;
                r.ReadUint32(channel);
                r.ReadString(data);
                received_.append(data);
                break;
            }
            default:
                break;  // global requests, channel requests and the like need no answer here
        }
    }

    peers::TransportDriver& driver_;
    bool authenticated_ = false;
    bool refused_ = false;
    int remoteChannel_ = -1;
    uint32_t window_ = 0;
    std::string received_;
};

// Sends eight rounds of half-random, half-text data through the echo and checks every byte.
void EchoRounds(peers::TransportDriver& driver, EchoSession& session, const std::string& log) {
    std::mt19937 rng(8);
    std::string sent;
    for (int round = 0; round < 8; ++round) {
        std::string data(32768, '\0');
        for (size_t i = 0; i < data.size(); ++i) {
            data[i] = i % 2 ? static_cast<char>(rng()) : static_cast<char>('a' + i % 23);
        }
        sent += data;
        ASSERT_EQ(session.Echo(data, 1000 + rng() % 15000), 0u)
            << driver.Transport().Failure().text << "\n"
            << log;
    }
    EXPECT_EQ(session.Received(), sent);
}

struct RekeyRow {
    const char* serverLimit;  // empty: the server's default
    const char* clientLimit;
    const char* cipher;
};

void CheckRekeys(Transport& t, const RekeyRow& row, const std::vector<uint8_t>& sessionId) {
    EXPECT_GE(t.CompletedKeyExchanges(), 3) << row.cipher;
    EXPECT_EQ(t.SessionId(), sessionId);
    if (std::string(row.clientLimit) != "1G") {
        EXPECT_EQ(t.LastRekeyReason(), "data overflow");
    } else {
        EXPECT_TRUE(t.LastRekeyReason().empty()) << "the server started them";
    }
}

// Re-keys with data flowing through OpenSSH after a public-key login: started by the server
// (a small RekeyLimit) and by the client (a small data limit).
TEST(InteropSshd, RekeysFromEitherSideKeepTheStreamIntact) {
    peers::TempDir dir;
    ClientKey key;
    ASSERT_TRUE(key.Make(dir));
    const RekeyRow rows[] = {{"32K", "1G", "aes128-ctr"}, {"", "40k", "3des-cbc"}};
    for (const RekeyRow& row : rows) {
        peers::SshdOptions options;
        options.kex = "diffie-hellman-group-exchange-sha256";
        options.ciphers = row.cipher;
        options.macs = "hmac-sha1";
        options.rekeyLimit = row.serverLimit;
        options.extra = "PubkeyAuthentication yes\nAuthorizedKeysFile " + key.authorizedKeys +
                        "\nPermitRootLogin prohibit-password\n";
        peers::SshdPeer sshd;
        ASSERT_TRUE(sshd.Start(options)) << sshd.Error();
        TransportSettings settings;
        settings.rekeyDataLimit = row.clientLimit;
        peers::TransportDriver driver(settings);
        ASSERT_EQ(driver.Connect(sshd.Port()), 0u) << driver.Transport().Failure().text;
        const std::vector<uint8_t> sessionId = driver.Transport().SessionId();
        EchoSession session(driver);
        ASSERT_EQ(session.Open(CurrentUser(), "", &key), 0u)
            << driver.Transport().Failure().text << "\n"
            << sshd.Log();
        EchoRounds(driver, session, sshd.Log());
        CheckRekeys(driver.Transport(), row, sessionId);
    }
}

// The same through AsyncSSH with "zlib" compression (the password is checked by the script).
TEST(InteropAsyncSsh, RekeysFromEitherSideKeepTheStreamIntact) {
    const RekeyRow rows[] = {{"48k", "1G", "aes128-ctr"}, {"", "40k", "blowfish-cbc"}};
    for (const RekeyRow& row : rows) {
        peers::AsyncSshOptions options;
        options.kex = "diffie-hellman-group14-sha1";
        options.ciphers = row.cipher;
        options.compression = "zlib";
        options.rekeyBytes = row.serverLimit;
        peers::AsyncSshPeer peer;
        ASSERT_TRUE(peer.Start(options)) << peer.Error();
        TransportSettings settings;
        settings.kex.compression = true;
        settings.rekeyDataLimit = row.clientLimit;
        peers::TransportDriver driver(settings);
        ASSERT_EQ(driver.Connect(peer.Port()), 0u) << driver.Transport().Failure().text;
        const std::vector<uint8_t> sessionId = driver.Transport().SessionId();
        EchoSession session(driver);
        ASSERT_EQ(session.Open("tester", "secret", nullptr), 0u)
            << driver.Transport().Failure().text << "\n"
            << peer.Log();
        EchoRounds(driver, session, peer.Log());
        CheckRekeys(driver.Transport(), row, sessionId);
    }
}

}  // namespace
}  // namespace tessan::transport
