// What the session model needs from the program around it, and what it tells the program about
// the session as it happens. The application controller implements it.
#pragma once

#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/core/text_output.h"
#include "terminal/session/dialog_result.h"
#include "terminal/session/session_settings.h"
#include "terminal/session/timer_ids.h"

namespace ostrel {

// What became of the active session. Each report is made once, where the session learns it; a
// listener that does not care about one leaves it as it is.
class SessionEvents {
public:
    virtual ~SessionEvents() = default;
    // A connect was started whose outcome comes later, as Opened or OpenFailed.
    virtual void OnSessionOpening() {}
    // The session is open: connected, listening, or its port is open.
    virtual void OnSessionOpened() {}
    // The session could not be opened: its credentials, connect, listener or port failed.
    virtual void OnSessionOpenFailed() {}
    // An open or opening session ended: closed here or by the peer, or its device went away.
    virtual void OnSessionClosed() {}
    // Bytes the session received, as read and before they are rendered.
    virtual void OnSessionReceived(std::string_view) {}
};

// The display, the status bar, the window's timers and the new-session dialogs.
class SessionHost : public SessionEvents {
public:
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

}  // namespace ostrel
