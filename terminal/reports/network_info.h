// What the network report shows, gathered from the machine (system_network.cpp) or made by a
// test. A field left empty, or nullopt, is one the machine gave no value for: the report says
// "(not available)" there rather than invent one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {

struct AddressAndMask {
    std::string address;  // dotted decimal
    std::string mask;
};

// What a DHCP lease file says of an interface's lease.
struct DhcpLease {
    std::string interfaceName;
    std::string address;
    std::string server;                    // the DHCP server's address
    std::optional<std::int64_t> obtained;  // seconds since 1 January 1970 (UTC)
    std::optional<std::int64_t> expires;
};

struct NetworkAdapter {
    std::string name;         // "eth0"
    std::string description;  // the driver, or the interface's alias
    std::vector<std::uint8_t> mac;
    unsigned index = 0;                     // the interface index
    int hardwareType = -1;                  // ARPHRD_* of the interface; -1 when unknown
    std::vector<AddressAndMask> addresses;  // IPv4
    std::vector<AddressAndMask> gateways;   // gateways of routes through this interface
    std::optional<DhcpLease> lease;
};

struct NetworkInfo {
    std::string computerName;
    std::string userName;
    std::string hostName;
    std::string domainName;
    std::vector<std::string> dnsServers;
    std::optional<bool> routingEnabled;  // IPv4 forwarding
    // Whether any lease file could be read: without one, "DHCP enabled" is not known.
    bool leasesReadable = false;
    // Adapters are left out when the interface list could not be read.
    std::optional<std::vector<NetworkAdapter>> adapters;
};

}  // namespace ostrel
