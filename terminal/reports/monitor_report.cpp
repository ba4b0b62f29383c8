#include "terminal/reports/monitor_report.h"

#include "terminal/reports/report_text.h"

namespace ostrel {

std::string MonitorReport(const MonitorList& list) {
    std::vector<std::string> lines = {"################", "### Monitors ###", "################",
                                      ""};
    lines.push_back("There are " + std::to_string(list.monitors.size()) +
                    " display devices attached to this system...");
    lines.push_back("The primary display is " + std::to_string(list.primary.width) + " by " +
                    std::to_string(list.primary.height) + "...");
    for (std::size_t i = 0; i < list.monitors.size(); ++i)
        lines.push_back("Monitor " + std::to_string(i + 1) + " - " +
                        std::to_string(list.monitors[i].width) + " by " +
                        std::to_string(list.monitors[i].height));
    lines.push_back("");
    return JoinLines(lines);
}

}  // namespace ostrel
