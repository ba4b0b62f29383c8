#include "terminal/reports/network_report.h"

#include <net/if_arp.h>

#include <gtest/gtest.h>

#include "report_lines.h"

#include <string>
#include <vector>

namespace ostrel {
namespace {

using testing::ReportLines;

TEST(NetworkReport, ParametersAndOneAdapterWithLease) {
    NetworkInfo info;
    info.computerName = "rack-pc.studio.local";
    info.userName = "integrator";
    info.hostName = "rack-pc";
    info.domainName = "studio.local";
    info.dnsServers = {"10.0.0.1", "9.9.9.9"};
    info.routingEnabled = false;
    info.leasesReadable = true;
    NetworkAdapter eth;
    eth.name = "eth0";
    eth.description = "e1000e";
    eth.mac = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0xfe};
    eth.index = 26;
    eth.hardwareType = ARPHRD_ETHER;
    eth.addresses = {{"10.0.0.5", "255.255.255.0"}};
    eth.gateways = {{"10.0.0.1", "0.0.0.0"}};
    eth.lease = DhcpLease{"eth0", "10.0.0.5", "10.0.0.1", 1709632800, 1709719200};
    info.adapters = std::vector<NetworkAdapter>{eth};

    const std::vector<std::string> expected = {
        std::string(50, '#'),
        "Computer Name    : rack-pc.studio.local",
        "User Name        : integrator",
        std::string(30, '='),
        "Host name        : rack-pc",
        "Domain name      : studio.local",
        "Current DNS      : 10.0.0.1",
        "DNS number 1     : 10.0.0.1",
        "DNS number 2     : 9.9.9.9",
        "Node type        : (not available)",
        "DHCP scope name  : (not available)",
        "DHCP node        : (not available)",
        "Routing enabled  : No",
        "Proxy enabled    : (not available)",
        "DNS enabled      : (not available)",
        "-----------------",
        "Next adapter ptr : (not available)",
        "Combo index      : (Reserved)",
        "Adapter name     : eth0",
        "Description      : e1000e",
        "MAC addr. length : 6",
        "MAC address      : 00 1A 2B 3C 4D FE ",
        "Adapter index    : 1A",
        "Adapter type     : Ethernet",
        "DHCP enabled     : Yes",
        "Current ip       : (Reserved)",
        "IP            1 : 10.0.0.5",
        "Mask          1 : 255.255.255.0",
        "NTE           1 : (not available)",
        "Next address  1 : (not available)",
        "Gateway ip    1 : 10.0.0.1",
        "Gateway mask  1 : 0.0.0.0",
        "Gateway NTE   1 : (not available)",
        "Next address  1 : (not available)",
        "DHCP ip          : 10.0.0.1",
        "DHCP mask        : (not available)",
        "DHCP NTE         : (not available)",
        "Have WINS        : (not available)",
        "Primary WINS     : (not available)",
        "Lease obtained   : 2024-03-05 10:00:00 (000 milliseconds)Tuesday",
        "Lease expires    : 2024-03-06 10:00:00 (000 milliseconds)Wednesday",
    };
    EXPECT_EQ(ReportLines(NetworkReport(info)), expected);
}

TEST(NetworkReport, WhatTheMachineDidNotSay) {
    NetworkInfo info;  // nothing known, no DNS server, no adapter list
    std::vector<std::string> lines = ReportLines(NetworkReport(info));
    EXPECT_EQ(lines[1], "Computer Name    : (not available)");
    EXPECT_EQ(lines[6], "Current DNS      : (Reserved)");
    EXPECT_EQ(lines[7], "Node type        : (not available)");
    EXPECT_EQ(lines[10], "Routing enabled  : (not available)");
    EXPECT_EQ(lines.size(), 13u);  // the adapter section is left out

    // An adapter without a lease: "No" only when lease files could be read at all.
    NetworkAdapter lo;
    lo.name = "lo";
    lo.hardwareType = ARPHRD_LOOPBACK;
    lo.index = 1;
    info.adapters = std::vector<NetworkAdapter>{lo};
    lines = ReportLines(NetworkReport(info));
    EXPECT_EQ(lines[18], "MAC addr. length : 0");
    EXPECT_EQ(lines[19], "MAC address      : ");
    EXPECT_EQ(lines[21], "Adapter type     : LoopBack");
    EXPECT_EQ(lines[22], "DHCP enabled     : (not available)");
    EXPECT_EQ(lines.back(), "Lease expires    : (not available)");
    info.leasesReadable = true;
    EXPECT_EQ(ReportLines(NetworkReport(info))[22], "DHCP enabled     : No");
}

TEST(NetworkReport, AdapterTypeNames) {
    const std::pair<int, const char*> cases[] = {
        {ARPHRD_ETHER, "Ethernet"},    {ARPHRD_IEEE802_TR, "Tokenring"},
        {ARPHRD_FDDI, "FDDI"},         {ARPHRD_PPP, "PPP"},
        {ARPHRD_LOOPBACK, "LoopBack"}, {ARPHRD_SLIP, "Slip"},
        {ARPHRD_IEEE80211, "Other"},   {-1, "Other"},
    };
    for (const auto& [type, name] : cases)
        EXPECT_EQ(AdapterTypeName(type), name) << type;
}

}  // namespace
}  // namespace ostrel
