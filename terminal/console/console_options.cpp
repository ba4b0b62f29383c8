#include "terminal/console/console_options.h"

#include <charconv>
#include <cmath>

#include "terminal/console/console_commands.h"

namespace ostrel {
namespace {

bool ParseSeconds(std::string_view text, double* seconds) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        value < 0 || value > kLongestReplyWait)
        return false;
    *seconds = value;
    return true;
}

}  // namespace

std::optional<ConsoleOptions> ParseConsoleOptions(const std::vector<std::string>& arguments,
                                                  std::string* error) {
    ConsoleOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || !argument.starts_with("--")) {
            options.startArguments.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const bool takesValue = name == "--wait" || name == "--expect";
        if (!takesValue && equals != std::string::npos) {
            *error = name + " takes no value";
            return std::nullopt;
        }
        std::string value;
        if (takesValue) {
            if (equals != std::string::npos) {
                value = argument.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                *error = name + " needs a value";
                return std::nullopt;
            }
        }
        if (name == "--console") {
            options.console = true;
        } else if (name == "--help") {
            options.help = true;
        } else if (name == "--no-color" || name == "--no-colour") {
            options.noColour = true;
        } else if (name == "--wait") {
            if (!ParseSeconds(value, &options.wait)) {
                *error = "--wait takes a number of seconds from 0 to 86400, not \"" + value + "\"";
                return std::nullopt;
            }
        } else if (name == "--expect") {
            if (value.empty()) {
                *error = "--expect needs a pattern";
                return std::nullopt;
            }
            options.expect.push_back(value);
        } else {
            *error = "unknown option " + name;
            return std::nullopt;
        }
    }
    return options;
}

bool WantsConsole(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments)
        if (argument.starts_with("--")) return true;
    return false;
}

std::string ConsoleUsage() {
    return "Usage: ostrel [FILE]                 the terminal window\n"
           "       ostrel --console [FILE] [OPTIONS]\n"
           "\n"
           "The console front end runs the same terminal in a text terminal or a script: the\n"
           "output pane goes to standard output (in the colour table's colours on a terminal),\n"
           "each line of standard input is sent like Enter in the window's input box. Without a\n"
           "display (DISPLAY and WAYLAND_DISPLAY unset) ostrel starts the console by itself.\n"
           "FILE is a session file (.ini) or remote panel file (.qzr) to open at start-up;\n"
           "without one, default.ini is opened when there is one.\n"
           "\n"
           "Options:\n"
           "  --console          the console front end rather than the window\n"
           "  --no-color         no colours even on a terminal\n"
           "  --wait SECONDS     after standard input ends, wait this long for replies, then\n"
           "                     close the session and exit (default 1)\n"
           "  --expect REGEX     exit 0 only when REGEX matched the bytes received (repeatable;\n"
           "                     every pattern must match; the wait ends once all have)\n"
           "  --help             this text\n"
           "\n"
           "When standard input is not a terminal, a command that opens a session holds back\n"
           "the following lines until the session is connected, has failed or its time-out\n"
           "passed, so that no line is refused as not open.\n"
           "\n"
           "Exit status: 0 done; 1 a session could not be opened; 2 wrong command line;\n"
           "3 an --expect pattern did not match; 4 standard output could not be written (the\n"
           "output is incomplete).\n"
           "\n"
           "Commands:\n" +
           ConsoleCommandHelp() +
           "\n"
           "Example:\n"
           "  printf 'PWR?$0D\\n' | ostrel --console projector.ini --expect 'PWR=(ON|OFF)'\n";
}

}  // namespace ostrel
