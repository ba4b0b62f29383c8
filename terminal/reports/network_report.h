// "My Network Info": one block of text on the computer, its name service and routing, and each
// network adapter with its addresses, gateways and DHCP lease.
#pragma once

#include <string>

#include "terminal/reports/network_info.h"

namespace ostrel {

// The report, lines joined with CR LF.
std::string NetworkReport(const NetworkInfo& info);

// The adapter type's name for a hardware type (ARPHRD_*): "Ethernet", "LoopBack", "PPP" ...,
// "Other" for the rest.
std::string AdapterTypeName(int hardwareType);

}  // namespace ostrel
