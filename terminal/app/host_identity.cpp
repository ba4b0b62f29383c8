#include "terminal/app/host_identity.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "terminal/core/text_util.h"

namespace ostrel {

std::vector<std::string> HostIdentityLines(const std::string& hostName,
                                           const std::vector<std::string>& addresses) {
    std::vector<std::string> lines;
    lines.push_back("Hostname     = " + std::string(TrimBlanks(hostName)));
    for (std::size_t i = 0; i < addresses.size() && i < kMaxListedAddresses; ++i)
        lines.push_back("IP Address " + std::to_string(i + 1) + " = " + addresses[i]);
    return lines;
}

std::string LocalHostName() {
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0) return {};
    return name.data();
}

std::vector<std::string> LocalIPv4Addresses() {
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return addresses;
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET) continue;
        if ((it->ifa_flags & IFF_UP) == 0 || (it->ifa_flags & IFF_LOOPBACK) != 0) continue;
        std::array<char, INET_ADDRSTRLEN> text{};
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text.data(), text.size()) == nullptr) continue;
        if (std::find(addresses.begin(), addresses.end(), text.data()) == addresses.end())
            addresses.emplace_back(text.data());
    }
    freeifaddrs(list);
    return addresses;
}

}  // namespace ostrel
