// One session type (serial, TCP client and server, UDP client and server, SSH client) and what it
// uses of the session model.
//
// The session model (session_model.h) owns the record and one Session per type; each implements
// its type's open, close and write. A new type (the SSH client) is added by registering its
// Session with the model; nothing else changes.
#pragma once

#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/session/error_source.h"
#include "terminal/session/output_backlog.h"
#include "terminal/session/session_host.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

// What the session types use of the session model.
class SessionServices {
public:
    virtual ~SessionServices() = default;
    virtual SessionSettings& Settings() = 0;
    virtual SessionHost& Host() = 0;
    virtual bool RemoteEcho() const = 0;
    // ShowErrorText of the session model: 0 asks the active library for its last error.
    virtual void ShowErrorText(int code) = 0;
    void Show(std::string_view text, DisplayCategory category = DisplayCategory::Status) {
        Host().Output().ShowText(text, category);
    }
};

class Session {
public:
    virtual ~Session() = default;
    // The type's open operation, with the current record. Does nothing unless the record is in
    // use (and has a host and port where the type needs them).
    virtual void Open() = 0;
    // Releases what the session holds and reports its end at once: nothing the library still
    // delivers for what was closed reaches a session opened after it. Returns 0 when closed,
    // otherwise the library's error number for ShowErrorText.
    virtual int Close() = 0;
    // One write of the whole data (a broadcast for a TCP server). -1 on failure.
    virtual long Write(std::string_view data) = 0;
    // Serial only: the port is open.
    virtual bool PortOpen() const { return false; }
    // Output written earlier that the device has not taken yet (none for datagrams and for a
    // TCP server, whose library drops a client that stops taking data).
    virtual OutputBacklog Backlog() { return {}; }
    // The library whose errors ShowErrorText reports for this type; nullptr: none are reported.
    virtual ErrorSource* Errors() = 0;
};

}  // namespace ostrel
