// Running the Tools menu's programs: found on PATH, started either in a window of their own or
// with their output handed back piece by piece while the program goes on running. The Qt
// bindings implement the runner; ToolOutput turns the pieces into lines for the pane.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/reports/tool_commands.h"

namespace ostrel {

// The full path of an executable file named name in one of the folders of path (PATH's syntax;
// an empty entry is the current folder); a name holding "/" is taken as it stands when it is
// executable. nullopt when there is none.
std::optional<std::string> FindProgram(std::string_view name, std::string_view path);
// The same with the process's PATH.
std::optional<std::string> FindProgram(std::string_view name);

class ProgramRunner {
public:
    struct Handlers {
        // Output of the program (standard output and standard error together), as it arrives.
        std::function<void(std::string_view)> output;
        // Once, after the last output: the exit status, or crashed when a signal ended it.
        std::function<void(int exitStatus, bool crashed)> finished;
    };
    virtual ~ProgramRunner() = default;
    // Starts the program in the background. False, with the reason in error, when it could not
    // be started; the handlers are then never called. One program runs at a time.
    virtual bool Start(const ProgramLine& line, Handlers handlers, std::string* error) = 0;
    // Starts a program that lives on by itself (a terminal window, a calculator).
    virtual bool StartDetached(const ProgramLine& line, std::string* error) = 0;
    virtual bool Running() const = 0;
    // Ends the running program; its finished handler is not called any more.
    virtual void Stop() = 0;
};

// Assembles the pieces of a program's output into lines: CR LF, LF and lone CR end a line (a
// progress line rewritten with CR shows each state once); a line that grows past kLongestLine
// bytes is handed on in parts so that memory stays bounded.
class ToolOutput {
public:
    static constexpr std::size_t kLongestLine = 4096;
    std::vector<std::string> Feed(std::string_view piece);
    // What is left once the program has ended: the last line when it had no line end.
    std::optional<std::string> Finish();

private:
    std::string partial_;
    bool afterCr_ = false;
};

}  // namespace ostrel
