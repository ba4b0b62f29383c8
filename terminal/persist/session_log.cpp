#include "terminal/persist/session_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    text = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
        if (c != suffix[i]) return false;
    }
    return true;
}

// Whether the open descriptor is the file the path names now.
bool SameFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Writes all of data; false with errno set.
bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

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

bool LogPathAllowed(std::string_view file) {
    file = TrimBlanks(file);
    if (!EndsWithIgnoringCase(file, ".txt") && !EndsWithIgnoringCase(file, ".log")) return false;
    std::size_t start = 0;
    while (start <= file.size()) {
        std::size_t end = file.find('/', start);
        if (end == std::string_view::npos) end = file.size();
        const std::string_view part = file.substr(start, end - start);
        if (part.starts_with('.') && part != "." && part != "..") return false;
        start = end + 1;
    }
    return true;
}

std::string LogPathRefusedLine(std::string_view file) {
    return "The session's log file " + std::string(TrimBlanks(file)) +
           " was refused: a log file named by a session file must end in .txt or .log and not "
           "be hidden. Logging is off; choose a log file with File > Log...";
}

SessionLog::SessionLog(const Clock& clock, std::int64_t rollOverBytes)
    : clock_(clock), rollOverBytes_(rollOverBytes) {}

SessionLog::~SessionLog() {
    CloseFile();
}

void SessionLog::CloseFile() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    openPath_.clear();
}

void SessionLog::SetOn(bool on) {
    settings_.on = on;
    if (!on) CloseFile();
}

void SessionLog::Load(const LogSettings& settings) {
    CloseFile();
    settings_ = settings;
    failing_ = false;
    report_.clear();
}

bool SessionLog::StartFile(const std::string& path) {
    CloseFile();
    settings_.part = 0;
    settings_.file = path;
    settings_.bytes = 0;
    failing_ = false;
    report_.clear();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    fd_ = fd;
    openPath_ = path;
    return true;
}

int SessionLog::FileFor(const std::string& path, bool recheck) {
    if (fd_ >= 0 && path == openPath_ && (!recheck || SameFile(fd_, path))) return fd_;
    CloseFile();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    fd_ = fd;
    openPath_ = path;
    return fd_;
}

void SessionLog::LogAppend(std::string_view text) {
    settings_.bytes += static_cast<std::int64_t>(text.size());
    if (settings_.bytes >= rollOverBytes_) {
        ++settings_.part;
        settings_.bytes = 0;
    }
    const std::string path = LogPartPath(settings_.file, settings_.part);
    if (path.empty()) return;
    entry_ = FormatDateTime(clock_.Now());
    // Once a second the open file is checked to still be the one the path names (a log
    // removed or moved away meanwhile is made anew rather than written into unseen).
    const bool recheck = entry_ != checkedAt_;
    if (recheck) checkedAt_ = entry_;
    const int fd = FileFor(path, recheck);
    if (fd < 0) {
        Failed(path, errno);
        return;
    }
    entry_ += ">>";
    entry_ += text;
    if (!WriteAll(fd, entry_)) {
        const int error = errno;
        CloseFile();  // opened again for the next entry: the file may be back by then
        Failed(path, error);
        return;
    }
    failing_ = false;
}

void SessionLog::Failed(const std::string& path, int error) {
    if (failing_) return;
    failing_ = true;
    report_ = "The log file " + path + " cannot be written (" + std::strerror(error) +
              "): entries are lost until it can; logging stays on...";
}

std::string SessionLog::TakeReport() {
    return std::exchange(report_, {});
}

}  // namespace ostrel
