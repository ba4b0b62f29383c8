#include "terminal/reports/tool_commands.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

constexpr std::size_t kLongestHost = 255;

constexpr TerminalEmulator kTerminals[] = {
    {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
    {"xfce4-terminal", "-x"},      {"mate-terminal", "-x"},  {"xterm", "-e"},
};

constexpr std::string_view kCalculators[] = {"gnome-calculator", "kcalc",         "galculator",
                                             "mate-calc",        "qalculate-gtk", "xcalc"};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace

std::string ShowProgramLine(const ProgramLine& line) {
    std::string text = line.program;
    for (const std::string& argument : line.arguments) {
        const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        text += quote ? " \"" + argument + "\"" : " " + argument;
    }
    return text;
}

ProgramLine IpConfigLine() {
    return {"ip", {"addr"}};
}

ProgramLine PingLine(std::string_view host) {
    return {"ping", {"-c", "4", std::string(host)}};
}

ProgramLine TraceRouteLine(std::string_view host, bool tracerouteInstalled) {
    return {tracerouteInstalled ? "traceroute" : "tracepath", {std::string(host)}};
}

ProgramLine ArpLine(std::string_view address, std::string_view mac, std::string_view device) {
    std::string colons(mac);
    std::replace(colons.begin(), colons.end(), '-', ':');
    return {"ip",
            {"neigh", "replace", std::string(address), "lladdr", colons, "dev", std::string(device),
             "nud", "permanent"}};
}

std::string_view PackageOf(std::string_view program) {
    if (program == "ping") return "iputils-ping";
    if (program == "ip") return "iproute2";
    if (program == "tracepath") return "iputils-tracepath";
    return program;  // traceroute and most others: the package has the program's name
}

std::optional<std::string> HostProblem(std::string_view host) {
    if (host.empty()) return "no address was given";
    if (host.size() > kLongestHost) return "the address is longer than 255 characters";
    if (host.front() == '-') return "an address cannot start with \"-\"";
    const bool odd = std::any_of(host.begin(), host.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= ' ' || byte == 127;
    });
    if (odd) return "an address holds no blanks or control characters";
    return std::nullopt;
}

bool IsMacAddress(std::string_view mac) {
    if (mac.size() != 17) return false;
    const char separator = mac[2];
    if (separator != '-' && separator != ':') return false;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const bool ok = i % 3 == 2 ? mac[i] == separator
                                   : std::isxdigit(static_cast<unsigned char>(mac[i])) != 0;
        if (!ok) return false;
    }
    return true;
}

bool IsIPv4Address(std::string_view address) {
    in_addr parsed{};
    return address.size() < 16 && address.find('\0') == std::string_view::npos &&
           inet_pton(AF_INET, std::string(address).c_str(), &parsed) == 1;
}

std::span<const TerminalEmulator> TerminalEmulators() {
    return kTerminals;
}

std::span<const std::string_view> Calculators() {
    return kCalculators;
}

ProgramLine InTerminal(const TerminalEmulator& terminal, const ProgramLine& tool, bool keepOpen) {
    // $0 is the title the shell gives itself; "$@" is the tool and its arguments, word for word.
    const std::string blue = "printf '\\033[1;37;44m\\033[2J\\033[H'; ";
    const std::string ending =
        "s=$?; echo; echo \"$1 ended with exit status $s. Press Enter to close this window.\"; "
        "read line";
    const std::string script =
        keepOpen ? blue + "\"$@\"; " + ending : blue + "\"$@\" || { " + ending + "; }";
    ProgramLine line{std::string(terminal.program), {std::string(terminal.executeOption)}};
    line.arguments.insert(line.arguments.end(), {"sh", "-c", script, "ostrel-tool", tool.program});
    line.arguments.insert(line.arguments.end(), tool.arguments.begin(), tool.arguments.end());
    return line;
}

std::string BrowserAddress(std::string_view host, std::string_view port) {
    std::string address(TrimBlanks(host));
    const std::string_view trimmedPort = TrimBlanks(port);
    if (!trimmedPort.empty()) address += ":" + std::string(trimmedPort);
    if (!StartsWithNoCase(address, "http://") && !StartsWithNoCase(address, "https://"))
        address = "http://" + address;
    return address;
}

}  // namespace ostrel
