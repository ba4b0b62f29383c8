// Host lookup, the local address test and direct connections: the lookups of real and
// impossible names, refused and successful connects, and falling through to the next address.
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/messages.h"
#include "sshlib/transport/host_lookup.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/network.h"
#include "sshlib/transport/socket_table.h"
#include "test_peers.h"

namespace tessan::net {
namespace {

using tessan::testing::ClosedPort;
using tessan::testing::Listener;

int64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

class Network : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(StartSocketSubsystem(), 0u); }
    void TearDown() override {
        SocketTable() = SystemSocketFunctions();
        CleanupSocketSubsystem();
    }
};

bool HasIpv4(const HostLookup& lookup, uint32_t address) {
    for (const HostAddress& a : lookup.addresses)
        if (a.family == AF_INET && ntohl(reinterpret_cast<const sockaddr_in*>(&a.address)->sin_addr.s_addr) == address)
            return true;
    return false;
}

TEST_F(Network, LooksUpLocalhostAndNumericText) {
    HostLookup lookup;
    ASSERT_EQ(LookupHost("localhost", 5000, lookup), 0);
    EXPECT_TRUE(HasIpv4(lookup, 0x7F000001));
    EXPECT_FALSE(lookup.canonicalName.empty());
    ASSERT_EQ(LookupHost(" \t10.1", 5000, lookup), 0);
    ASSERT_EQ(lookup.addresses.size(), 1u);
    EXPECT_TRUE(HasIpv4(lookup, 0x0A000001));
    EXPECT_EQ(lookup.canonicalName, "10.1");
    EXPECT_EQ(lookup.family, kFamilyIpv4);
}

TEST_F(Network, ImpossibleNamesFailPromptlyWithHostNotFound) {
    const std::string names[] = {"", "   ", std::string(256, 'a'), std::string("ho\0st", 5),
                                 "bad\nname", "tab\tname", std::string(1, '\x7f')};
    for (const std::string& name : names) {
        HostLookup lookup;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(LookupHost(name, 5000, lookup), -1);
        EXPECT_EQ(lookup.error, kErrHostNotFound) << name.size();
        EXPECT_EQ(LastSocketError(), kErrHostNotFound);
        EXPECT_LT(ElapsedMs(start), 500);
    }
}

TEST_F(Network, NamesThatDoNotExistAreNotFound) {
    const std::string names[] = {"no-such-host.invalid", std::string(255, 'b')};
    for (const std::string& name : names) {
        HostLookup lookup;
        EXPECT_EQ(LookupHost(name, 10000, lookup), -1);
        // Without a reachable name server the honest answer is "try again".
        EXPECT_TRUE(lookup.error == kErrHostNotFound || lookup.error == kErrNoData ||
                    lookup.error == kErrTryAgain)
            << lookup.error;
        EXPECT_TRUE(lookup.addresses.empty());
    }
}

// A resolver that takes its time, to show that the caller keeps pumping and can give up.
int SlowResolver(const char*, const char*, const addrinfo*, addrinfo** out) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    *out = nullptr;
    return EAI_AGAIN;
}

int gDispatched = 0;
LRESULT CountProc(HWND, UINT, WPARAM, LPARAM) {
    ++gDispatched;
    return 0;
}

TEST_F(Network, SlowLookupKeepsMessagesFlowingAndEndsAtItsTimeout) {
    SocketTable().getaddrinfo = SlowResolver;
    HWND hwnd = PlatformCreateWindow(CountProc, nullptr);
    gDispatched = 0;
    PlatformPostMessage(hwnd, WM_USER, 0, 0);
    HostLookup lookup;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LookupHost("slow.example", 200, lookup), -1);
    EXPECT_EQ(lookup.error, kErrTimedOut);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(gDispatched, 1);
    PlatformDestroyWindow(hwnd);
}

// A resolver answering with two loopback addresses, the first of which refuses.
void FreeList(addrinfo* list) {
    while (list) {
        addrinfo* next = list->ai_next;
        delete reinterpret_cast<sockaddr_in*>(list->ai_addr);
        delete list;
        list = next;
    }
}
int TwoAddresses(const char*, const char*, const addrinfo*, addrinfo** out) {
    addrinfo* head = nullptr;
    for (uint32_t address : {0x7F000001u, 0x7F000002u}) {  // prepended: 127.0.0.2 comes first
        auto* sin = new sockaddr_in{};
        sin->sin_family = AF_INET;
        sin->sin_addr.s_addr = htonl(address);
        auto* node = new addrinfo{};
        node->ai_family = AF_INET;
        node->ai_socktype = SOCK_STREAM;
        node->ai_addr = reinterpret_cast<sockaddr*>(sin);
        node->ai_addrlen = sizeof *sin;
        node->ai_next = head;
        head = node;
    }
    *out = head;
    return 0;
}

TEST_F(Network, ConnectFallsThroughToTheNextAddress) {
    SocketTable().getaddrinfo = TwoAddresses;
    SocketTable().freeaddrinfo = FreeList;
    Listener listener;  // on 127.0.0.1 only: 127.0.0.2 refuses
    Connection connection;
    DWORD error = 1;
    ASSERT_EQ(OpenConnection({"two.example", listener.port(), nullptr, 5000}, connection, &error), 0);
    EXPECT_EQ(error, 0u);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    ASSERT_EQ(getpeername(connection.socket, reinterpret_cast<sockaddr*>(&peer), &length), 0);
    EXPECT_EQ(ntohl(peer.sin_addr.s_addr), 0x7F000001u);
    CloseSocket(connection.socket);

    listener.Close();  // now both refuse: the last attempt's error is reported
    EXPECT_EQ(OpenConnection({"two.example", listener.port(), nullptr, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrRefused);
    EXPECT_EQ(connection.socket, -1);
}

TEST_F(Network, RefusedConnectFailsPromptlyWithTheMappedError) {
    Connection connection;
    DWORD error = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(OpenConnection({"127.0.0.1", ClosedPort(), nullptr, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrRefused);
    EXPECT_EQ(LastSocketError(), kErrRefused);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(Network, DirectConnectionCarriesData) {
    Listener listener;
    Connection connection;
    DWORD error = 1;
    ASSERT_EQ(OpenConnection({"localhost", listener.port(), nullptr, 5000}, connection, &error), 0);
    int server = accept(listener.fd(), nullptr, nullptr);
    ASSERT_GE(server, 0);
    int nodelay = 0, oobInline = 0;
    socklen_t length = sizeof nodelay;
    getsockopt(connection.socket, IPPROTO_TCP, TCP_NODELAY, &nodelay, &length);
    getsockopt(connection.socket, SOL_SOCKET, SO_OOBINLINE, &oobInline, &length);
    EXPECT_TRUE(nodelay);
    EXPECT_TRUE(oobInline);
    ASSERT_EQ(send(server, "SSH-2.0-x\r\n", 11, 0), 11);
    pollfd p{connection.socket, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    char buffer[32];
    EXPECT_EQ(Recv(connection.socket, buffer, sizeof buffer, 0), 11);
    close(server);
    EXPECT_EQ(CloseSocket(connection.socket), 0);
}

TEST_F(Network, LocalNamesBypassTheProxy) {
    Listener listener;
    ProxySettings deadProxy{kProxyHttp, "127.0.0.1", ClosedPort(), "", "", ""};
    for (const char* host : {"localhost", "127.0.0.1", "0x7f.1"}) {
        Connection connection;
        DWORD error = 1;
        ASSERT_EQ(OpenConnection({host, listener.port(), &deadProxy, 5000}, connection, &error), 0) << host;
        CloseSocket(connection.socket);
    }
    // "LOCALHOST" is not the name "localhost": it goes to the (dead) proxy.
    Connection connection;
    DWORD error = 0;
    EXPECT_EQ(OpenConnection({"LOCALHOST", listener.port(), &deadProxy, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrRefused);
}

TEST_F(Network, BadArgumentsFailBeforeAnyNetworkActivity) {
    ProxySettings strange{7, "proxy.example", 0, "", "", ""};
    Connection connection;
    DWORD error = 0;
    EXPECT_EQ(OpenConnection({"h.example", 22, &strange, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrInvalidProxyType);
    EXPECT_EQ(OpenConnection({"h.example", 70000, nullptr, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrInvalid);
    EXPECT_EQ(OpenConnection({"", 22, nullptr, 5000}, connection, &error), -1);
    EXPECT_EQ(error, kErrHostNotFound);
}

TEST_F(Network, MissingEntryPointsAreReported) {
    SocketTable().socket = nullptr;
    EXPECT_EQ(Socket(AF_INET, SOCK_STREAM, 0), -1);
    EXPECT_EQ(LastSocketError(), kErrNotInitialised);
    EXPECT_EQ(StartSocketSubsystem(), kErrSystemNotReady);
}

TEST_F(Network, LocalAddressTest) {
    EXPECT_TRUE(IsLocalAddress(0x7F000001));
    EXPECT_TRUE(IsLocalAddress(0x7F123456));
    EXPECT_FALSE(IsLocalAddress(0xCB007105));  // 203.0.113.5, a documentation address
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(entry->ifa_addr);
            EXPECT_TRUE(IsLocalAddress(ntohl(v4->sin_addr.s_addr)));
        }
    }
    freeifaddrs(list);
    EXPECT_TRUE(IsLoopbackName("localhost"));
    EXPECT_FALSE(IsLoopbackName("Localhost"));
    EXPECT_TRUE(IsLoopbackName("127.1"));
    EXPECT_FALSE(IsLoopbackName("128.0.0.1"));
}

}  // namespace
}  // namespace tessan::net
