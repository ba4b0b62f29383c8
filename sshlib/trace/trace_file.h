// The trace file of the trace library: one open file at a time, lines stamped with the local
// time and the thread (and, with TRACE_PROCESS, the process), data as hex dumps. Every call is
// safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform_types.h"

namespace quorn {

// Opens `path` for appending unless it is the file already open (then only counts the enable);
// `flags` (TRACE_) choose what is written from now on. False when the file cannot be opened.
bool Enable(const char* path, DWORD flags);
// Counts one enable off; the last closes the file. False when nothing was enabled.
bool Disable();

// What the flags of the current enable let through.
bool WantsSocketCall(bool failed);
bool WantsHexDumps();

// One line of text (stamped); nothing while no file is open.
void WriteLine(std::string_view text);
// A hex dump of `length` bytes, 16 to a line with their printable characters beside them.
void WriteHexDump(const uint8_t* data, size_t length);

// The dump's lines, without stamps (one per 16 bytes, each ending in a line feed).
std::string HexDump(const uint8_t* data, size_t length);

}  // namespace quorn
