// The client API against OpenSSH's sshd on loopback with a password account: every key
// exchange, host key, cipher and MAC running a command, a shell on a pseudo-terminal, exit
// codes and signals, bulk data both ways, re-keying under load, and the failures a caller meets
// (wrong password, refused port, a server that never answers).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/sha.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <regex>
#include <thread>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

using Clock = std::chrono::steady_clock;

std::string Sha256(const std::string& data) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest);
    return std::string(reinterpret_cast<char*>(digest), sizeof digest);
}

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

// One server for the remaining sshd cases.
class SshdCases : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new peers::SshdPeer;
        peers::SshdOptions options = peers::QuickSshdOptions();
        // Re-keying under load: the server asks for a new key after every 256 KiB.
        options.rekeyLimit = "256K";
        options.extra = "LogLevel DEBUG1\n";
        started_ = server_->Start(options);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        TESSAN_REQUIRE_ACCOUNT();
        ASSERT_TRUE(started_) << server_->Error();
        ASSERT_TRUE(library_.Ok());
    }
    int Port() const { return server_->Port(); }

    static peers::SshdPeer* server_;
    static bool started_;
    Library library_;
};
peers::SshdPeer* SshdCases::server_ = nullptr;
bool SshdCases::started_ = false;

TEST_F(SshdCases, ShellOnAPseudoTerminalWithTheRequestedSizeAndType) {
    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    record.nTermCols = 100;
    record.nTermRows = 1000;  // at most 512
    std::strcpy(record.szTermType, "vt100");
    const peers::TestAccount& account = peers::PasswordAccount();
    HCLIENT client =
        SshConnectA("127.0.0.1", Port(), account.user.c_str(), account.password.c_str(), 15,
                    SSH_OPTION_TERMINAL, &record, nullptr);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    const char command[] = "stty size; echo TERM=$TERM; tty; exit 5\n";
    ASSERT_EQ(SshWrite(client, command, sizeof command - 1), int(sizeof command - 1));
    std::string output = ReadAll(client);
    EXPECT_NE(output.find("512 100"), std::string::npos) << output;
    EXPECT_NE(output.find("TERM=vt100"), std::string::npos) << output;
    EXPECT_NE(output.find("/dev/pts/"), std::string::npos) << output;
    // On a terminal the typed line is echoed and lines end in CR LF.
    EXPECT_NE(output.find("\r\n"), std::string::npos);
    EXPECT_EQ(SshGetExitCode(client), 5);
    EXPECT_EQ(SshDisconnect(client), 0);
}

TEST_F(SshdCases, AShellWithoutATerminal) {
    HCLIENT client = ConnectAccount(Port(), "", SSH_OPTION_NOPTY);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_TRUE(SshIsWritable(client, 0));
    const char command[] = "tty; exit 3\n";
    ASSERT_EQ(SshWrite(client, command, sizeof command - 1), int(sizeof command - 1));
    EXPECT_EQ(ReadAll(client), "not a tty\n");
    EXPECT_EQ(SshGetExitCode(client), 3);
    EXPECT_FALSE(SshIsWritable(client, 0));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_CONNECTED);
    SshDisconnect(client);
}

TEST_F(SshdCases, ExitCodesAndSignals) {
    struct Row {
        const char* command;
        int exitCode;
    };
    const Row rows[] = {
        {"true", 0},
        {"exit 7", 7},
        {"exit 255", 255},
        {"kill -TERM $$", 143},  // exit-signal "TERM"
        {"kill -SEGV $$", 139},
        {"kill -INT $$", 130},
        {"kill -ABRT $$", 150},  // "ABRT" counts as 22
        {"kill -KILL $$", 128},  // names outside the table count as 0
        {"kill -HUP $$", 128},
    };
    for (const Row& row : rows) {
        HCLIENT client = ConnectAccount(Port(), row.command);
        ASSERT_NE(client, INVALID_CLIENT) << row.command << ": " << LastErrorText();
        int last = -2;
        ReadAll(client, &last);
        EXPECT_EQ(last, 0) << row.command << ": " << LastErrorText();
        EXPECT_EQ(SshGetExitCode(client), row.exitCode) << row.command;
        EXPECT_FALSE(SshIsConnected(client));
        EXPECT_EQ(SshGetLastError(), KX_ERROR_CONNECTION_CLOSED);
        SshDisconnect(client);
    }
}

TEST_F(SshdCases, ControlCodesReachTheRemoteProgram) {
    struct Row {
        const char* command;
        DWORD control;
        const char* output;
        int exitCode;
    };
    const Row rows[] = {
        {"sleep 30", SSH_CONTROL_SIGTERM, "", 143},
        {"sleep 30", SSH_CONTROL_SIGKILL, "", 128},
        {"cat; echo done", SSH_CONTROL_EOF, "done\n", 0},
        {"exec 2>/dev/null; trap 'echo usr1; exit 4' USR1; while :; do sleep 0.05; done",
         SSH_CONTROL_SIGUSR1, "usr1\n", 4},
    };
    for (const Row& row : rows) {
        HCLIENT client = ConnectAccount(Port(), row.command);
        ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
        // Give the shell time to set its trap before the signal arrives.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(SshControl(client, SSH_CONTROL_KEEPALIVE, nullptr, 0), 0);
        EXPECT_EQ(SshControl(client, row.control, nullptr, 0), 0) << LastErrorText();
        EXPECT_EQ(SshControl(client, 99, nullptr, 0), 0);  // unknown codes do nothing
        EXPECT_EQ(ReadAll(client), row.output) << row.command;
        EXPECT_EQ(SshGetExitCode(client), row.exitCode) << row.command;
        EXPECT_EQ(SshControl(client, SSH_CONTROL_KEEPALIVE, nullptr, 0), SSH_ERROR);
        EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_CONNECTED);
        SshDisconnect(client);
    }
}

// 10 MB through "cat" and back, written and read in uneven pieces, with the server re-keying
// every 256 KiB and the client asking for more re-keys on the way.
TEST_F(SshdCases, TenMegabytesEachWayAcrossReKeys) {
    HCLIENT client = ConnectAccount(Port(), "cat");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    std::mt19937 rng(7);
    std::string sent(10 * 1000 * 1000, '\0');
    for (char& c : sent)
        c = static_cast<char>(rng());
    std::string received;
    received.reserve(sent.size());
    char buffer[65536];
    size_t at = 0;
    int rekeys = 0;
    while (received.size() < sent.size()) {
        if (at < sent.size()) {
            int piece = static_cast<int>(std::min<size_t>(1000 + rng() % 60000, sent.size() - at));
            ASSERT_EQ(SshWrite(client, sent.data() + at, piece), piece) << LastErrorText();
            at += static_cast<size_t>(piece);
            if (at >= sent.size()) {
                EXPECT_EQ(SshControl(client, SSH_CONTROL_EOF, nullptr, 0), 0);
            }
            if (rekeys < 3 && at > (static_cast<size_t>(rekeys) + 1) * 3000000) {
                EXPECT_EQ(SshControl(client, SSH_CONTROL_REKEY, nullptr, 0), 0);
                ++rekeys;
            }
        }
        // Like a socket, the echo stalls when nobody reads: stay within 512 KiB of the writes.
        DWORD available = 0;
        while (received.size() + 512 * 1024 < at ||
               SshIsReadable(client, at < sent.size() ? 0 : 10, &available)) {
            int n = SshRead(client, buffer, sizeof buffer);
            ASSERT_GE(n, 0) << LastErrorText();
            if (n == 0) break;
            received.append(buffer, static_cast<size_t>(n));
        }
        ASSERT_TRUE(SshIsConnected(client) || received.size() == sent.size())
            << received.size() << " " << LastErrorText();
    }
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(Sha256(received) == Sha256(sent));
    EXPECT_EQ(ReadAll(client), "");
    EXPECT_EQ(SshGetExitCode(client), 0);
    SshDisconnect(client);
    // The server re-keyed on its own (its limit) besides the three the client asked for.
    std::string log = server_->Log();
    std::regex kexinit("SSH2_MSG_KEXINIT sent");
    auto count = std::distance(std::sregex_iterator(log.begin(), log.end(), kexinit),
                               std::sregex_iterator());
    EXPECT_GE(count, 10) << "re-keys seen in the server's log";
}

// The window lets the server run megabytes ahead of a slow reader; what it sent ahead waits
// in the socket, and the client holds about one socket read (64 KiB, plus the part of a packet
// left from the read before) whatever the caller's pace.
TEST_F(SshdCases, AReaderFarBehindTheServerHoldsAboutOneReadOfIt) {
    HCLIENT client = ConnectAccount(Port(), "head -c 8000000 /dev/zero");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let the server run ahead
    char buffer[65536];
    size_t total = 0;
    DWORD most = 0;
    DWORD available = 0;
    while (SshIsReadable(client, 10, &available)) {
        most = std::max(most, available);
        const int n = SshRead(client, buffer, sizeof buffer);
        ASSERT_GE(n, 0) << LastErrorText();
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    EXPECT_EQ(total, 8000000u);
    EXPECT_GT(most, 0u);
    EXPECT_LE(most, 128u * 1024);
    SshDisconnect(client);
}

TEST_F(SshdCases, WrongPasswordFailsAsSoonAsTheServerRefusesIt) {
    const auto start = Clock::now();
    HCLIENT client = SshConnectA("127.0.0.1", Port(), peers::PasswordAccount().user.c_str(),
                                 "not-the-password", 60, 0, nullptr, nullptr);
    EXPECT_EQ(client, INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_AUTHENTICATION_FAILED) << LastErrorText();
    // Well before the 60-second time-out.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
}

TEST_F(SshdCases, SecurityInformationAndAConnectionWithoutShell) {
    const peers::TestAccount& account = peers::PasswordAccount();
    HCLIENT client = SshConnectA("127.0.0.1", Port(), account.user.c_str(),
                                 account.password.c_str(), 0, SSH_OPTION_NOSHELL, nullptr, nullptr);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(SshGetTimeout(client), 20);
    EXPECT_EQ(SshGetStatus(client), SSH_STATUS_IDLE);
    EXPECT_TRUE(SshIsConnected(client));
    EXPECT_EQ(SshWrite(client, "x", 1), 0);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_CONNECTED);
    // A larger record is accepted and cleared to its end.
    struct {
        SECURITYINFO info;
        unsigned char extra[8];
    } larger;
    std::memset(&larger, 0xAB, sizeof larger);
    larger.info.dwSize = sizeof larger;
    ASSERT_TRUE(SshGetSecurityInformationA(client, &larger.info));
    EXPECT_EQ(larger.info.dwSize, sizeof(SECURITYINFO));
    EXPECT_EQ(larger.extra[7], 0);
    SECURITYINFO& info = larger.info;
    EXPECT_EQ(info.dwCipher, DWORD{SECURITY_CIPHER_AES});
    EXPECT_EQ(info.dwCipherStrength, 128u);
    EXPECT_EQ(info.dwHash, DWORD{SECURITY_HASH_SHA});
    EXPECT_EQ(info.dwHashStrength, 160u);
    EXPECT_EQ(info.dwKeyExchange, DWORD{SECURITY_KEYEX_DH});
    EXPECT_EQ(std::string(info.lpszFingerprint),
              KeygenFingerprint(peers::SharedHostKeyDir() + "/rsa.pub"));
    SECURITYINFOW wide{};
    wide.dwSize = sizeof wide;
    ASSERT_TRUE(SshGetSecurityInformationW(client, &wide));
    EXPECT_EQ(std::u16string(wide.lpszFingerprint).size(), std::strlen(info.lpszFingerprint));
    // The record before the names were added is filled without them; a shorter one is refused.
    info.dwSize = SECURITYINFO_BASE_SIZE;
    info.lpszKeyExchange = "unchanged";
    ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
    EXPECT_EQ(info.dwSize, SECURITYINFO_BASE_SIZE);
    EXPECT_STREQ(info.lpszKeyExchange, "unchanged");
    info.dwSize = SECURITYINFO_BASE_SIZE - 1;
    EXPECT_FALSE(SshGetSecurityInformationA(client, &info));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SshDisconnect(client), 0);
    EXPECT_FALSE(SshGetSecurityInformationA(client, &info));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
}

TEST_F(SshdCases, AnExpectedHostKeyIsCheckedBeforeThePasswordLeaves) {
    const peers::TestAccount& account = peers::PasswordAccount();
    HCLIENT client = SshConnectA("127.0.0.1", Port(), account.user.c_str(),
                                 account.password.c_str(), 0, SSH_OPTION_NOSHELL, nullptr, nullptr);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    ASSERT_TRUE(SshGetSecurityInformationA(client, &info));
    const std::string md5 = info.lpszFingerprint;
    const std::string sha256 = info.lpszFingerprintSha256;
    SshDisconnect(client);
    std::string upperMd5 = md5;
    for (char& c : upperMd5)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string otherSha256 = sha256;
    otherSha256.back() = otherSha256.back() == 'A' ? 'B' : 'A';
    std::string otherMd5 = md5;
    otherMd5[0] = otherMd5[0] == '0' ? '1' : '0';

    struct Row {
        std::string expected;
        bool accepted;
    };
    const Row rows[] = {
        {sha256, true},
        {sha256 + "=", true},
        {" MD5:" + upperMd5 + " ", true},
        {"ssh-rsa 2048 " + md5, true},
        {"", true},  // nothing expected: any verified key, as without the field
        {otherSha256, false},
        {otherMd5, false},
        {"SHA256:", false},
    };
    for (const Row& row : rows) {
        LPSECURITYCREDENTIALS credentials = nullptr;
        ASSERT_TRUE(SshCreateSecurityCredentialsA(SECURITY_PROTOCOL_SSH, 0, nullptr, nullptr,
                                                  nullptr, &credentials));
        credentials->lpszHostKey = row.expected.c_str();
        const size_t logBefore = server_->Log().size();
        client = SshConnectA("127.0.0.1", Port(), account.user.c_str(), account.password.c_str(), 0,
                             SSH_OPTION_NOSHELL, nullptr, credentials);
        const DWORD error = SshGetLastError();
        char detail[512];
        SshGetErrorDetailA(detail, sizeof detail);
        SshDeleteSecurityCredentialsA(&credentials);
        if (row.accepted) {
            EXPECT_NE(client, INVALID_CLIENT) << "'" << row.expected << "' " << LastErrorText();
            SshDisconnect(client);
            continue;
        }
        EXPECT_EQ(client, INVALID_CLIENT) << row.expected;
        EXPECT_EQ(error, KX_ERROR_HOST_KEY_MISMATCH) << row.expected;
        // The detail names the key presented, in both forms.
        EXPECT_NE(std::string(detail).find(md5), std::string::npos) << detail;
        EXPECT_NE(std::string(detail).find(sha256), std::string::npos) << detail;
        // The server never saw an authentication request with the password.
        EXPECT_EQ(server_->Log().substr(logBefore).find("method password"), std::string::npos)
            << server_->Log().substr(logBefore);
    }
}

TEST_F(SshdCases, ReadsPeeksTimeoutsAndHandleValues) {
    HCLIENT first = ConnectAccount(Port(), "printf 0123456789012345678901234; sleep 1");
    ASSERT_NE(first, INVALID_CLIENT) << LastErrorText();
    HCLIENT second = ConnectAccount(Port(), "true");
    ASSERT_NE(second, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(SshDisconnect(second), 0);
    // A freed slot is used again first.
    second = ConnectAccount(Port(), "true");
    EXPECT_EQ(second, first + 1);
    SshDisconnect(second);

    EXPECT_EQ(SshGetExitCode(first), SSH_ERROR) << "still connected";
    DWORD available = 0;
    ASSERT_TRUE(SshIsReadable(first, 10, &available));
    while (available < 25 && SshIsReadable(first, 0, &available)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(available, 25u);
    char buffer[32] = {};
    EXPECT_EQ(SshPeek(first, buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "01234");
    EXPECT_EQ(SshRead(first, buffer, 10), 10);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    ASSERT_TRUE(SshIsReadable(first, 0, &available));
    EXPECT_EQ(available, 15u);
    EXPECT_EQ(SshRead(first, buffer, 0), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SshRead(first, nullptr, 10), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_BUFFER);
    EXPECT_EQ(ReadAll(first), "012345678901234");
    EXPECT_EQ(SshPeek(first, buffer, 5), 0);

    EXPECT_EQ(SshGetTimeout(first), 15);
    EXPECT_EQ(SshSetTimeout(first, 1000), 0);
    EXPECT_EQ(SshGetTimeout(first), 600);
    EXPECT_EQ(SshSetTimeout(first, -1), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SshGetTimeout(first), 600);
    EXPECT_EQ(SshDisconnect(first), 0);
}

TEST(SshdFailures, RefusedPortAndAServerThatNeverAnswers) {
    Library library;
    // Nothing listens on a port that was free a moment ago.
    HCLIENT client = SshConnectA("127.0.0.1", peers::FreeLoopbackPort(), "user", "password", 5, 0,
                                 nullptr, nullptr);
    EXPECT_EQ(client, INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_CONNECTION_REFUSED) << LastErrorText();

    // A listener that accepts and stays silent: the connect gives up after its time-out.
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const auto start = Clock::now();
    client = SshConnectA("127.0.0.1", ntohs(address.sin_port), "user", "password", 1, 0, nullptr,
                         nullptr);
    EXPECT_EQ(client, INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_TIMEOUT) << LastErrorText();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    close(listener);
}

}  // namespace
}  // namespace tessan::apitest
