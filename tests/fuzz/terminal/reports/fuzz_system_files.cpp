// The system files the reports and the ARP tool read (resolv.conf, the route table, DHCP lease
// files, meminfo, the process's maps) and a tool's output: the first byte picks the reader, the
// rest is the file. Each reader returns what it made out and keeps its invariants.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "terminal/reports/memory_report.h"
#include "terminal/reports/network_report.h"
#include "terminal/reports/network_sources.h"
#include "terminal/reports/program_runner.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    using namespace ostrel;
    switch (data[0] % 6) {
        case 0: {
            const ResolverConfig config = ParseResolvConf(text);
            NetworkInfo info;
            info.dnsServers = config.nameServers;
            info.domainName = config.domain;
            Check(!NetworkReport(info).empty());
            break;
        }
        case 1: {
            const std::vector<RouteEntry> routes = ParseRouteTable(text);
            for (const RouteEntry& route : routes)
                Check(!route.interfaceName.empty());
            RouteInterfaceFor("10.1.2.3", routes);
            break;
        }
        case 2:
            for (const DhcpLease& lease : ParseDhclientLeases(text)) {
                Check(!lease.interfaceName.empty());
                if (lease.obtained) Check(lease.expires && *lease.obtained <= *lease.expires);
            }
            break;
        case 3:
            if (const auto lease = ParseKeyValueLease(text, "eth0", 1700000000)) {
                Check(!lease->address.empty());
                if (lease->expires) Check(*lease->expires >= 1700000000);
            }
            break;
        case 4: {
            MemoryStatus status;
            if (ParseMeminfo(text, &status)) Check(!MemoryReport(status).empty());
            if (const auto space = AddressSpaceFromMaps(text)) Check((*space & (*space - 1)) == 0);
            VmSizeFromStatus(text);
            break;
        }
        default: {
            ToolOutput output;
            std::size_t bytes = 0;
            for (const std::string& line : output.Feed(text)) {
                Check(line.size() <= ToolOutput::kLongestLine);
                Check(line.find_first_of("\r\n") == std::string::npos);
                bytes += line.size();
            }
            if (const auto last = output.Finish()) bytes += last->size();
            Check(bytes <= text.size());
            break;
        }
    }
    return 0;
}
