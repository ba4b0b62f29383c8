// The bound on what a session may hold for a device that does not take it: writes beyond it are
// refused with a Status line rather than queued without limit, so memory stays bounded and no
// line is lost without the user being told.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

class SessionServices;

// At most this much output waits for a device; a write that would go beyond is refused.
inline constexpr std::size_t kMaxPendingOutput = 1 << 20;

// Output written earlier that the device has not taken yet.
struct OutputBacklog {
    std::size_t bytes = 0;
    bool atLeast = false;  // the library tells only that it holds at least this much
};

// "The device is not accepting data: <n> bytes wait to be sent, so <what> was not sent..."
std::string NotAcceptingLine(const OutputBacklog& backlog, std::string_view what);

// Whether size more bytes fit beside the backlog; when not, shows NotAcceptingLine as a Status
// line and returns false.
bool AcceptsOutput(SessionServices& services, const OutputBacklog& backlog, std::size_t size,
                   std::string_view what);

inline constexpr std::string_view kRefusedLine = "the line";
inline constexpr std::string_view kRefusedEcho = "the remote echo";

}  // namespace ostrel
