// The Tools menu's programs: the command line of each network tool, the desktop calculators and
// terminal emulators looked for, how a tool is wrapped to run in a terminal window of its own,
// the checks of what the tool dialogs hand over, and the browser dialog's address.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct ProgramLine {
    std::string program;  // a name looked up on PATH, or a path
    std::vector<std::string> arguments;
    friend bool operator==(const ProgramLine&, const ProgramLine&) = default;
};

// "ping -c 4 10.0.0.5", quoted where a word holds blanks: for messages.
std::string ShowProgramLine(const ProgramLine& line);

// IP Config: the addresses of every interface.
ProgramLine IpConfigLine();
// Ping: four echo requests, then a summary (a ping that never stops could not be shown in the
// pane).
ProgramLine PingLine(std::string_view host);
// Trace Route with traceroute, or with tracepath where traceroute is not installed.
ProgramLine TraceRouteLine(std::string_view host, bool tracerouteInstalled);
// Arp: a static (permanent) neighbour entry for the address on the interface that reaches it.
// The MAC address may be written with "-" or ":" between its bytes.
ProgramLine ArpLine(std::string_view address, std::string_view mac, std::string_view device);

// The Debian package a tool's program comes with, for the message when it is missing.
std::string_view PackageOf(std::string_view program);

// Why a host typed for ping or trace route is refused, or nullopt when it may be used: it is
// blank, too long, holds blanks or control characters, or starts with "-" (which the tools would
// read as an option).
std::optional<std::string> HostProblem(std::string_view host);
// "xx-xx-xx-xx-xx-xx" or "xx:xx:xx:xx:xx:xx" with hexadecimal digits.
bool IsMacAddress(std::string_view mac);
bool IsIPv4Address(std::string_view address);

struct TerminalEmulator {
    std::string_view program;
    std::string_view executeOption;  // what comes before the command and its arguments
};
// Terminal emulators in the order they are looked for; the desktop's chosen one comes first.
std::span<const TerminalEmulator> TerminalEmulators();
// Desktop calculators in the order they are looked for.
std::span<const std::string_view> Calculators();

// The tool run in a terminal window: white on blue, and with keepOpen the window waits for
// Enter after the tool ends and shows its exit status; without it the window closes at once
// unless the tool failed (its error would otherwise flash by unread). The tool's words are
// handed to the shell as arguments, never as shell text.
ProgramLine InTerminal(const TerminalEmulator& terminal, const ProgramLine& tool, bool keepOpen);

// The address the Open in Browser dialog starts with: the session host, ":" and the port when
// there is one, with "http://" in front unless it starts with "http://" or "https://" in any
// case.
std::string BrowserAddress(std::string_view host, std::string_view port);

}  // namespace ostrel
