// The computer's host name and IPv4 addresses, as written into the terminal at start-up.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

// At most this many addresses are listed.
inline constexpr std::size_t kMaxListedAddresses = 10;

// "Hostname     = " and the name, then "IP Address 1 = " ... one line per address, up to ten.
std::vector<std::string> HostIdentityLines(const std::string& hostName,
                                           const std::vector<std::string>& addresses);

// The machine's host name.
std::string LocalHostName();
// The IPv4 addresses of the machine's interfaces that are up, loopback excluded, in dotted
// decimal, in the system's order and without repeats.
std::vector<std::string> LocalIPv4Addresses();

}  // namespace ostrel
