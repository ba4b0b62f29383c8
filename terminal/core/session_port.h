// The active session as the send path sees it. Each session type (serial, TCP client and server,
// UDP client and server, SSH client) implements it; the send path decides from the type and
// state whether and how much it may write, so the rules live in one table (transmit.cpp).
#pragma once

#include <string>
#include <string_view>

#include "terminal/core/core_types.h"

namespace ostrel {

// The result of a write the session refused itself, after showing why (a device that does not
// take the data written earlier). Nothing of the data was written.
inline constexpr long kWriteRefused = -2;

class SessionPort {
public:
    virtual ~SessionPort() = default;

    virtual SessionType Type() const = 0;
    virtual ConnectionState State() const = 0;
    // Serial only: the port is open. Other types answer by their state.
    virtual bool PortOpen() const = 0;
    // TCP Client only: the session sends an HTTP request when it connects.
    virtual bool HttpMode() const = 0;

    // One write of the whole data (a broadcast to every client for a TCP Server). Returns the
    // library's result: -1 on failure. A serial port's result is not checked. kWriteRefused:
    // the session did not write and has said why.
    virtual long Write(std::string_view data) = 0;
    // Shows the library's last error text as a status line (nothing when there is none).
    virtual void ShowLastErrorText() = 0;
    // HTTP-mode TCP Client that is not connected: keep the line as the pending request,
    // open the session again with the current settings and refresh the status bar. The line is
    // written when the connection completes.
    virtual void RestartWithPendingHttpLine(std::string line) = 0;
};

}  // namespace ostrel
