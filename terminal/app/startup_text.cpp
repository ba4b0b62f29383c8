#include "terminal/app/startup_text.h"

#include <sys/utsname.h>

#include <algorithm>
#include <cctype>

#include "terminal/core/text_util.h"

#ifndef OSTREL_VERSION
#define OSTREL_VERSION "0.0.0.0"
#endif

namespace ostrel {

std::string_view ProgramVersion() {
    return OSTREL_VERSION;
}

std::string VersionLine() {
    return "Ostrel v" + std::string(ProgramVersion()) + "\r\n";
}

std::string AboutText(std::string_view systemDescription) {
    std::string text = "Ostrel v" + std::string(ProgramVersion()) + "\n\n";
    text += "A terminal for audio-visual control systems: serial, TCP, TLS, HTTP, UDP and SSH\n";
    text += "sessions, $XX byte escapes, AMX, Crestron and Extron string notation.\n";
    text += "Built with Qt; SSH by the Tessan library.\n\n";
    text += "Running on ";
    text += systemDescription;
    return text;
}

std::string SystemDescription() {
    utsname name{};
    if (uname(&name) != 0) return "an unknown system";
    return std::string(name.sysname) + " " + name.release + " (" + name.machine + ")";
}

std::vector<std::string> NewInstanceArguments(const WindowRect& window) {
    return {
        "/top:" + std::to_string(window.top + 30),
        "/height:" + std::to_string(window.height),
        "/left:" + std::to_string(window.left + 30),
        "/width:" + std::to_string(window.width),
    };
}

std::optional<std::string> SessionFileArgument(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += argument;
    }
    if (line.find(".ini") == std::string::npos && line.find(".qzr") == std::string::npos)
        return std::nullopt;
    std::string_view path = TrimBlanks(line);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
        path = path.substr(1, path.size() - 2);
    return std::string(path);
}

std::vector<std::filesystem::path> HelpPageCandidates(const std::filesystem::path& programFolder) {
    return {programFolder / kHelpFileName,
            (programFolder / kInstalledHelpFolder / kHelpFileName).lexically_normal()};
}

bool IsRemotePanelFile(std::string_view path) {
    constexpr std::string_view kSuffix = ".qzr";
    if (path.size() < kSuffix.size()) return false;
    const std::string_view end = path.substr(path.size() - kSuffix.size());
    return std::equal(end.begin(), end.end(), kSuffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

}  // namespace ostrel
