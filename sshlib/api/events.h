// Event notification: the notification window that the library subclasses to see the socket
// notifications of its handles first, the table of subclassed windows shared between handles,
// and the delivery of events to the caller's window and callbacks.
#pragma once

#include "sshlib/api/client.h"

namespace tessan {

// Makes `window` the handle's notification window: socket notifications of its socket are
// posted there as SSH_NOTIFY_MESSAGE and handled by the library's link in the window's
// subclass chain. False with the last error set (KX_ERROR_INVALID_PARAMETER: not a window;
// KX_ERROR_NOT_HANDLE_OWNER: the window belongs to another thread than the handle's owner).
bool SetNotificationWindow(Client& client, HWND window);
// Back to blocking mode: notifications cancelled, the window's use count dropped (its link
// removed at zero).
void ReleaseNotificationWindow(Client& client);
// Removes the library's link from every window still subclassed (the last SshUninitialize).
void ReleaseAllSubclassedWindows();

// Delivers an event (one SSH_EVENT_ bit) with an error code (0: none) to the handle's callback
// and event window, unless the handle is frozen or the event is not in its mask. Returns the
// window's reply (0 without a window).
LRESULT DispatchEvent(const ClientPtr& client, UINT eventId, DWORD error);

// SSH_EVENT_READ after a read that left data: dispatched now, or recorded as a pending read
// notification while events are frozen (it is posted again when they thaw).
void RedispatchRead(const ClientPtr& client);

// Posts a read notification for the handle to its notification window (also when its socket
// has closed), so that data already buffered and the end of the session are announced.
void AnnounceBufferedData(Client& client);

// Switches a handle's events off for a call that waits for data on its own (the line and
// search calls): meanwhile the handle is in blocking mode and no event is delivered. The end of
// the suspension gives the notification window and the event mask back and announces data
// (or the session's end) that the call left unread.
class EventSuspension {
public:
    explicit EventSuspension(ClientPtr client);
    ~EventSuspension();
    EventSuspension(const EventSuspension&) = delete;
    EventSuspension& operator=(const EventSuspension&) = delete;

private:
    ClientPtr client_;
    HWND notifyWindow_;
    UINT eventMask_;
};

// Posts the socket notifications set aside while another thread was inside a call of the
// handle (deferredSocketEvents) to its notification window. Inside a call of the handle.
void PostDeferredSocketEvents(Client& client);

// Re-arms the window timer that drives the time-based re-key in event-driven mode.
void ScheduleEventTimer(Client& client);

}  // namespace tessan
