#include "terminal/console/console_reports.h"

#include <cctype>
#include <vector>

namespace ostrel {
namespace {

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::string word;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            word += text[i++];
        if (!word.empty()) words.push_back(std::move(word));
    }
    return words;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

ToolCommand Invalid(std::string usage) {
    return {ToolCommand::Kind::Invalid, SystemReport::Memory, std::move(usage)};
}

}  // namespace

std::optional<ToolCommand> ParseToolCommand(std::string_view line) {
    if (!line.starts_with('/') || line.starts_with("//")) return std::nullopt;
    const std::vector<std::string> words = Words(line.substr(1));
    if (words.empty()) return std::nullopt;
    const std::string name = Lower(words[0]);
    if (name == "report") {
        const std::string usage = "usage: /report memory|network|monitors";
        if (words.size() != 2) return Invalid(usage);
        const std::string which = Lower(words[1]);
        if (which == "memory")
            return ToolCommand{ToolCommand::Kind::Report, SystemReport::Memory, {}};
        if (which == "network")
            return ToolCommand{ToolCommand::Kind::Report, SystemReport::Network, {}};
        if (which == "monitors")
            return ToolCommand{ToolCommand::Kind::Report, SystemReport::Monitors, {}};
        return Invalid(usage);
    }
    if (name == "ping" || name == "traceroute") {
        if (words.size() != 2) return Invalid("usage: /" + name + " HOST");
        return ToolCommand{name == "ping" ? ToolCommand::Kind::Ping : ToolCommand::Kind::TraceRoute,
                           SystemReport::Memory, words[1]};
    }
    return std::nullopt;
}

void RunToolCommand(const ToolCommand& command, AppController& controller,
                    const std::function<void(std::string_view)>& message) {
    switch (command.kind) {
        case ToolCommand::Kind::Report:
            controller.ShowReport(command.report);
            break;
        case ToolCommand::Kind::Ping:
            controller.RunPing(command.text);
            break;
        case ToolCommand::Kind::TraceRoute:
            controller.RunTraceRoute(command.text);
            break;
        case ToolCommand::Kind::Invalid:
            message(command.text);
            break;
    }
}

std::string ToolCommandHelp() {
    return "  /report memory|network|monitors   Tools > My Memory, My Network Info, My Monitors\n"
           "  /ping HOST                 Tools > Ping (ping -c 4), output as it comes\n"
           "  /traceroute HOST           Tools > Trace Route (traceroute, else tracepath)\n";
}

}  // namespace ostrel
