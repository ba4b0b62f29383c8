#include "sshlib/transport/trace_records.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace tessan::trace {
namespace {

constexpr size_t kTextCapacity = 1040;
std::atomic<RecordSink> gSink{nullptr};

}  // namespace

void SetRecordSink(RecordSink sink) {
    gSink = sink;
}

bool Active() {
    return gSink.load() != nullptr;
}

void Text(DWORD flags, const char* format, ...) {
    RecordSink sink = gSink.load();
    if (!sink || !format || !*format) return;
    char text[kTextCapacity];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    sink(flags & ~kHexDump, text, 0);
}

void Data(const void* data, size_t length) {
    if (RecordSink sink = gSink.load()) sink(kHexDump, data, length);
}

void Packet(int protocol, bool outgoing, uint8_t type, size_t length) {
    if (!Active()) return;
    Text(0, "SSH-%d packet %s: message %u, %zu bytes", protocol, outgoing ? "sent" : "received",
         static_cast<unsigned>(type), length);
}

}  // namespace tessan::trace
