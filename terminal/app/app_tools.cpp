// The application controller's Tools menu and colour dialog: the tool dialogs and their session
// host rules, the programs they start (in a terminal window where the desktop has one, else
// with their output in the pane), and the three system reports.
#include <algorithm>

#include "terminal/app/app_controller.h"
#include "terminal/core/colour_picker.h"
#include "terminal/core/text_util.h"
#include "terminal/reports/memory_report.h"
#include "terminal/reports/network_report.h"
#include "terminal/reports/system_network.h"

namespace ostrel {
namespace {

// The remembered MAC address holds at most "xx-xx-xx-xx-xx-xx".
constexpr std::size_t kMacCapacity = 17;

std::string Capped(std::string_view text, std::size_t capacity) {
    return std::string(text.substr(0, capacity));
}

}  // namespace

void AppController::AttachTools(ProgramRunner& runner) {
    runner_ = &runner;
}

bool AppController::ToolRunning() const {
    return runner_ != nullptr && runner_->Running();
}

void AppController::OnColorPrefs(CommandId) {
    view_.ShowColourDialog(colours_);
    // Either way the pane shows the table's background; new text takes the table's colours.
    display_.ApplyBackground();
}

void AppController::OnIpConfig(CommandId) {
    RunTool(IpConfigLine(), true);
}

std::optional<std::string> AppController::AskHostToolHost(HostTool tool) {
    const std::optional<std::string> answer =
        view_.AskToolHost(tool, std::string(TrimBlanks(settings_.host)));
    if (!answer) return std::nullopt;
    // A host given here is the one the next session starts with.
    const std::string host(TrimBlanks(*answer));
    if (!host.empty()) settings_.host = Capped(host, kHostCapacity);
    return host;
}

void AppController::OnPing(CommandId) {
    if (const std::optional<std::string> host = AskHostToolHost(HostTool::Ping)) RunPing(*host);
}

void AppController::OnTraceRoute(CommandId) {
    if (const std::optional<std::string> host = AskHostToolHost(HostTool::TraceRoute))
        RunTraceRoute(*host);
}

void AppController::OnOpenInBrowser(CommandId) {
    const std::optional<std::string> answer =
        view_.AskToolHost(HostTool::OpenInBrowser, BrowserAddress(settings_.host, settings_.port));
    if (!answer) return;
    const std::string address(TrimBlanks(*answer));
    if (!view_.OpenInBrowser(address))
        ShowStatus("The desktop could not open " + address + " in a browser...");
}

void AppController::OnArp(CommandId) {
    const std::optional<ArpAnswer> answer =
        view_.AskArp(std::string(TrimBlanks(settings_.host)), arpMac_);
    if (!answer) return;
    const std::string address(TrimBlanks(answer->address));
    const std::string mac(TrimBlanks(answer->mac));
    if (!IsIPv4Address(address)) {
        ShowStatus("Arp: \"" + address + "\" is not an IPv4 address...");
    } else if (!IsMacAddress(mac)) {
        ShowStatus("Arp: \"" + mac + "\" is not a MAC address of the form xx-xx-xx-xx-xx-xx...");
    } else if (const std::string device = RouteInterfaceFor(address, SystemRoutes());
               device.empty()) {
        ShowStatus("Arp: no network interface reaches " + address + "...");
    } else {
        RunTool(ArpLine(address, mac, device), false);
    }
    if (!address.empty()) settings_.host = Capped(address, kHostCapacity);
    if (!mac.empty()) arpMac_ = Capped(mac, kMacCapacity);
}

void AppController::OnCalculator(CommandId) {
    if (!view_.HasDesktop()) {
        ShowStatus("Tools > Calculator needs a desktop; there is none here...");
        return;
    }
    for (const std::string_view name : Calculators()) {
        if (!FindProgram(name)) continue;
        std::string error;
        if (runner_ == nullptr || !runner_->StartDetached({std::string(name), {}}, &error))
            ShowStatus(std::string(name) + " could not be started: " + error + "...");
        return;
    }
    std::string names;
    for (const std::string_view name : Calculators())
        names += (names.empty() ? "" : ", ") + std::string(name);
    ShowStatus("No desktop calculator is installed (looked for " + names + ")...");
}

void AppController::OnReport(CommandId id) {
    ShowReport(id == CommandId::MyMemory        ? SystemReport::Memory
               : id == CommandId::MyNetworkInfo ? SystemReport::Network
                                                : SystemReport::Monitors);
}

void AppController::ShowReport(SystemReport report) {
    std::string text;
    switch (report) {
        case SystemReport::Memory:
            text = MemoryReport(ReadMemoryStatus());
            break;
        case SystemReport::Network:
            text = NetworkReport(GatherNetworkInfo());
            break;
        case SystemReport::Monitors: {
            const std::optional<MonitorList> monitors = view_.Monitors();
            text = monitors ? MonitorReport(*monitors) : std::string(kNoDisplayLine);
            break;
        }
    }
    display_.ShowText(text, DisplayCategory::Informational);
}

void AppController::RunPing(const std::string& host) {
    if (const std::optional<std::string> problem = HostProblem(host)) {
        ShowStatus("Ping: " + *problem + "...");
        return;
    }
    RunTool(PingLine(host), true);
}

void AppController::RunTraceRoute(const std::string& host) {
    if (const std::optional<std::string> problem = HostProblem(host)) {
        ShowStatus("Trace Route: " + *problem + "...");
        return;
    }
    const bool traceroute = FindProgram("traceroute").has_value();
    if (!traceroute && !FindProgram("tracepath")) {
        ShowStatus(
            "Neither traceroute nor tracepath is installed (Debian packages traceroute, "
            "iputils-tracepath)...");
        return;
    }
    RunTool(TraceRouteLine(host, traceroute), true);
}

bool AppController::RunTool(const ProgramLine& tool, bool keepOpen) {
    if (runner_ == nullptr) {
        ShowStatus("This front end cannot start programs...");
        return false;
    }
    const std::optional<std::string> program = FindProgram(tool.program);
    if (!program) {
        ShowStatus("The program " + tool.program + " was not found (Debian package " +
                   std::string(PackageOf(tool.program)) + ")...");
        return false;
    }
    std::string error;
    if (view_.HasDesktop()) {
        for (const TerminalEmulator& terminal : TerminalEmulators()) {
            if (!FindProgram(terminal.program)) continue;
            if (runner_->StartDetached(InTerminal(terminal, tool, keepOpen), &error)) return true;
            ShowStatus(std::string(terminal.program) + " could not be started: " + error + "...");
            return false;
        }
    }
    // No terminal window: the output comes into the pane while the tool runs.
    if (runner_->Running()) {
        ShowStatus(runningTool_ + " is still running; the next tool starts when it has ended...");
        return false;
    }
    ProgramLine found = tool;
    found.program = *program;
    runningTool_ = tool.program;
    toolOutput_ = ToolOutput();
    display_.ShowText(ShowProgramLine(tool), DisplayCategory::Informational);
    ProgramRunner::Handlers handlers;
    handlers.output = [this](std::string_view piece) {
        for (const std::string& line : toolOutput_.Feed(piece))
            display_.ShowText(line, DisplayCategory::Informational);
    };
    handlers.finished = [this](int status, bool crashed) {
        if (const std::optional<std::string> last = toolOutput_.Finish())
            display_.ShowText(*last, DisplayCategory::Informational);
        ShowStatus(crashed ? runningTool_ + " was ended by a signal..."
                           : runningTool_ + " ended with exit status " + std::to_string(status) +
                                 "...");
    };
    if (!runner_->Start(found, std::move(handlers), &error)) {
        ShowStatus(tool.program + " could not be started: " + error + "...");
        return false;
    }
    return true;
}

}  // namespace ostrel
