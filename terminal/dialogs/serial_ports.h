// The serial devices of this machine, for the Serial dialog's port list.
#pragma once

#include <string>
#include <vector>

namespace ostrel {

// Device paths of the machine's serial ports (and of extra, such as the port of the current
// session, when it exists as a device), in order, without duplicates. Nothing is opened to find
// them: opening a port toggles its modem lines, which resets some USB devices, so a port in use
// by another program is listed too (opening it then says so).
std::vector<std::string> AvailableSerialPorts(const std::vector<std::string>& extra = {});

}  // namespace ostrel
