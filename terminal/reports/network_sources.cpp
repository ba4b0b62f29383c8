#include "terminal/reports/network_sources.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>

#include "terminal/reports/report_text.h"

namespace ostrel {
namespace {

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

template <typename T>
std::optional<T> Number(std::string_view text, int base = 10) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool IsIPv4(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    in_addr address{};
    return inet_pton(AF_INET, std::string(text).c_str(), &address) == 1;
}

// The statements of dhclient's lease database, tokenised: words, quoted strings (without their
// quotes), "{", "}" and ";". Comments run from "#" to the end of the line.
std::vector<std::string> LeaseTokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '#') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (c == '{' || c == '}' || c == ';') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '"') {
            const std::size_t close = text.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            tokens.emplace_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else {
            const std::size_t start = i;
            // A NUL byte is a word character here (strchr would find the terminator in it).
            constexpr std::string_view kDelimiters = " \t\r\n{};\"#";
            while (i < text.size() && kDelimiters.find(text[i]) == std::string_view::npos)
                ++i;
            tokens.emplace_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

// "W YYYY/MM/DD HH:MM:SS" (UTC) or "epoch N".
std::optional<std::int64_t> LeaseTime(const std::vector<std::string>& words) {
    if (words.size() >= 2 && words[0] == "epoch") return Number<std::int64_t>(words[1]);
    if (words.size() < 3) return std::nullopt;
    std::tm when{};
    char extra = 0;
    if (std::sscanf(words[1].c_str(), "%d/%d/%d%c", &when.tm_year, &when.tm_mon, &when.tm_mday,
                    &extra) != 3 ||
        std::sscanf(words[2].c_str(), "%d:%d:%d%c", &when.tm_hour, &when.tm_min, &when.tm_sec,
                    &extra) != 3)
        return std::nullopt;
    if (when.tm_year < 1970 || when.tm_year > 9999 || when.tm_mon < 1 || when.tm_mon > 12 ||
        when.tm_mday < 1 || when.tm_mday > 31 || when.tm_hour > 23 || when.tm_min > 59 ||
        when.tm_sec > 60 || when.tm_hour < 0 || when.tm_min < 0 || when.tm_sec < 0)
        return std::nullopt;
    when.tm_year -= 1900;
    when.tm_mon -= 1;
    return static_cast<std::int64_t>(timegm(&when));
}

}  // namespace

ResolverConfig ParseResolvConf(std::string_view text) {
    ResolverConfig config;
    std::string search;
    ForEachLine(text, [&](std::string_view line) {
        line = line.substr(0, line.find_first_of("#;"));
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.size() < 2) return;
        if (fields[0] == "nameserver")
            config.nameServers.emplace_back(fields[1]);
        else if (fields[0] == "domain")
            config.domain = std::string(fields[1]);
        else if (fields[0] == "search")
            search = std::string(fields[1]);
    });
    if (config.domain.empty()) config.domain = search;
    return config;
}

std::vector<RouteEntry> ParseRouteTable(std::string_view text) {
    std::vector<RouteEntry> routes;
    ForEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> f = Fields(line);
        if (f.size() < 8) return;
        const auto destination = Number<std::uint32_t>(f[1], 16);
        const auto gateway = Number<std::uint32_t>(f[2], 16);
        const auto flags = Number<unsigned>(f[3], 16);
        const auto mask = Number<std::uint32_t>(f[7], 16);
        if (!destination || !gateway || !flags || !mask) return;  // the header, or damage
        // The kernel prints each address as the integer it stores, so the bytes come back in
        // network order once the integer is put in memory as it is.
        routes.push_back({std::string(f[0]), *destination, *gateway, *mask, *flags});
    });
    return routes;
}

std::string DottedQuad(std::uint32_t address) {
    in_addr in{};
    std::memcpy(&in.s_addr, &address, sizeof address);
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

std::string RouteInterfaceFor(std::string_view address, const std::vector<RouteEntry>& routes) {
    in_addr target{};
    if (inet_pton(AF_INET, std::string(address).c_str(), &target) != 1) return {};
    const RouteEntry* best = nullptr;
    for (const RouteEntry& route : routes) {
        if ((route.flags & 1u) == 0) continue;  // not up
        if ((target.s_addr & route.mask) != (route.destination & route.mask)) continue;
        if (best == nullptr || ntohl(route.mask) > ntohl(best->mask)) best = &route;
    }
    return best != nullptr ? best->interfaceName : std::string();
}

std::vector<DhcpLease> ParseDhclientLeases(std::string_view text) {
    std::vector<DhcpLease> leases;
    const std::vector<std::string> tokens = LeaseTokens(text);
    std::size_t i = 0;
    while (i < tokens.size()) {
        if (!(tokens[i] == "lease" && i + 1 < tokens.size() && tokens[i + 1] == "{")) {
            ++i;
            continue;
        }
        i += 2;
        DhcpLease lease;
        std::optional<std::int64_t> leaseTime;
        int depth = 1;
        std::vector<std::string> statement;
        while (i < tokens.size() && depth > 0) {
            const std::string& token = tokens[i++];
            if (token == "{") {
                ++depth;
            } else if (token == "}") {
                --depth;
            } else if (token != ";") {
                statement.push_back(token);
                continue;
            }
            if (depth != 1 || statement.empty()) {
                statement.clear();
                continue;
            }
            const std::vector<std::string> args(statement.begin() + 1, statement.end());
            if (statement[0] == "interface" && !args.empty()) {
                lease.interfaceName = args[0];
            } else if (statement[0] == "fixed-address" && !args.empty() && IsIPv4(args[0])) {
                lease.address = args[0];
            } else if (statement[0] == "expire") {
                lease.expires = LeaseTime(args);
            } else if (statement[0] == "option" && args.size() >= 2) {
                if (args[0] == "dhcp-server-identifier" && IsIPv4(args[1]))
                    lease.server = args[1];
                else if (args[0] == "dhcp-lease-time")
                    leaseTime = Number<std::int64_t>(args[1]);
            }
            statement.clear();
        }
        if (lease.expires && leaseTime && *leaseTime >= 0 && *leaseTime <= *lease.expires)
            lease.obtained = *lease.expires - *leaseTime;
        if (!lease.interfaceName.empty()) leases.push_back(std::move(lease));
    }
    return leases;
}

std::optional<DhcpLease> ParseKeyValueLease(std::string_view text, std::string interfaceName,
                                            std::optional<std::int64_t> written) {
    DhcpLease lease;
    lease.interfaceName = std::move(interfaceName);
    std::optional<std::int64_t> lifetime;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;
        const std::string_view key = TrimSpace(line.substr(0, equals));
        const std::string_view value = TrimSpace(line.substr(equals + 1));
        if (key == "ADDRESS" && IsIPv4(value))
            lease.address = std::string(value);
        else if (key == "SERVER_ADDRESS" && IsIPv4(value))
            lease.server = std::string(value);
        else if (key == "LIFETIME")
            lifetime = Number<std::int64_t>(value);
    });
    if (lease.address.empty()) return std::nullopt;
    lease.obtained = written;
    if (written && lifetime && *lifetime >= 0 && *lifetime < (std::int64_t{1} << 40))
        lease.expires = *written + *lifetime;
    return lease;
}

std::optional<std::string> ReadSystemFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    // Files under /proc and /sys say they are empty: read until the end, not a stated size.
    std::string text;
    char chunk[4096];
    while (text.size() < kLargestSystemFile && file) {
        file.read(chunk, static_cast<std::streamsize>(
                             std::min(sizeof chunk, kLargestSystemFile - text.size())));
        text.append(chunk, static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) return std::nullopt;
    return text;
}

}  // namespace ostrel
