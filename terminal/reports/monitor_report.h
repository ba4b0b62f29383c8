// "My Monitors": how many displays there are, the primary one's size and each one's size.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct MonitorSize {
    int width = 0;  // pixels of the monitor's rectangle
    int height = 0;
};

struct MonitorList {
    MonitorSize primary;
    std::vector<MonitorSize> monitors;  // in the desktop's order
};

// The report's lines joined with CR LF, ending with an empty line.
std::string MonitorReport(const MonitorList& list);

// What the report says where no display is attached (the console front end).
inline constexpr std::string_view kNoDisplayLine =
    "There is no display attached to this session of Ostrel: no monitors to report.";

}  // namespace ostrel
