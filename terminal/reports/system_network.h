// The network report's data from this machine: getifaddrs for the adapters, /etc/resolv.conf,
// /proc/net/route, IPv4 forwarding, sysfs for the adapters' drivers and the DHCP lease files of
// dhclient, NetworkManager and systemd-networkd that this user may read.
#pragma once

#include <string>
#include <vector>

#include "terminal/reports/network_info.h"
#include "terminal/reports/network_sources.h"

namespace ostrel {

NetworkInfo GatherNetworkInfo();

// The kernel's IPv4 routes; empty when /proc/net/route cannot be read.
std::vector<RouteEntry> SystemRoutes();

}  // namespace ostrel
