#include "terminal/reports/program_runner.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ostrel {
namespace {

bool Executable(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> FindProgram(std::string_view name, std::string_view path) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string_view::npos) {
        const std::string direct(name);
        return Executable(direct) ? std::optional<std::string>(direct) : std::nullopt;
    }
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find(':', at);
        if (end == std::string_view::npos) end = path.size();
        std::string folder(path.substr(at, end - at));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + std::string(name);
        if (Executable(candidate)) return candidate;
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::string> FindProgram(std::string_view name) {
    const char* path = std::getenv("PATH");
    return FindProgram(name, path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
}

std::vector<std::string> ToolOutput::Feed(std::string_view piece) {
    std::vector<std::string> lines;
    for (const char c : piece) {
        if (afterCr_) {
            afterCr_ = false;
            if (c == '\n') continue;  // the LF of a CR LF
        }
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(partial_));
            partial_.clear();
            afterCr_ = c == '\r';
            continue;
        }
        partial_ += c;
        if (partial_.size() >= kLongestLine) {
            lines.push_back(std::move(partial_));
            partial_.clear();
        }
    }
    return lines;
}

std::optional<std::string> ToolOutput::Finish() {
    afterCr_ = false;
    if (partial_.empty()) return std::nullopt;
    std::string last = std::move(partial_);
    partial_.clear();
    return last;
}

}  // namespace ostrel
