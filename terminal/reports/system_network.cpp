#include "terminal/reports/system_network.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "terminal/reports/report_text.h"

namespace ostrel {
namespace {

namespace fs = std::filesystem;

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string UserName() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return entry->pw_name;
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string IPv4Text(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return {};
    std::uint32_t raw = 0;
    std::memcpy(&raw, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr, sizeof raw);
    return DottedQuad(raw);
}

std::string Description(const std::string& name) {
    const fs::path folder = fs::path("/sys/class/net") / name;
    if (const auto alias = ReadSystemFile((folder / "ifalias").string())) {
        const std::string_view text = TrimSpace(*alias);
        if (!text.empty()) return std::string(text);
    }
    std::error_code ec;
    const fs::path driver = fs::read_symlink(folder / "device" / "driver", ec);
    return ec ? std::string() : driver.filename().string();
}

std::optional<std::int64_t> ModificationTime(const fs::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtime);
}

// Every lease the readable lease files hold, later files' leases after earlier ones'.
std::vector<DhcpLease> SystemLeases(bool* anyReadable) {
    std::vector<DhcpLease> leases;
    auto files = [](const fs::path& folder) {
        std::vector<fs::path> paths;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            paths.push_back(it->path());
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    for (const char* folder : {"/var/lib/dhcp", "/var/lib/dhclient", "/var/lib/NetworkManager"}) {
        for (const fs::path& path : files(folder)) {
            const std::string name = path.filename().string();
            const std::optional<std::string> text = ReadSystemFile(path.string());
            if (!text) continue;
            if (name.starts_with("dhclient") &&
                (name.ends_with(".leases") || name.ends_with(".lease"))) {
                *anyReadable = true;
                for (DhcpLease& lease : ParseDhclientLeases(*text))
                    leases.push_back(std::move(lease));
            } else if (name.starts_with("internal-") && name.ends_with(".lease")) {
                // internal-<36-character connection id>-<interface>.lease
                constexpr std::size_t kPrefix = std::string_view("internal-").size() + 37;
                const std::size_t end = name.size() - std::string_view(".lease").size();
                if (end <= kPrefix) continue;
                *anyReadable = true;
                if (auto lease = ParseKeyValueLease(*text, name.substr(kPrefix, end - kPrefix),
                                                    ModificationTime(path)))
                    leases.push_back(std::move(*lease));
            }
        }
    }
    // systemd-networkd names each lease file by the interface's index.
    for (const fs::path& path : files("/run/systemd/netif/leases")) {
        const std::optional<std::string> text = ReadSystemFile(path.string());
        if (!text) continue;
        *anyReadable = true;
        char name[IF_NAMESIZE] = {};
        const unsigned index = static_cast<unsigned>(std::atoi(path.filename().c_str()));
        if (index == 0 || if_indextoname(index, name) == nullptr) continue;
        if (auto lease = ParseKeyValueLease(*text, name, ModificationTime(path)))
            leases.push_back(std::move(*lease));
    }
    return leases;
}

std::optional<std::vector<NetworkAdapter>> SystemAdapters() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::vector<NetworkAdapter> adapters;
    auto adapterNamed = [&](const char* name) -> NetworkAdapter& {
        for (NetworkAdapter& adapter : adapters)
            if (adapter.name == name) return adapter;
        NetworkAdapter& added = adapters.emplace_back();
        added.name = name;
        added.index = if_nametoindex(name);
        return added;
    };
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_name == nullptr || it->ifa_addr == nullptr) continue;
        if (it->ifa_addr->sa_family == AF_PACKET) {
            NetworkAdapter& adapter = adapterNamed(it->ifa_name);
            const auto* link = reinterpret_cast<const sockaddr_ll*>(it->ifa_addr);
            adapter.hardwareType = link->sll_hatype;
            const std::size_t length =
                std::min<std::size_t>(link->sll_halen, sizeof link->sll_addr);
            adapter.mac.assign(link->sll_addr, link->sll_addr + length);
        } else if (it->ifa_addr->sa_family == AF_INET) {
            adapterNamed(it->ifa_name)
                .addresses.push_back({IPv4Text(it->ifa_addr), IPv4Text(it->ifa_netmask)});
        }
    }
    freeifaddrs(list);
    for (NetworkAdapter& adapter : adapters)
        adapter.description = Description(adapter.name);
    return adapters;
}

}  // namespace

std::vector<RouteEntry> SystemRoutes() {
    const std::optional<std::string> text = ReadSystemFile("/proc/net/route");
    return text ? ParseRouteTable(*text) : std::vector<RouteEntry>{};
}

NetworkInfo GatherNetworkInfo() {
    NetworkInfo info;
    const std::string host = HostName();
    info.computerName = host;
    info.userName = UserName();
    info.hostName = host.substr(0, host.find('.'));
    if (const auto text = ReadSystemFile("/etc/resolv.conf")) {
        ResolverConfig resolver = ParseResolvConf(*text);
        info.dnsServers = std::move(resolver.nameServers);
        info.domainName = std::move(resolver.domain);
    }
    if (info.domainName.empty() && host.find('.') != std::string::npos)
        info.domainName = host.substr(host.find('.') + 1);
    if (const auto forward = ReadSystemFile("/proc/sys/net/ipv4/ip_forward"))
        info.routingEnabled = TrimSpace(*forward) == "1";

    info.adapters = SystemAdapters();
    if (!info.adapters) return info;
    for (const RouteEntry& route : SystemRoutes()) {
        if ((route.flags & 2u) == 0) continue;  // no gateway
        for (NetworkAdapter& adapter : *info.adapters)
            if (adapter.name == route.interfaceName)
                adapter.gateways.push_back({DottedQuad(route.gateway), DottedQuad(route.mask)});
    }
    for (DhcpLease& lease : SystemLeases(&info.leasesReadable))
        for (NetworkAdapter& adapter : *info.adapters)
            if (adapter.name == lease.interfaceName) adapter.lease = lease;  // the latest wins
    return info;
}

}  // namespace ostrel
