// Parsers of the system files the network report and the ARP tool read: the resolver's
// configuration, the kernel's IPv4 routing table and DHCP lease files. Each takes the file's
// text (any bytes, any size) and returns what it could make out; malformed lines are skipped.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/reports/network_info.h"

namespace ostrel {

// Files larger than this are read only this far.
inline constexpr std::size_t kLargestSystemFile = 1 << 20;

struct ResolverConfig {
    std::vector<std::string> nameServers;
    std::string domain;  // "domain", else the first "search" entry
};

// /etc/resolv.conf: "nameserver", "domain" and "search" lines; "#" and ";" start comments.
ResolverConfig ParseResolvConf(std::string_view text);

struct RouteEntry {
    std::string interfaceName;
    std::uint32_t destination = 0;  // in network byte order, as the kernel keeps it
    std::uint32_t gateway = 0;
    std::uint32_t mask = 0;
    unsigned flags = 0;  // RTF_UP 1, RTF_GATEWAY 2, ...
};

// /proc/net/route: a header line, then one route a line with addresses in hexadecimal.
std::vector<RouteEntry> ParseRouteTable(std::string_view text);

// The interface a packet to the IPv4 address (dotted decimal) leaves by: the route with the
// longest mask that holds it. Empty when no route does or the address is not IPv4.
std::string RouteInterfaceFor(std::string_view address, const std::vector<RouteEntry>& routes);

// Dotted decimal of an address in network byte order.
std::string DottedQuad(std::uint32_t address);

// dhclient's lease database: "lease { interface "eth0"; fixed-address ...; option
// dhcp-server-identifier ...; option dhcp-lease-time N; expire W YYYY/MM/DD HH:MM:SS; }" blocks,
// oldest first. Times are UTC, or "epoch N". The time obtained is the expiry less the lease time.
std::vector<DhcpLease> ParseDhclientLeases(std::string_view text);

// The KEY=VALUE lease files of systemd-networkd and NetworkManager's own DHCP client (ADDRESS,
// SERVER_ADDRESS, LIFETIME in seconds). They hold no times: the file was written when the lease
// was obtained, so its modification time stands for that. nullopt when there is no ADDRESS.
std::optional<DhcpLease> ParseKeyValueLease(std::string_view text, std::string interfaceName,
                                            std::optional<std::int64_t> written);

// Up to kLargestSystemFile bytes of a file; nullopt when it cannot be read.
std::optional<std::string> ReadSystemFile(const std::string& path);

}  // namespace ostrel
