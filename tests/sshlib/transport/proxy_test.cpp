// Connections through proxies: HTTP CONNECT through a real tinyproxy (with and without Basic
// authorisation), hostile and broken HTTP proxies played by a scripted peer, and the telnet
// command template.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/network.h"
#include "sshlib/transport/socket_table.h"
#include "test_peers.h"

extern char** environ;

namespace tessan::net {
namespace {

using tessan::testing::ClosedPort;
using tessan::testing::ScriptedPeer;

constexpr char kBanner[] = "SSH-2.0-peer\r\n";

// tinyproxy on a free loopback port with a configuration in a temporary folder.
class TinyProxy {
public:
    explicit TinyProxy(bool basicAuth) {
        char pattern[] = "/tmp/tessan-tinyproxy-XXXXXX";
        dir_ = mkdtemp(pattern);
        port_ = ClosedPort();
        std::ofstream conf(dir_ / "tinyproxy.conf");
        conf << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 20\nMaxClients 8\n"
             << "Allow 127.0.0.1\nLogLevel Error\nLogFile \"" << (dir_ / "log").string() << "\"\n";
        if (basicAuth) conf << "BasicAuth user secret\n";
        conf.close();
        std::string confPath = (dir_ / "tinyproxy.conf").string();
        const char* argv[] = {"tinyproxy", "-d", "-c", confPath.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int rc = posix_spawnp(&pid_, "tinyproxy", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) pid_ = -1;
        ready_ = pid_ > 0 && WaitUntilListening();
    }
    ~TinyProxy() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::filesystem::remove_all(dir_);
    }
    bool ready() const { return ready_; }
    int port() const { return port_; }

private:
    bool WaitUntilListening() {
        for (int i = 0; i < 100; ++i) {
            int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port_));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            bool up = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            close(s);
            if (up) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::filesystem::path dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// An SSH-like server: announces itself at once, then echoes.
void BannerThenEcho(int fd) {
    ScriptedPeer::SendAll(fd, kBanner);
    char buffer[256];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) ScriptedPeer::SendAll(fd, std::string(buffer, n));
}

// Reads exactly `size` bytes from the non-blocking connection, waiting up to 3 seconds.
std::string ReadExactly(int s, size_t size) {
    std::string data;
    char buffer[256];
    while (data.size() < size) {
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, 3000) != 1) break;
        ssize_t n = Recv(s, buffer, std::min(sizeof buffer, size - data.size()), 0);
        if (n <= 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    return data;
}

class Proxy : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartSocketSubsystem(), 0u); }
    void TearDown() override { CleanupSocketSubsystem(); }

    // Connects through the proxy; checks that the tunnel carries the banner and an echo.
    void ExpectWorkingTunnel(const ConnectRequest& request) {
        Connection connection;
        DWORD error = 1;
        ASSERT_EQ(OpenConnection(request, connection, &error), 0) << error;
        EXPECT_EQ(ReadExactly(connection.socket, sizeof kBanner - 1), kBanner);
        ASSERT_EQ(Send(connection.socket, "ping", 4, 0), 4);
        EXPECT_EQ(ReadExactly(connection.socket, 4), "ping");
        CloseSocket(connection.socket);
    }
};

TEST_F(Proxy, HttpConnectThroughTinyproxy) {
    TinyProxy tinyproxy(false);
    ASSERT_TRUE(tinyproxy.ready()) << "tinyproxy did not start";
    ScriptedPeer server(BannerThenEcho);
    ProxySettings proxy{kProxyHttp, "127.0.0.1", tinyproxy.port(), "", "", ""};
    // "LOCALHOST" is not exactly "localhost", so it goes through the proxy, which resolves it.
    ExpectWorkingTunnel({"LOCALHOST", server.port(), &proxy, 10000});
}

TEST_F(Proxy, HttpConnectWithBasicAuthorisation) {
    TinyProxy tinyproxy(true);
    ASSERT_TRUE(tinyproxy.ready()) << "tinyproxy did not start";
    {
        ScriptedPeer server(BannerThenEcho);
        ProxySettings proxy{kProxyHttp, "localhost", tinyproxy.port(), "user", "secret", ""};
        ExpectWorkingTunnel({"LOCALHOST", server.port(), &proxy, 10000});
    }
    struct Row {
        const char* user;
        const char* password;
    } refused[] = {{"", ""}, {"user", "wrong"}};
    for (const Row& row : refused) {
        ProxySettings proxy{kProxyHttp, "localhost", tinyproxy.port(), row.user, row.password, ""};
        Connection connection;
        DWORD error = 0;
        EXPECT_EQ(OpenConnection({"LOCALHOST", 9, &proxy, 10000}, connection, &error), -1);
        EXPECT_EQ(error, kErrProtocol) << row.password;  // 407
        EXPECT_EQ(connection.socket, -1);
    }
}

struct HostileCase {
    const char* name;
    std::function<void(int)> reply;  // what the proxy does after reading the request
    DWORD expected;                  // 0: a working connection whose first bytes are the banner
    int timeoutMs;
};

void Reply(int fd, const std::string& text) { ScriptedPeer::SendAll(fd, text); }

TEST_F(Proxy, BrokenAndHostileHttpProxiesEndTheConnectBounded) {
    const HostileCase cases[] = {
        {"HTTP/1.0 200 with headers, stream in the same segment",
         [](int fd) { Reply(fd, "HTTP/1.0 200 OK\r\nVia: x\r\nA: b\r\n\r\n" + std::string(kBanner)); }, 0, 5000},
        {"407", [](int fd) { Reply(fd, "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n"); },
         kErrProtocol, 5000},
        {"not HTTP", [](int fd) { Reply(fd, kBanner); }, kErrProtocol, 5000},
        {"100 kB status line",
         [](int fd) { Reply(fd, "HTTP/1.1 200 " + std::string(100 * 1024, 'x') + "\r\n\r\n"); },
         kErrProtocol, 5000},
        {"endless header",
         [](int fd) {
             Reply(fd, "HTTP/1.1 200 OK\r\n");
             std::string line = "X-More: " + std::string(200, 'm') + "\r\n";
             for (int i = 0; i < 50000; ++i)
                 if (send(fd, line.data(), line.size(), MSG_NOSIGNAL) <= 0) return;
         },
         kErrProtocol, 5000},
        {"closed mid status line", [](int fd) { Reply(fd, "HTTP/1.1 20"); }, kErrConnectionClosed, 5000},
        {"closed mid header", [](int fd) { Reply(fd, "HTTP/1.1 200 OK\r\nA: b\r\n"); },
         kErrConnectionClosed, 5000},
        {"closed at once", [](int) {}, kErrConnectionClosed, 5000},
        {"silent after the status line",
         [](int fd) {
             Reply(fd, "HTTP/1.1 200 OK\r\n");
             char c;
             recv(fd, &c, 1, 0);  // until the client gives up
         },
         kErrTimedOut, 400},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string request;
        ScriptedPeer proxyPeer([&](int fd) {
            request = ScriptedPeer::ReadUntil(fd, "\r\n\r\n");
            c.reply(fd);
        });
        ProxySettings proxy{kProxyHttp, "127.0.0.1", proxyPeer.port(), "", "", ""};
        Connection connection;
        DWORD error = 1;
        auto start = std::chrono::steady_clock::now();
        int result = OpenConnection({"target.example", 2222, &proxy, c.timeoutMs}, connection, &error);
        auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_LT(elapsed, std::chrono::milliseconds(c.timeoutMs + 1000));
        if (c.expected == 0) {
            ASSERT_EQ(result, 0) << error;
            EXPECT_EQ(ReadExactly(connection.socket, sizeof kBanner - 1), kBanner);
            CloseSocket(connection.socket);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(error, c.expected);
            EXPECT_EQ(connection.socket, -1);
        }
        if (result == 0 || c.expected != kErrConnectionClosed) {
            EXPECT_EQ(request, "CONNECT target.example:2222 HTTP/1.1\r\nHost: target.example:2222\r\n\r\n");
        }
    }
}

TEST_F(Proxy, TargetNamesThatWouldForgeRequestLinesAreRefused) {
    ScriptedPeer proxyPeer([](int) {});
    ProxySettings proxy{kProxyHttp, "127.0.0.1", proxyPeer.port(), "", "", ""};
    Connection connection;
    DWORD error = 0;
    EXPECT_EQ(OpenConnection({"evil\r\nX-Injected: 1", 22, &proxy, 2000}, connection, &error), -1);
    EXPECT_EQ(error, kErrHostNotFound);
}

TEST_F(Proxy, TelnetTemplateIsSentAndTheStreamFollows) {
    struct Row {
        std::string pattern;
        std::string expected;  // what the proxy receives
    } rows[] = {
        {"connect %host %port\n", "connect target.example 22\n"},
        {"user %user\\r\\npass %pass\\r\\n%host:%port via %proxyhost:%proxyport\\x0a",
         "user bob\r\npass pw\r\ntarget.example:22 via 127.0.0.1:PORT\n"},
    };
    for (Row& row : rows) {
        std::string received;
        size_t expectedSize = 0;
        ScriptedPeer proxyPeer([&](int fd) {
            received = ScriptedPeer::ReadUntil(fd, "\n");
            while (received.size() < expectedSize) received += ScriptedPeer::ReadUntil(fd, "\n");
            BannerThenEcho(fd);
        });
        std::string expected = row.expected;
        if (size_t at = expected.find("PORT"); at != std::string::npos)
            expected.replace(at, 4, std::to_string(proxyPeer.port()));
        expectedSize = expected.size();
        ProxySettings proxy{kProxyTelnet, "127.0.0.1", proxyPeer.port(), "bob", "pw", row.pattern};
        ExpectWorkingTunnel({"target.example", 22, &proxy, 5000});
        EXPECT_EQ(received, expected);
    }
}

}  // namespace
}  // namespace tessan::net
