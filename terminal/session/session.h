// How the session model and the transports of the six session types talk to each other and to the
// program around them.
//
// The session model (session_model.h) owns the record and one transport per session type; each
// transport implements its type's open, close and write. A new type (the SSH client) is added by
// registering its transport with the session model; nothing else changes.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/core/text_output.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

// Timers of the main window (identifier and period in milliseconds).
enum class TimerId : int {
    Poll = 1003,        // polling, 1000 ms until a poll period is set
    SerialRead = 1004,  // serial read, 50 ms
    CapsLock = 1005,    // the Caps Lock part of the status bar, 200 ms
};
inline constexpr int kPollTimerPeriod = 1000;
inline constexpr int kSerialReadPeriod = 50;
inline constexpr int kCapsLockPeriod = 200;

// The dialog that fills the record for a new session of a type (Serial ... SSH Client).
enum class DialogResult { Cancelled, Confirmed };

// What the session model needs from the program: the display, the status bar, the window's
// timers and the new-session dialogs. The application controller implements it.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    virtual TextOutput& Output() = 0;
    // Rebuilds the status bar and the menu state from the current settings.
    virtual void RefreshStatus() = 0;
    // Paints the output pane now, so a line shows before a slow step.
    virtual void RepaintOutput() = 0;
    virtual void StartTimer(TimerId id, int milliseconds) = 0;
    virtual void StopTimer(TimerId id) = 0;
    // Shows the type's dialog, which edits the record and sets "in use" when confirmed.
    virtual DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) = 0;
};

// A library's error numbers and texts.
class ErrorSource {
public:
    virtual ~ErrorSource() = default;
    virtual int LastError() = 0;
    // Writes the text with a terminating zero into buffer; returns its length, 0 when no text.
    virtual int ErrorString(int code, std::span<char> buffer) = 0;
};

// What the transports use of the session model.
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

// One session type's transport.
class Transport {
public:
    virtual ~Transport() = default;
    // The type's open operation, with the current record. Does nothing unless the record is in
    // use (and has a host and port where the type needs them).
    virtual void Open() = 0;
    // Releases what the transport holds. Returns 0 when closed, otherwise the library's error
    // number for ShowErrorText.
    virtual int Close() = 0;
    // One write of the whole data (a broadcast for a TCP server). -1 on failure.
    virtual long Write(std::string_view data) = 0;
    // Serial only: the port is open.
    virtual bool PortOpen() const { return false; }
    // The library whose errors ShowErrorText reports for this type; nullptr: none are reported.
    virtual ErrorSource* Errors() = 0;
    // The connection state returns to 0 through a disconnect notification after Close (a TCP
    // client); otherwise the session model sets it when Close succeeds.
    virtual bool StateFollowsDisconnectEvent() const { return false; }
};

}  // namespace ostrel
