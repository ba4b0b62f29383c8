// What the Tools menu and the colour dialog need from a front end: the tool dialogs, the colour
// dialog, the monitors of the desktop and whether programs may open windows of their own. The
// Qt main window implements it with dialogs; the console answers without them.
#pragma once

#include <optional>
#include <string>

#include "terminal/core/colour_table.h"
#include "terminal/reports/monitor_report.h"
#include "terminal/session/dialog_result.h"

namespace ostrel {

// The tool dialogs with one address box: "Ping", "Trace Route" and "Open in Browser".
enum class HostTool { Ping, TraceRoute, OpenInBrowser };

struct ArpAnswer {
    std::string address;
    std::string mac;
};

class ToolsView {
public:
    virtual ~ToolsView() = default;
    // The dialog's box starts with initial; the text in the box when the tool's button is
    // pressed, or nullopt for "&Cancel".
    virtual std::optional<std::string> AskToolHost(HostTool tool, const std::string& initial) = 0;
    // The "Arp" dialog with its two boxes; nullopt for "&Cancel".
    virtual std::optional<ArpAnswer> AskArp(const std::string& address, const std::string& mac) = 0;
    // The " Color Prefs" dialog on the table: Confirmed when "&Ok" stored its colours.
    virtual DialogResult ShowColourDialog(ColourTable& colours) = 0;
    // The desktop's monitors; nullopt where there is no display.
    virtual std::optional<MonitorList> Monitors() const = 0;
    // Whether programs started here can show windows (a terminal window, a calculator).
    virtual bool HasDesktop() const = 0;
};

}  // namespace ostrel
