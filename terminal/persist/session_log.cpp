#include "terminal/persist/session_log.h"

#include <cstdio>

#include "terminal/core/text_util.h"

namespace ostrel {

std::string LogPartPath(std::string_view file, std::int32_t part) {
    if (part == 0) return std::string(file);
    const std::string_view trimmed = TrimBlanks(file);
    const std::size_t split = trimmed.size() >= 4 ? trimmed.size() - 4 : 0;
    std::string path(trimmed.substr(0, split));
    path += '_';
    path += std::to_string(part);
    path += trimmed.substr(split);
    return path;
}

SessionLog::SessionLog(const Clock& clock, std::int64_t rollOverBytes)
    : clock_(clock), rollOverBytes_(rollOverBytes) {}

bool SessionLog::StartFile(const std::string& path) {
    settings_.part = 0;
    settings_.file = path;
    settings_.bytes = 0;
    std::FILE* created = std::fopen(path.c_str(), "wb");
    if (created == nullptr) return false;
    return std::fclose(created) == 0;
}

void SessionLog::LogAppend(std::string_view text) {
    settings_.bytes += static_cast<std::int64_t>(text.size());
    if (settings_.bytes >= rollOverBytes_) {
        ++settings_.part;
        settings_.bytes = 0;
    }
    const std::string path = LogPartPath(settings_.file, settings_.part);
    if (path.empty()) return;
    std::FILE* log = std::fopen(path.c_str(), "ab");
    if (log == nullptr) return;
    const std::string stamp = FormatDateTime(clock_.Now()) + ">>";
    std::fwrite(stamp.data(), 1, stamp.size(), log);
    std::fwrite(text.data(), 1, text.size(), log);
    std::fclose(log);
}

}  // namespace ostrel
