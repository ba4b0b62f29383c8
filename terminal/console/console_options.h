// The console front end's command line: `ostrel --console [FILE] [options]`.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// How long the console waits for replies after standard input ends, unless --wait says.
inline constexpr double kDefaultReplyWait = 1.0;
// --wait accepts up to a day; longer waits are a typing mistake rather than a plan.
inline constexpr double kLongestReplyWait = 86400.0;

// Exit statuses of the console.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotOpened = 1;     // a session could not be opened
inline constexpr int kExitUsage = 2;         // the command line was wrong
inline constexpr int kExitNotExpected = 3;   // an --expect pattern found no match
inline constexpr int kExitOutputLost = 4;    // standard output could not take all the output

struct ConsoleOptions {
    bool console = false;  // --console was given
    bool help = false;
    bool noColour = false;
    double wait = kDefaultReplyWait;
    std::vector<std::string> expect;
    // Everything that is not an option (the session or remote panel file, placement words),
    // handed to start-up unchanged.
    std::vector<std::string> startArguments;
};

// The options, or nullopt with the reason in error. Option values may follow as the next
// argument or after "=" ("--wait 2", "--wait=2"); "--" ends the options.
std::optional<ConsoleOptions> ParseConsoleOptions(const std::vector<std::string>& arguments,
                                                  std::string* error);

// Whether the arguments ask for the console rather than the window: any argument starting with
// "--" (every console option does; the window's own arguments never do).
bool WantsConsole(const std::vector<std::string>& arguments);

// The text of --help.
std::string ConsoleUsage();

}  // namespace ostrel
