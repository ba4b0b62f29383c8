// Trace records of the library's own: text lines and data for the trace library, sent only
// while tracing is on (the API installs the sink then). Secrets never go through here: packets
// are traced by type and length only, and the data records carry session data alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform_types.h"

namespace tessan::trace {

// Receives every record: text (`flags` without 4, a zero-terminated text, `length` 0) or data
// (`flags` 4, `length` bytes).
using RecordSink = void (*)(DWORD flags, const void* data, size_t length);
void SetRecordSink(RecordSink sink);  // NULL: no records
bool Active();

inline constexpr DWORD kHexDump = 4;

// A text record formatted into at most 1040 characters; nothing for an empty format.
void Text(DWORD flags, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A data record.
void Data(const void* data, size_t length);
// A packet passing: its protocol, direction, message number and length (never its contents).
void Packet(int protocol, bool outgoing, uint8_t type, size_t length);

}  // namespace tessan::trace
