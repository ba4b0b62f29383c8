// The transport driven from a real socket: in blocking mode (the pumping wait) against scripted
// TCP peers that misbehave, and in event-driven mode (socket notifications to a window) against
// sshd.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "crypto/bytes.h"
#include "crypto/wire.h"
#include "platform/messages.h"
#include "platform/socket_notify.h"
#include "ssh_peers.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/network.h"
#include "sshlib/transport/socket_link.h"
#include "sshlib/transport/socket_table.h"
#include "sshlib/transport/ssh_constants.h"
#include "test_peers.h"
#include "transport_driver.h"

namespace tessan::transport {
namespace {

using Clock = std::chrono::steady_clock;

int64_t ElapsedMs(Clock::time_point since) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

std::string PlainPacket(const std::string& payload) {
    size_t padding = 4;
    while ((5 + payload.size() + padding) % 8)
        ++padding;
    std::string p(4, '\0');
    crypto::StoreBe32(reinterpret_cast<uint8_t*>(p.data()),
                      static_cast<uint32_t>(1 + payload.size() + padding));
    p += static_cast<char>(padding);
    p += payload;
    p += std::string(padding, '\0');
    return p;
}

std::string KexInitWithout(const char* kex) {
    std::vector<uint8_t> p = {kMsgKexInit};
    p.resize(17, 7);
    const char* lists[] = {kex,         "ssh-rsa", "aes128-ctr", "aes128-ctr", "hmac-sha1",
                           "hmac-sha1", "none",    "none",       "",           ""};
    for (const char* l : lists)
        crypto::AppendString(p, std::string_view(l));
    p.push_back(0);
    crypto::AppendUint32(p, 0);
    return std::string(p.begin(), p.end());
}

TEST(SocketLinkBlocking, AServerThatClosesFailsAtOnceNotAtTheTimeOut) {
    // (A server that slams the connection shut gives the reset instead, 10054.)
    testing::ScriptedPeer peer([](int fd) {
        testing::ScriptedPeer::SendAll(fd, "SSH-2.0-OpenSSH_9.2\r\n");
        shutdown(fd, SHUT_WR);  // an orderly end; read what comes until the client closes too
        testing::ScriptedPeer::ReadUntil(fd, "never");
    });
    testing::TransportDriver driver;
    Clock::time_point start = Clock::now();
    DWORD error = driver.Open(peer.port(), 10000);
    EXPECT_EQ(error, kErrConnectionClosed);
    EXPECT_LT(ElapsedMs(start), 3000);
}

TEST(SocketLinkBlocking, ASilentServerRunsIntoTheTimeOut) {
    testing::ScriptedPeer peer([](int fd) { testing::ScriptedPeer::ReadUntil(fd, "never"); });
    testing::TransportDriver driver;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(driver.Open(peer.port(), 300), kErrTimedOut);
    EXPECT_GE(ElapsedMs(start), 290);
    EXPECT_EQ(driver.Transport().GetPhase(), Transport::Phase::kVersionExchange);
}

TEST(SocketLinkBlocking, TheDisconnectReachesTheServerBeforeTheSocketCloses) {
    std::string received;
    {
        testing::ScriptedPeer peer([&](int fd) {
            testing::ScriptedPeer::SendAll(
                fd, "SSH-2.0-OpenSSH_9.2\r\n" + PlainPacket(KexInitWithout("sntrup761x25519-sha512@openssh.com")));
            // Everything the client writes until it closes.
            char buffer[4096];
            ssize_t n;
            while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
                received.append(buffer, n);
        });
        testing::TransportDriver driver;
        EXPECT_EQ(driver.Open(peer.port(), 10000), kErrKeyExchangeFailed);
        EXPECT_FALSE(driver.Link().SocketOpen());
    }
    // Client line, its key-exchange-init, then the disconnect with reason 3.
    size_t line = received.find("\r\n");
    ASSERT_NE(line, std::string::npos);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(received.data()) + line + 2;
    size_t rest = received.size() - line - 2;
    uint32_t first = crypto::LoadBe32(p);
    ASSERT_GT(rest, first + 4 + 10);
    const uint8_t* disconnect = p + first + 4;
    EXPECT_EQ(disconnect[5], kMsgDisconnect);
    EXPECT_EQ(crypto::LoadBe32(disconnect + 6), kDisconnectKeyExchangeFailed);
}

// Event-driven mode: the socket's notifications go to a window whose procedure hands them to
// the link; the test only pumps messages.
struct EventClient {
    static constexpr UINT kNotify = 0x23FF;

    static LRESULT Procedure(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
        auto* self = static_cast<EventClient*>(PlatformGetWindowData(hwnd));
        if (message == kNotify && self && self->link) {
            self->link->OnSocketEvent(PLATFORM_SELECT_EVENT(lParam), PLATFORM_SELECT_ERROR(lParam));
        }
        return 0;
    }

    std::unique_ptr<Transport> transport;
    std::unique_ptr<SocketLink> link;
    bool accepted = false;
};

TEST(SocketLinkEvents, NotificationsDriveTheExchangeToTheServiceAccept) {
    testing::SshdOptions options;
    options.kex = "diffie-hellman-group14-sha1";
    testing::SshdPeer sshd;
    ASSERT_TRUE(sshd.Start(options)) << sshd.Error();
    ASSERT_EQ(net::StartSocketSubsystem(), 0u);
    EventClient client;
    Transport::Callbacks callbacks;
    callbacks.keysReady = [&] {
        OutgoingPacket request(kMsgServiceRequest);
        request.AddString(std::string_view("ssh-userauth"));
        client.transport->SendPacket(std::move(request));
    };
    callbacks.packet = [&](const IncomingPacket& p) {
        if (p.Type() == kMsgServiceAccept) client.accepted = true;
    };
    client.transport = std::make_unique<Transport>(TransportSettings{}, std::move(callbacks));

    net::ConnectRequest request;
    request.host = "127.0.0.1";
    request.port = sshd.Port();
    request.timeoutMs = 5000;
    net::Connection connection;
    DWORD error = 0;
    ASSERT_EQ(net::OpenConnection(request, connection, &error), 0) << error;
    client.link = std::make_unique<SocketLink>(*client.transport, connection.socket);
    HWND window = PlatformCreateWindow(EventClient::Procedure, &client);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(PlatformAsyncSelect(connection.socket, window, EventClient::kNotify,
                                  PLATFORM_FD_ALL_EVENTS),
              0);
    Clock::time_point start = Clock::now();
    while (!client.accepted && !client.transport->IsClosed() && ElapsedMs(start) < 15000) {
        PlatformWaitForWork(nullptr, 0, 100, PLATFORM_WAIT_WATCH_QUEUE);
        PlatformPumpMessages(nullptr);
    }
    EXPECT_TRUE(client.accepted) << client.transport->Failure().text << "\n" << sshd.Log();
    EXPECT_EQ(client.transport->CompletedKeyExchanges(), 1);
    PlatformAsyncSelect(connection.socket, window, 0, 0);
    client.link.reset();
    PlatformDestroyWindow(window);
    net::CleanupSocketSubsystem();
}

}  // namespace
}  // namespace tessan::transport
