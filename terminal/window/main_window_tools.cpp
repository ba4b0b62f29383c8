// The main window's side of the Tools menu and the colour dialog: it shows the dialogs and says
// what the desktop has; the controller decides what follows.
#include <QGuiApplication>
#include <QScreen>

#include "terminal/dialogs/arp_dialog.h"
#include "terminal/dialogs/colour_dialog.h"
#include "terminal/dialogs/host_tool_dialog.h"
#include "terminal/window/main_window.h"

namespace ostrel {

std::optional<std::string> MainWindow::AskToolHost(HostTool tool, const std::string& initial) {
    HostToolDialog::Tool shown = HostToolDialog::Tool::OpenInBrowser;
    if (tool == HostTool::Ping) shown = HostToolDialog::Tool::Ping;
    if (tool == HostTool::TraceRoute) shown = HostToolDialog::Tool::TraceRoute;
    return RunHostToolDialog(this, shown, initial);
}

std::optional<ArpAnswer> MainWindow::AskArp(const std::string& address, const std::string& mac) {
    const std::optional<ArpDialog::Answer> answer = RunArpDialog(this, address, mac);
    if (!answer) return std::nullopt;
    return ArpAnswer{answer->address, answer->mac};
}

DialogResult MainWindow::ShowColourDialog(ColourTable& colours) {
    return RunColourDialog(this, colours) ? DialogResult::Confirmed : DialogResult::Cancelled;
}

std::optional<MonitorList> MainWindow::Monitors() const {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return std::nullopt;
    MonitorList list;
    list.primary = {primary->geometry().width(), primary->geometry().height()};
    for (const QScreen* screen : QGuiApplication::screens())
        list.monitors.push_back({screen->geometry().width(), screen->geometry().height()});
    return list;
}

bool MainWindow::HasDesktop() const {
    // Qt's offscreen and minimal platforms draw nowhere: a terminal window would not be seen.
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace ostrel
