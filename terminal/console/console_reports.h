// The console's Tools commands: "/report memory|network|monitors", "/ping HOST" and
// "/traceroute HOST". A tool's output streams into the output as Informational lines and ends
// with its exit status; scripted lines wait for it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "terminal/app/app_controller.h"

namespace ostrel {

struct ToolCommand {
    enum class Kind { Report, Ping, TraceRoute, Invalid };
    Kind kind = Kind::Invalid;
    SystemReport report = SystemReport::Memory;
    std::string text;  // the host, or what is wrong with the command
};

// The command of a line, or nullopt when the line is none of these commands (a line to send,
// or another command).
std::optional<ToolCommand> ParseToolCommand(std::string_view line);

// Carries the command out; a usage error is handed to message.
void RunToolCommand(const ToolCommand& command, AppController& controller,
                    const std::function<void(std::string_view)>& message);

// The commands' lines of /help and --help.
std::string ToolCommandHelp();

}  // namespace ostrel
