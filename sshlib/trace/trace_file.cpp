#include "sshlib/trace/trace_file.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "sshlib/api/tessan.h"

namespace quorn {
namespace {

struct TraceFile {
    std::mutex lock;
    std::FILE* file = nullptr;
    std::string path;
    int enables = 0;
    DWORD flags = 0;
};

TraceFile& State() {
    static auto* state = new TraceFile;
    return *state;
}

std::string Stamp(DWORD flags) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[96];
    size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const long thread = static_cast<long>(syscall(SYS_gettid));
    if (flags & TRACE_PROCESS) {
        std::snprintf(stamp + n, sizeof stamp - n, ".%03d [%ld:%ld] ", static_cast<int>(millis),
                      static_cast<long>(getpid()), thread);
    } else {
        std::snprintf(stamp + n, sizeof stamp - n, ".%03d [%ld] ", static_cast<int>(millis),
                      thread);
    }
    return stamp;
}

// Under the lock.
void WriteStamped(TraceFile& state, std::string_view text) {
    if (!state.file) return;
    const std::string stamp = Stamp(state.flags);
    std::fwrite(stamp.data(), 1, stamp.size(), state.file);
    std::fwrite(text.data(), 1, text.size(), state.file);
    std::fputc('\n', state.file);
    std::fflush(state.file);
}

}  // namespace

bool Enable(const char* path, DWORD flags) {
    if (!path || !*path) return false;
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    if (!state.file || state.path != path) {
        std::FILE* file = std::fopen(path, "a");
        if (!file) return false;
        if (state.file) {
            WriteStamped(state, "trace continues in another file");
            std::fclose(state.file);
        }
        state.file = file;
        state.path = path;
    }
    ++state.enables;
    state.flags = flags;
    char line[96];
    std::snprintf(line, sizeof line, "trace enabled (flags 0x%04X)", static_cast<unsigned>(flags));
    WriteStamped(state, line);
    return true;
}

bool Disable() {
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    if (state.enables == 0) return false;
    if (--state.enables == 0) {
        WriteStamped(state, "trace disabled");
        std::fclose(state.file);
        state.file = nullptr;
        state.path.clear();
    }
    return true;
}

bool WantsSocketCall(bool failed) {
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    return state.file && (failed || !(state.flags & (TRACE_ERROR | TRACE_WARNING)));
}

bool WantsHexDumps() {
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    return state.file && (state.flags & TRACE_HEXDUMP);
}

void WriteLine(std::string_view text) {
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    WriteStamped(state, text);
}

void WriteHexDump(const uint8_t* data, size_t length) {
    const std::string dump = HexDump(data, length);
    TraceFile& state = State();
    std::lock_guard lock(state.lock);
    if (!state.file) return;
    std::fwrite(dump.data(), 1, dump.size(), state.file);
    std::fflush(state.file);
}

std::string HexDump(const uint8_t* data, size_t length) {
    constexpr size_t kPerLine = 16;
    std::string out;
    for (size_t line = 0; line < length; line += kPerLine) {
        char text[128];
        int n = std::snprintf(text, sizeof text, "    %08zX ", line);
        for (size_t i = 0; i < kPerLine; ++i) {
            if (i == kPerLine / 2) text[n++] = ' ';
            if (line + i < length) {
                n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), " %02X",
                                   data[line + i]);
            } else {
                n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "   ");
            }
        }
        text[n++] = ' ';
        text[n++] = ' ';
        for (size_t i = 0; i < kPerLine && line + i < length; ++i) {
            const uint8_t byte = data[line + i];
            text[n++] = byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
        }
        text[n++] = '\n';
        out.append(text, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace quorn
