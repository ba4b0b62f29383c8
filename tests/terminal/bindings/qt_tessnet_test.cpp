// QtTessnet against real peers on loopback: TCP, UDP, a TCP server with several clients, and TLS
// against openssl's own server with a certificate made for the test.
#include "terminal/bindings/qt_tessnet.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <array>
#include <vector>

#include "qt_test_support.h"
#include "terminal/session/inet_text.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

struct Event {
    int handle;
    int event;
    int error;
};

// The owner of the handles: records notifications and, by default, drains read events the way
// the network sessions do.
class Owner final : public InetEventTarget {
public:
    explicit Owner(QtTessnet& net) : net_(net) {}
    void OnSocketMessage(unsigned message, int handle, std::uint32_t param) override {
        EXPECT_EQ(message, kSocketMessage);
        events.push_back({handle, InetEventOf(param), InetErrorOf(param)});
        if (InetEventOf(param) != kInetEventRead || !drain) return;
        std::string chunk;
        std::array<char, 4096> buffer;
        int n = 0;
        while ((n = net_.InetReadEx(handle, buffer, 0, &source, &sourcePort)) > 0)
            chunk.append(buffer.data(), static_cast<std::size_t>(n));
        largestChunk = std::max(largestChunk, chunk.size());
        received += chunk;
    }
    int Count(int event) const {
        return static_cast<int>(std::count_if(
            events.begin(), events.end(), [event](const Event& e) { return e.event == event; }));
    }
    const Event* First(int event) const {
        for (const Event& e : events)
            if (e.event == event) return &e;
        return nullptr;
    }

    std::vector<Event> events;
    std::string received;
    std::size_t largestChunk = 0;
    bool drain = true;
    InetAddress source;
    unsigned sourcePort = 0;

private:
    QtTessnet& net_;
};

class TessnetTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    TessnetTest() { EXPECT_NE(net_.InetInitializeA({}, 0), 0); }

    int Connect(unsigned port, unsigned timeout = 0, std::string_view host = "127.0.0.1") {
        return net_.InetAsyncConnectA(host, port, kProtocolTcp, timeout, 0, 0, &owner_,
                                      kSocketMessage);
    }
    std::string ErrorText(int code) {
        std::array<char, 128> text{};
        const int n = net_.InetGetErrorStringA(code, text);
        return std::string(text.data(), static_cast<std::size_t>(std::max(n, 0)));
    }

    QtTessnet net_;
    Owner owner_{net_};
};

// A device stand-in that keeps its connections and what it received.
struct Peer {
    QTcpServer server;
    std::vector<QTcpSocket*> sockets;
    QByteArray received;
    Peer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                sockets.push_back(s);
                QObject::connect(s, &QTcpSocket::readyRead,
                                 [this, s] { received += s->readAll(); });
            }
        });
    }
};

TEST_F(TessnetTest, TcpClientConnectsTalksAndHearsTheClose) {
    Peer peer;
    const int handle = Connect(peer.server.serverPort());
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(owner_.events.empty());  // nothing from inside the call
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    EXPECT_EQ(owner_.First(kInetEventConnect)->error, 0);
    EXPECT_EQ(net_.InetWrite(handle, "PWR ON\r"), 7);
    ASSERT_TRUE(WaitUntil([&] { return peer.received == "PWR ON\r"; }));

    peer.sockets[0]->write("PWR=ON\r\n");
    ASSERT_TRUE(WaitUntil([&] { return owner_.received == "PWR=ON\r\n"; }));
    EXPECT_EQ(FormatInetAddress(owner_.source), "127.0.0.1");
    EXPECT_EQ(owner_.sourcePort, peer.server.serverPort());
    InetAddress address;
    unsigned port = 0;
    EXPECT_EQ(net_.InetGetPeerAddress(handle, &address, &port), 0);
    EXPECT_EQ(port, peer.server.serverPort());

    peer.sockets[0]->write("bye");
    peer.sockets[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventDisconnect) == 1; }));
    EXPECT_EQ(owner_.received, "PWR=ON\r\nbye");  // everything before the close arrived first
    EXPECT_EQ(owner_.events.back().event, kInetEventDisconnect);
    EXPECT_EQ(net_.InetWrite(handle, "late"), -1);
    EXPECT_EQ(net_.InetDisconnect(handle), 0);
    Pump(50);
    EXPECT_EQ(owner_.Count(kInetEventDisconnect), 1);  // no second one
    EXPECT_EQ(net_.InetDisconnect(handle), kInetErrorNotSocket);
}

TEST_F(TessnetTest, ClosingAConnectionIsNotifiedAndFlushesWhatWasWritten) {
    Peer peer;
    const int handle = Connect(peer.server.serverPort());
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    const std::string block(300000, 'q');
    ASSERT_EQ(net_.InetWrite(handle, block), static_cast<int>(block.size()));
    EXPECT_EQ(net_.InetDisconnect(handle), 0);
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventDisconnect) == 1; }));
    EXPECT_EQ(owner_.events.back().handle, handle);
    ASSERT_TRUE(
        WaitUntil([&] { return peer.received.size() == static_cast<qsizetype>(block.size()); }));
    EXPECT_EQ(net_.HandleCount(), 0u);
}

TEST_F(TessnetTest, ConnectFailuresArriveAsConnectEventsWithTheirNumbers) {
    const quint16 closed = FreePort();
    const int refused = Connect(closed);
    ASSERT_GT(refused, 0);
    const int unknown = Connect(80, 0, "no-such-host.invalid");
    ASSERT_GT(unknown, 0);
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 2; }));
    for (const Event& e : owner_.events) {
        EXPECT_EQ(e.event, kInetEventConnect);
        EXPECT_EQ(e.error,
                  e.handle == refused ? kInetErrorConnectionRefused : kInetErrorHostNotFound);
    }
    EXPECT_EQ(ErrorText(kInetErrorConnectionRefused), "The connection was refused by the peer.");
    // A failed connect is not followed by a disconnect, not even when it is closed.
    net_.InetDisconnect(refused);
    Pump(50);
    EXPECT_EQ(owner_.Count(kInetEventDisconnect), 0);
}

TEST_F(TessnetTest, ConnectThatNeverCompletesTimesOut) {
    // A listener whose queue is full: further connection attempts get no answer.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(s);
    }
    Pump(100);
    const int handle = Connect(ntohs(address.sin_port), 1);
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }, 4000));
    EXPECT_EQ(owner_.events[0].handle, handle);
    EXPECT_EQ(owner_.events[0].error, kInetErrorTimedOut);
    for (int s : fillers)
        close(s);
    close(listener);
}

TEST_F(TessnetTest, CallsThatFailAtOnceSetTheLastError) {
    struct Case {
        std::function<int()> call;
        int error;
    };
    const Case cases[] = {
        {[&] { return Connect(0); }, kInetErrorAddressNotAvailable},
        {[&] { return Connect(70000); }, kInetErrorAddressNotAvailable},
        {[&] {
             return net_.InetAsyncConnectA("127.0.0.1", 80, 99, 0, 0, 0, &owner_, kSocketMessage);
         },
         kInetErrorProtocolNotSupported},
        {[&] {
             return net_.InetAsyncConnectExA("127.0.0.1", 80, kProtocolTcp, 0, kInetOptionSecure,
                                             {}, 0, 77, &owner_, kSocketMessage);
         },
         kInetErrorCredentials},
        {[&] { return net_.InetWrite(12345, "x"); }, kInetErrorNotSocket},
        {[&] { return net_.InetRead(12345, std::span<char>()); }, kInetErrorNotSocket},
        {[&] { return net_.InetServerBroadcast(12345, "x"); }, kInetErrorNotSocket},
        {[&] {
             InetAddress a;
             unsigned p = 0;
             return net_.InetGetPeerAddress(12345, &a, &p);
         },
         kInetErrorNotSocket},
        {[&] {
             return net_.InetServerStartA(
                 {}, 0, 5, 64, 20, 2, 8, [](int, int, int) {}, 0);
         },
         kInetErrorInvalidArgument},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), -1);
        EXPECT_EQ(net_.InetGetLastError(), c.error);
    }
    net_.InetUninitialize();
    EXPECT_EQ(Connect(80), -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorNotInitialised);
}

TEST_F(TessnetTest, BurstOfTwentyMegabytesArrivesWholeInBoundedChunks) {
    Peer peer;
    const int handle = Connect(peer.server.serverPort());
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    std::string burst(20 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < burst.size(); ++i)
        burst[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    peer.sockets[0]->write(burst.data(), static_cast<qint64>(burst.size()));
    ASSERT_TRUE(WaitUntil([&] { return owner_.received.size() == burst.size(); }, 20000));
    EXPECT_TRUE(owner_.received == burst);
    EXPECT_LE(owner_.largestChunk, static_cast<std::size_t>(kTcpClientReadBuffer));
    EXPECT_GE(owner_.Count(kInetEventRead), 20);
    net_.InetDisconnect(handle);
}

TEST_F(TessnetTest, PeerThatClosesMidSendLosesNothingAlreadySent) {
    Peer peer;
    const int handle = Connect(peer.server.serverPort());
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    owner_.drain = false;  // an owner that does not read when told
    peer.sockets[0]->write(QByteArray(500000, 'm'));
    peer.sockets[0]->disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventDisconnect) == 1; }));
    EXPECT_EQ(owner_.events.back().event, kInetEventDisconnect);
    const int reads = owner_.Count(kInetEventRead);
    EXPECT_GE(reads, 1);
    Pump(100);
    EXPECT_EQ(owner_.Count(kInetEventRead), reads);  // no read events in a loop
    // What arrived before the close is all there.
    std::array<char, 4096> buffer;
    int n = 0;
    while ((n = net_.InetRead(handle, buffer)) > 0)
        owner_.received.append(buffer.data(), static_cast<std::size_t>(n));
    EXPECT_EQ(owner_.received.size(), 500000u);
    // Writing to the departed peer fails with a number; it does not crash.
    EXPECT_EQ(net_.InetWrite(handle, "x"), -1);
    EXPECT_NE(net_.InetGetLastError(), 0);
}

TEST_F(TessnetTest, UdpClientAndLargestDatagram) {
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
    const int handle = net_.InetAsyncConnectA("127.0.0.1", device.localPort(), kProtocolUdp, 0, 0,
                                              0, &owner_, kSocketMessage);
    ASSERT_GT(handle, 0);
    ASSERT_TRUE(WaitUntil([&] { return net_.InetWrite(handle, "PING") == 4; }));
    ASSERT_TRUE(WaitUntil([&] { return device.hasPendingDatagrams(); }));
    const QNetworkDatagram ping = device.receiveDatagram();
    EXPECT_EQ(ping.data(), "PING");

    QByteArray largest(65507, '\0');
    for (int i = 0; i < largest.size(); ++i)
        largest[i] = static_cast<char>(i * 31);
    device.writeDatagram(largest, ping.senderAddress(), static_cast<quint16>(ping.senderPort()));
    device.writeDatagram("after", ping.senderAddress(), static_cast<quint16>(ping.senderPort()));
    ASSERT_TRUE(WaitUntil([&] { return owner_.received.size() == 65507u + 5; }));
    EXPECT_EQ(owner_.received.substr(0, 65507), largest.toStdString());
    EXPECT_EQ(owner_.received.substr(65507), "after");
    EXPECT_EQ(owner_.sourcePort, device.localPort());
    EXPECT_EQ(net_.InetWrite(handle, std::string(65508, 'x')), -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorMessageSize);
    EXPECT_EQ(net_.InetWrite(handle, largest.toStdString()), 65507);
}

TEST_F(TessnetTest, UdpServerHearsEverySenderAndHasNoPeerToWriteTo) {
    const quint16 port = FreePort();
    const int handle = net_.InetAsyncConnectExA("0.0.0.0", port, kProtocolUdp, 0, 0, "0.0.0.0",
                                                port, 0, &owner_, kSocketMessage);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(net_.InetAsyncConnectExA("0.0.0.0", port, kProtocolUdp, 0, 0, "0.0.0.0", port, 0,
                                       &owner_, kSocketMessage),
              -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorAddressInUse);

    QUdpSocket first, second;
    first.bind(QHostAddress::LocalHost, 0);
    second.bind(QHostAddress::LocalHost, 0);
    first.writeDatagram("one", QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return owner_.received == "one"; }));
    EXPECT_EQ(owner_.sourcePort, first.localPort());
    second.writeDatagram("two", QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return owner_.received == "onetwo"; }));
    EXPECT_EQ(owner_.sourcePort, second.localPort());
    EXPECT_EQ(net_.InetWrite(handle, "reply"), -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorAddressNotAvailable);

    // It answers a sender by its address; nobody, or a handle that is not UDP, fails.
    EXPECT_EQ(net_.InetWriteTo(handle, "reply", owner_.source, owner_.sourcePort), 5);
    ASSERT_TRUE(WaitUntil([&] { return second.hasPendingDatagrams(); }));
    EXPECT_EQ(second.receiveDatagram().data(), "reply");
    EXPECT_EQ(net_.InetWriteTo(handle, "x", InetAddress{}, owner_.sourcePort), -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorAddressNotAvailable);
    EXPECT_EQ(net_.InetWriteTo(handle, "x", owner_.source, 0), -1);
    const int server = net_.InetServerStartA(
        {}, FreePort(), 5, 64, 20, 2, 8, [](int, int, int) {}, kSocketMessage);
    EXPECT_EQ(net_.InetWriteTo(server, "x", owner_.source, owner_.sourcePort), -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorNotSocket);
    EXPECT_EQ(net_.InetGetWriteBacklog(handle), 0);
    EXPECT_EQ(net_.InetGetWriteBacklog(9999), -1);
}

TEST_F(TessnetTest, ServerWithTwoClientsBroadcastsAndReleasesDepartedClients) {
    struct ClientEvent {
        int client, event, error;
    };
    std::vector<ClientEvent> events;
    std::string fromClients;
    const quint16 port = FreePort();
    const int server = net_.InetServerStartA(
        {}, port, 5, 64, 20, 2, 8,
        [&](int client, int event, int error) {
            events.push_back({client, event, error});
            if (event != kInetEventRead) return;
            std::array<char, 4096> buffer;
            const int n =
                net_.InetRead(client, buffer);  // one read per event, as the terminal does
            if (n > 0) fromClients.append(buffer.data(), static_cast<std::size_t>(n));
        },
        kSocketMessage);
    ASSERT_GT(server, 0);
    EXPECT_EQ(net_.InetServerStartA(
                  {}, port, 5, 64, 20, 2, 8, [](int, int, int) {}, kSocketMessage),
              -1);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorAddressInUse);

    QTcpSocket a, b;
    a.connectToHost(QHostAddress::LocalHost, port);
    b.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return events.size() == 2; }));
    EXPECT_EQ(events[0].event, kInetEventConnect);
    EXPECT_NE(events[0].client, events[1].client);
    InetAddress address;
    unsigned clientPort = 0;
    EXPECT_EQ(net_.InetGetPeerAddress(events[0].client, &address, &clientPort), 0);
    EXPECT_EQ(FormatInetAddress(address), "127.0.0.1");
    EXPECT_TRUE(clientPort == a.localPort() || clientPort == b.localPort());

    EXPECT_EQ(net_.InetServerBroadcast(server, "ALL\r"), 4);
    ASSERT_TRUE(WaitUntil([&] { return a.bytesAvailable() == 4 && b.bytesAvailable() == 4; }));
    EXPECT_EQ(a.readAll(), "ALL\r");
    EXPECT_EQ(b.readAll(), "ALL\r");

    // 10000 bytes take three read events of at most 4096 bytes each.
    a.write(QByteArray(10000, 'A'));
    ASSERT_TRUE(WaitUntil([&] { return fromClients.size() == 10000u; }));
    EXPECT_GE(std::count_if(events.begin(), events.end(),
                            [](const ClientEvent& e) { return e.event == kInetEventRead; }),
              3);
    const std::size_t handlesBefore = net_.HandleCount();
    b.write("bye");
    b.disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return events.back().event == kInetEventDisconnect; }));
    EXPECT_EQ(fromClients.substr(10000), "bye");
    EXPECT_EQ(net_.HandleCount(), handlesBefore - 1);
    EXPECT_EQ(net_.InetServerBroadcast(server, "left"), 4);  // to the one still there
    ASSERT_TRUE(WaitUntil([&] { return a.bytesAvailable() == 4; }));

    EXPECT_EQ(net_.InetDisconnect(server), 0);
    EXPECT_EQ(net_.HandleCount(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return a.state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(TessnetTest, StalledServerClientIsDroppedWithItsOwnNumber) {
    std::vector<std::pair<int, int>> events;  // event, error
    const quint16 port = FreePort();
    const int server = net_.InetServerStartA(
        {}, port, 5, 64, 1, 2, 8,
        [&](int, int event, int error) { events.emplace_back(event, error); }, kSocketMessage);
    ASSERT_GT(server, 0);
    // A client that never reads, with the smallest receive buffer the system allows.
    const int client = socket(AF_INET, SOCK_STREAM, 0);
    int small = 1;
    setsockopt(client, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(WaitUntil([&] { return events.size() == 1; }));
    for (int i = 0; i < 64; ++i)
        net_.InetServerBroadcast(server, std::string(65536, 's'));
    ASSERT_TRUE(WaitUntil([&] { return events.size() == 2; }, 5000));
    EXPECT_EQ(events[1], (std::pair<int, int>{kInetEventDisconnect, kInetErrorStalledClient}));
    close(client);
}

// TLS against "openssl s_server".
class TessnetTlsTest : public TessnetTest {
protected:
    static void SetUpTestSuite() {
        EnsureApplication();
        certificate_ = std::make_unique<SelfSignedCertificate>();
    }
    static void TearDownTestSuite() { certificate_.reset(); }

    int ConnectSecure(quint16 port, unsigned protocols) {
        InetCredentials credentials = 0;
        if (net_.InetCreateSecurityCredentialsA(protocols, 0, {}, {}, {}, {}, 0, &credentials) == 0)
            return -1;
        return net_.InetAsyncConnectExA("127.0.0.1", port, kProtocolTcp, 5, kInetOptionSecure, {},
                                        0, credentials, &owner_, kSocketMessage);
    }

    static std::unique_ptr<SelfSignedCertificate> certificate_;
};
std::unique_ptr<SelfSignedCertificate> TessnetTlsTest::certificate_;

TEST_F(TessnetTlsTest, AutoNegotiatesTheBestVersionAndReportsTheCertificate) {
    ASSERT_TRUE(certificate_->ok);
    TlsServer server(*certificate_, {});
    ASSERT_TRUE(server.Started());
    const int handle = ConnectSecure(server.Port(), kSecuritySsl3 | kSecurityTls1);
    ASSERT_GT(handle, 0);
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    ASSERT_EQ(owner_.events[0].error, 0);
    InetSecurityInfo info;
    ASSERT_TRUE(net_.InetGetSecurityInfo(handle, &info));
    EXPECT_EQ(info.protocol, "TLS 1.3");
    EXPECT_NE(info.subject.find("CN=device.local"), std::string::npos);
    EXPECT_EQ(info.sha256, certificate_->Sha256());
    EXPECT_FALSE(info.verified);  // self-signed
    EXPECT_FALSE(info.verifyError.empty());

    EXPECT_EQ(net_.InetWrite(handle, "secret line\n"), 12);
    QByteArray seen;
    ASSERT_TRUE(WaitUntil([&] {
        seen += server.Process().readAllStandardOutput();
        return seen.contains("secret line");
    }));
    server.Process().write("device says hi\n");
    ASSERT_TRUE(WaitUntil([&] { return owner_.received == "device says hi\n"; }));
}

TEST_F(TessnetTlsTest, TlsOneZeroIsSpokenExactlyAndOnlyWhenAsked) {
    ASSERT_TRUE(certificate_->ok);
    TlsServer old(*certificate_, {QStringLiteral("-tls1"), QStringLiteral("-cipher"),
                                  QStringLiteral("DEFAULT:@SECLEVEL=0")});
    ASSERT_TRUE(old.Started());
    for (unsigned set : {kSecurityTls1, kSecuritySsl3 | kSecurityTls1}) {
        owner_.events.clear();
        const int handle = ConnectSecure(old.Port(), set);
        ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
        ASSERT_EQ(owner_.events[0].error, 0) << set;
        InetSecurityInfo info;
        ASSERT_TRUE(net_.InetGetSecurityInfo(handle, &info));
        EXPECT_EQ(info.protocol, "TLS 1.0") << set;
        net_.InetDisconnect(handle);
        Pump(100);  // s_server serves one client at a time
    }

    TlsServer modern(*certificate_, {QStringLiteral("-no_tls1"), QStringLiteral("-no_tls1_1")});
    ASSERT_TRUE(modern.Started());
    owner_.events.clear();
    ConnectSecure(modern.Port(), kSecurityTls1);
    ASSERT_TRUE(WaitUntil([&] { return owner_.Count(kInetEventConnect) == 1; }));
    EXPECT_EQ(owner_.events[0].error, kInetErrorTlsHandshake);
    EXPECT_EQ(ErrorText(kInetErrorTlsHandshake).rfind("The TLS handshake failed.", 0), 0u);
}

TEST_F(TessnetTlsTest, SslTwoAndThreeAreRefusedWithAClearText) {
    InetCredentials credentials = 0;
    for (unsigned set : {kSecuritySsl2, kSecuritySsl3, kSecuritySsl2 | kSecuritySsl3}) {
        EXPECT_EQ(net_.InetCreateSecurityCredentialsA(set, 0, {}, {}, {}, {}, 0, &credentials), 0);
        EXPECT_EQ(net_.InetGetLastError(), kInetErrorTlsProtocol);
    }
    EXPECT_EQ(net_.InetCreateSecurityCredentialsA(0x40, 0, {}, {}, {}, {}, 0, &credentials), 0);
    EXPECT_EQ(net_.InetGetLastError(), kInetErrorInvalidArgument);
    EXPECT_NE(ErrorText(kInetErrorTlsProtocol).find("SSL 2.0 and SSL 3.0"), std::string::npos);
}

}  // namespace
}  // namespace ostrel
