// TransmitData: the line terminator and the per-session-type write with its rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/core/session_port.h"
#include "terminal/core/text_output.h"

namespace ostrel {

// Network and SSH sessions write at most this many bytes per line (terminator included);
// longer lines are refused whole, never written in part.
inline constexpr std::size_t kMaxNetworkLine = 1024;
// Capacity of the pending line of an HTTP-mode TCP Client.
inline constexpr std::size_t kMaxPendingHttpLine = 9999;

inline constexpr std::string_view kTooLongLine = "Message cannot be longer than 1024 characters...";

enum class TransmitOutcome {
    Written,        // handed to the session's write
    WriteFailed,    // the write returned -1; its error text was shown
    Refused,        // the session refused the write and said why (kWriteRefused)
    NotOpen,        // the session was not ready; its not-open line (if any) was shown
    TooLong,        // refused by the 1024-byte rule; the line was shown
    HttpRestarted,  // kept as the pending HTTP line and the session restarted
    NothingToSend,  // HTTP mode, not connected, and only blanks or a bare terminator
    NoSession,      // session type none (or unknown)
    Unsendable,     // the input box held a character the character set lacks; nothing was sent
};

// The not-open status line of a session type; empty for Serial (which says nothing) and none.
std::string_view NotOpenLine(SessionType type);

// Appends the terminator to data (so the caller afterwards holds exactly the bytes meant for the
// wire) and writes it to the session by the rules of its type:
//   Serial      port open   whole data, no length limit, result not checked
//   TCP Client  connected   one write; not connected: HTTP mode restarts with the line pending,
//                           otherwise the not-open line
//   TCP Server  listening   one broadcast
//   UDP Client, UDP Server, SSH Client   connected   one write
// Network and SSH writes longer than kMaxNetworkLine are refused with kTooLongLine.
// A write that returns -1 shows the session's last error text; one the session refused
// (kWriteRefused) shows nothing more. Nothing is retried.
TransmitOutcome TransmitData(std::string& data, LineTerminator terminator, SessionPort& session,
                             TextOutput& output);

}  // namespace ostrel
