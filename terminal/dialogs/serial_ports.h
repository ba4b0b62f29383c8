// The serial devices of this machine, for the Serial dialog's port list.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

// Device paths of the machine's serial ports (and of extra, such as the port of the current
// session), in order, without duplicates, keeping only those that can be opened right now:
// a port in use by another program is left out.
std::vector<std::string> AvailableSerialPorts(const std::vector<std::string>& extra = {});

}  // namespace ostrel
