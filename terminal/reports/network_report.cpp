#include "terminal/reports/network_report.h"

#include <net/if_arp.h>

#include <cstdio>
#include <vector>

#include "terminal/reports/report_text.h"

namespace ostrel {
namespace {

std::string OrNotAvailable(const std::string& value) {
    return value.empty() ? std::string(kNotAvailable) : value;
}

std::string YesNo(const std::optional<bool>& flag) {
    if (!flag) return std::string(kNotAvailable);
    return *flag ? "Yes" : "No";
}

std::string MacText(const std::vector<std::uint8_t>& mac) {
    std::string text;
    for (const std::uint8_t byte : mac) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    return text;
}

std::string Time(const std::optional<std::int64_t>& seconds) {
    return seconds ? FormatReportTime(*seconds) : std::string(kNotAvailable);
}

// "IP            1 : 10.0.0.5" and its three companion lines for one entry of an address list.
void AddressLines(std::vector<std::string>& lines, const char* addressLabel, const char* maskLabel,
                  const char* contextLabel, const std::vector<AddressAndMask>& list) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        lines.push_back(addressLabel + n + " : " + list[i].address);
        lines.push_back(maskLabel + n + " : " + OrNotAvailable(list[i].mask));
        lines.push_back(contextLabel + n + " : " + std::string(kNotAvailable));
        lines.push_back("Next address  " + n + " : " + std::string(kNotAvailable));
    }
}

void AdapterLines(std::vector<std::string>& lines, const NetworkAdapter& a, bool leasesKnown) {
    const std::string na(kNotAvailable);
    lines.push_back(std::string(17, '-'));
    lines.push_back("Next adapter ptr : " + na);
    lines.push_back("Combo index      : (Reserved)");
    lines.push_back("Adapter name     : " + OrNotAvailable(a.name));
    lines.push_back("Description      : " + OrNotAvailable(a.description));
    lines.push_back("MAC addr. length : " + std::to_string(a.mac.size()));
    lines.push_back("MAC address      : " + MacText(a.mac));
    lines.push_back("Adapter index    : " + Hex(a.index));
    lines.push_back("Adapter type     : " + AdapterTypeName(a.hardwareType));
    const std::optional<bool> dhcp = a.lease       ? std::optional<bool>(true)
                                     : leasesKnown ? std::optional<bool>(false)
                                                   : std::nullopt;
    lines.push_back("DHCP enabled     : " + YesNo(dhcp));
    lines.push_back("Current ip       : (Reserved)");
    AddressLines(lines, "IP            ", "Mask          ", "NTE           ", a.addresses);
    AddressLines(lines, "Gateway ip    ", "Gateway mask  ", "Gateway NTE   ", a.gateways);
    lines.push_back("DHCP ip          : " + (a.lease ? OrNotAvailable(a.lease->server) : na));
    lines.push_back("DHCP mask        : " + na);
    lines.push_back("DHCP NTE         : " + na);
    // WINS is a Windows name service; this system has no client of its own for it.
    lines.push_back("Have WINS        : " + na);
    lines.push_back("Primary WINS     : " + na);
    lines.push_back("Lease obtained   : " + (a.lease ? Time(a.lease->obtained) : na));
    lines.push_back("Lease expires    : " + (a.lease ? Time(a.lease->expires) : na));
}

}  // namespace

std::string AdapterTypeName(int hardwareType) {
    switch (hardwareType) {
        case ARPHRD_ETHER:
            return "Ethernet";
        case ARPHRD_IEEE802_TR:
            return "Tokenring";
        case ARPHRD_FDDI:
            return "FDDI";
        case ARPHRD_PPP:
            return "PPP";
        case ARPHRD_LOOPBACK:
            return "LoopBack";
        case ARPHRD_SLIP:
            return "Slip";
        default:
            return "Other";
    }
}

std::string NetworkReport(const NetworkInfo& info) {
    const std::string na(kNotAvailable);
    std::vector<std::string> lines;
    lines.push_back(std::string(50, '#'));
    lines.push_back("Computer Name    : " + OrNotAvailable(info.computerName));
    lines.push_back("User Name        : " + OrNotAvailable(info.userName));

    lines.push_back(std::string(30, '='));
    lines.push_back("Host name        : " + OrNotAvailable(info.hostName));
    lines.push_back("Domain name      : " + OrNotAvailable(info.domainName));
    lines.push_back("Current DNS      : " + (info.dnsServers.empty() ? std::string("(Reserved)")
                                                                     : info.dnsServers.front()));
    for (std::size_t i = 0; i < info.dnsServers.size(); ++i)
        lines.push_back("DNS number " + std::to_string(i + 1) + "     : " + info.dnsServers[i]);
    // NetBIOS node types, DHCP scopes and the NetBIOS proxy and DNS switches have no
    // counterpart here.
    lines.push_back("Node type        : " + na);
    lines.push_back("DHCP scope name  : " + na);
    lines.push_back("DHCP node        : " + na);
    lines.push_back("Routing enabled  : " + YesNo(info.routingEnabled));
    lines.push_back("Proxy enabled    : " + na);
    lines.push_back("DNS enabled      : " + na);

    if (info.adapters)
        for (const NetworkAdapter& adapter : *info.adapters)
            AdapterLines(lines, adapter, info.leasesReadable);
    return JoinLines(lines);
}

}  // namespace ostrel
