#include "terminal/reports/network_sources.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include "terminal/reports/system_network.h"

namespace ostrel {
namespace {

TEST(NetworkSources, ResolvConf) {
    const ResolverConfig config = ParseResolvConf(
        "# written by the network manager\n"
        "search studio.local corp.example\n"
        "nameserver 10.0.0.1 ; trailing comment\n"
        "nameserver\n"
        "  nameserver\t2001:db8::53\r\n"
        ";nameserver 1.1.1.1\n");
    EXPECT_EQ(config.nameServers, (std::vector<std::string>{"10.0.0.1", "2001:db8::53"}));
    EXPECT_EQ(config.domain, "studio.local");
    EXPECT_EQ(ParseResolvConf("search a.example\ndomain b.example\n").domain, "b.example");
}

TEST(NetworkSources, RouteTableAndTheInterfaceThatReachesAnAddress) {
    // As the kernel writes it on a little-endian machine.
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t0000000A\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n"
        "wlan0\t0010A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
        "tun0\t0020A8C0\t00000000\t0000\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "broken\tzz\n";
    const std::vector<RouteEntry> routes = ParseRouteTable(table);
    ASSERT_EQ(routes.size(), 4u);
    EXPECT_EQ(DottedQuad(routes[0].gateway), "10.0.0.1");
    EXPECT_EQ(DottedQuad(routes[2].destination), "192.168.16.0");
    EXPECT_EQ(DottedQuad(routes[2].mask), "255.255.255.0");
    const std::pair<const char*, const char*> cases[] = {
        {"10.0.0.9", "eth0"},       // the subnet's own route
        {"192.168.16.7", "wlan0"},  // longest mask wins over the default route
        {"8.8.8.8", "eth0"},        // the default route
        {"192.168.32.1", "eth0"},   // a route that is down does not count
        {"not-an-address", ""},
    };
    for (const auto& [address, device] : cases)
        EXPECT_EQ(RouteInterfaceFor(address, routes), device) << address;
    EXPECT_EQ(RouteInterfaceFor("10.0.0.9", {}), "");
}

TEST(NetworkSources, DhclientLeases) {
    const std::string text = R"(default-duid "\000\001";
lease {
  interface "eth0";
  fixed-address 10.0.0.5;
  option subnet-mask 255.255.255.0;
  option dhcp-lease-time 86400;
  option dhcp-server-identifier 10.0.0.1;
  option domain-name "studio; local";  # a quoted ";" is not the end of the statement
  renew 2 2024/03/05 22:00:00;
  expire 3 2024/03/06 10:00:00;
}
lease {
  interface "wlan0";
  fixed-address 192.168.1.20;
  expire epoch 1709719200; # Wed Mar 06 10:00:00 2024
}
lease { fixed-address 1.2.3.4; }
lease {
  interface "eth1";
  expire 3 2024/13/06 10:00:00;
  option dhcp-lease-time forever;
)";
    const std::vector<DhcpLease> leases = ParseDhclientLeases(text);
    ASSERT_EQ(leases.size(), 3u);  // the one without an interface is dropped
    EXPECT_EQ(leases[0].interfaceName, "eth0");
    EXPECT_EQ(leases[0].address, "10.0.0.5");
    EXPECT_EQ(leases[0].server, "10.0.0.1");
    EXPECT_EQ(leases[0].expires, 1709719200);
    EXPECT_EQ(leases[0].obtained, 1709719200 - 86400);
    EXPECT_EQ(leases[1].expires, 1709719200);
    EXPECT_EQ(leases[1].obtained, std::nullopt);
    EXPECT_EQ(leases[2].expires, std::nullopt);  // month 13, and the file is cut off
    // A NUL byte inside a word is part of the word, not the end of the text.
    const std::vector<DhcpLease> nul =
        ParseDhclientLeases(std::string("lease { interface \"eth0\"; fixed\0address 1; }", 45));
    ASSERT_EQ(nul.size(), 1u);
    EXPECT_EQ(nul[0].address, "");
}

TEST(NetworkSources, KeyValueLeases) {
    const auto lease = ParseKeyValueLease(
        "# comment\nADDRESS=192.168.1.20\nSERVER_ADDRESS=192.168.1.1\nLIFETIME=3600\nT1=1800\n",
        "wlan0", 1709647200);
    ASSERT_TRUE(lease.has_value());
    EXPECT_EQ(lease->interfaceName, "wlan0");
    EXPECT_EQ(lease->server, "192.168.1.1");
    EXPECT_EQ(lease->obtained, 1709647200);
    EXPECT_EQ(lease->expires, 1709647200 + 3600);
    EXPECT_FALSE(ParseKeyValueLease("SERVER_ADDRESS=1.1.1.1\n", "eth0", 0).has_value());
    EXPECT_EQ(ParseKeyValueLease("ADDRESS=1.2.3.4\nLIFETIME=-5", "eth0", 100)->expires,
              std::nullopt);
}

TEST(NetworkSources, ThisMachine) {
    const NetworkInfo info = GatherNetworkInfo();
    EXPECT_FALSE(info.hostName.empty());
    ASSERT_TRUE(info.adapters.has_value());
    bool loopback = false;
    for (const NetworkAdapter& adapter : *info.adapters)
        for (const AddressAndMask& address : adapter.addresses)
            loopback |= address.address == "127.0.0.1" && address.mask == "255.0.0.0";
    EXPECT_TRUE(loopback);
}

}  // namespace
}  // namespace ostrel
