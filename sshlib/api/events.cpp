// SshEnableEvents(Ex), SshDisableEvents, SshFreezeEvents, SshRegisterEvent and the library's
// link in the subclass chain of notification windows.
#include "sshlib/api/events.h"

#include <algorithm>
#include <bit>
#include <mutex>
#include <utility>

#include "platform/messages.h"
#include "platform/socket_notify.h"
#include "platform/system.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/lifecycle.h"
#include "sshlib/transport/socket_table.h"

namespace tessan {
namespace {

constexpr UINT_PTR kSubclassId = 0x7E55A000;
// Window timers of the re-key clock: this base plus the handle value.
constexpr UINT_PTR kTimerBase = 0x7E550000;
constexpr UINT kAllEvents = 0x3F;
// A read notification re-posted for a handle whose socket is already closed (data received
// before the end are still unread) carries the handle with this tag instead of a socket.
constexpr WPARAM kClosedSocketTag = WPARAM{1} << (sizeof(WPARAM) * 8 - 2);
constexpr UINT kSocketEventBits = 0x0F;  // connect, disconnect, read, write

// One entry per subclassed window, under the library lock.
struct SubclassEntry {
    HWND window = nullptr;
    int uses = 0;
};
constexpr size_t kSubclassTableGrowth = 256;

std::vector<SubclassEntry>& SubclassTable() {
    static auto* table = new std::vector<SubclassEntry>;
    return *table;
}

LRESULT EventLink(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                  DWORD_PTR refData);

bool AddWindowUse(HWND window) {
    std::lock_guard lock(LibraryLock());
    std::vector<SubclassEntry>& table = SubclassTable();
    for (SubclassEntry& e : table) {
        if (e.window == window) {
            ++e.uses;
            return true;
        }
    }
    auto free = std::find_if(table.begin(), table.end(),
                             [](const SubclassEntry& e) { return e.window == nullptr; });
    if (free == table.end()) {
        size_t at = table.size();
        table.resize(table.size() + kSubclassTableGrowth);
        free = table.begin() + static_cast<ptrdiff_t>(at);
    }
    if (!PlatformSubclassWindow(window, EventLink, kSubclassId, 0)) return false;
    *free = {window, 1};
    return true;
}

void DropWindowUse(HWND window) {
    std::lock_guard lock(LibraryLock());
    for (SubclassEntry& e : SubclassTable()) {
        if (e.window != window) continue;
        if (--e.uses <= 0) {
            PlatformUnsubclassWindow(window, EventLink, kSubclassId);
            e = {};
        }
        return;
    }
}

ClientPtr ClientOfNotification(HWND window, WPARAM wParam) {
    const bool closed = (wParam & kClosedSocketTag) != 0;
    for (const ClientPtr& c : AllClients()) {
        if (c->notifyWindow != window) continue;
        if (closed ? (c->Socket() < 0 && WPARAM(c->handle) == (wParam & ~kClosedSocketTag))
                   : (c->Socket() >= 0 && WPARAM(c->Socket()) == wParam)) {
            return c;
        }
    }
    return nullptr;
}

void Thaw(const ClientPtr& client, bool freeze) {
    if (!client->notifyWindow) {
        client->frozen = false;
        return;
    }
    if (client->inDispatch) return;
    if (client->frozen && !freeze && client->Socket() < 0) {
        // The session has ended, but data the caller has not read yet are still announced.
        if ((client->pendingSocketEvents & PLATFORM_FD_READ) && client->Buffered() > 0) {
            AnnounceBufferedData(*client);
        }
        client->pendingSocketEvents = 0;
    } else if (client->frozen && !freeze) {
        static constexpr UINT kOrder[] = {PLATFORM_FD_ACCEPT, PLATFORM_FD_CONNECT,
                                          PLATFORM_FD_CLOSE,  PLATFORM_FD_READ,
                                          PLATFORM_FD_WRITE,  PLATFORM_FD_OOB};
        for (UINT kind : kOrder) {
            if (client->pendingSocketEvents & kind) {
                PlatformPostMessage(client->notifyWindow, SSH_NOTIFY_MESSAGE,
                                    static_cast<WPARAM>(client->Socket()),
                                    PLATFORM_SELECT_LPARAM(kind, 0));
            }
        }
        client->pendingSocketEvents = 0;
    }
    client->frozen = freeze;
}

}  // namespace

void PostDeferredSocketEvents(Client& client) {
    const UINT events = client.deferredSocketEvents.exchange(0);
    if (!client.notifyWindow || client.Socket() < 0) return;
    for (UINT kind : {PLATFORM_FD_READ, PLATFORM_FD_WRITE, PLATFORM_FD_OOB, PLATFORM_FD_ACCEPT,
                      PLATFORM_FD_CONNECT, PLATFORM_FD_CLOSE}) {
        if (events & kind) {
            PlatformPostMessage(client.notifyWindow, SSH_NOTIFY_MESSAGE,
                                static_cast<WPARAM>(client.Socket()),
                                PLATFORM_SELECT_LPARAM(kind, 0));
        }
    }
}

namespace {

void OnSocketNotification(const ClientPtr& client, UINT event, UINT error) {
    if (client->frozen) {
        client->pendingSocketEvents |= event;
        return;
    }
    if (error > 10000) SshSetLastError(ApiError(error));
    client->link->OnSocketEvent(event, error);
    ScheduleEventTimer(*client);
    // Data first, so that a caller who disconnects on the end event has read everything.
    if ((event == PLATFORM_FD_READ || event == PLATFORM_FD_CLOSE) && client->Buffered() > 0) {
        DispatchEvent(client, SSH_EVENT_READ, 0);
        if (client->destroyed) return;
    }
    if (!client->disconnectAnnounced && !client->Alive()) {
        client->disconnectAnnounced = true;
        client->closed = true;
        client->status = SSH_STATUS_IDLE;
        const DWORD failure = client->session ? client->session->Transport().Failure().error : 0;
        DispatchEvent(client, SSH_EVENT_DISCONNECT, ApiError(failure));
        return;
    }
    // A write refused as would-block is answered by SSH_EVENT_WRITE once the backlog has gone
    // below the limit (the server's window adjustment arrives as a read).
    const bool drained = client->writeRefused && OutgoingBacklog(*client) < kWriteBacklogLimit;
    if (drained) client->writeRefused = false;
    if (event == PLATFORM_FD_WRITE || drained) DispatchEvent(client, SSH_EVENT_WRITE, 0);
}

void OnTimer(HWND window, UINT_PTR id) {
    for (const ClientPtr& c : AllClients()) {
        if (kTimerBase + static_cast<UINT_PTR>(c->handle) != id) continue;
        // A call on another thread has the handle: the timer comes round again.
        if (!TryEnterCall(*c)) return;
        if (c->notifyWindow == window) {
            if (c->session && c->link) {
                c->session->Transport().CheckTimer();
                c->link->Flush();
            }
            ScheduleEventTimer(*c);
        }
        LeaveCall(*c);
        if (c->notifyWindow == window) return;
    }
    PlatformKillTimer(window, id);
}

LRESULT EventLink(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        for (const ClientPtr& c : AllClients()) {
            if (c->notifyWindow == window) ReleaseNotificationWindow(*c);
        }
    } else if (message == SSH_NOTIFY_MESSAGE) {
        if (ClientPtr client = ClientOfNotification(window, wParam)) {
            const UINT event = PLATFORM_SELECT_EVENT(lParam);
            if (TryEnterCall(*client)) {
                OnSocketNotification(client, event, PLATFORM_SELECT_ERROR(lParam));
                LeaveCall(*client);
            } else {
                // Another thread is inside a call of the handle: the notification waits for
                // that call to end, which posts it here again.
                client->deferredSocketEvents |= event;
                if (TryEnterCall(*client)) {
                    PostDeferredSocketEvents(*client);  // that call ended meanwhile
                    LeaveCall(*client);
                }
            }
        }
    } else if (message == WM_TIMER && wParam >= kTimerBase && wParam < kTimerBase + 0x10000) {
        OnTimer(window, wParam);
        return 0;  // our own timer: nothing for the caller's procedure
    }
    return PlatformDefSubclassProc(window, message, wParam, lParam);
}

}  // namespace

bool SetNotificationWindow(Client& client, HWND window) {
    if (!PlatformIsWindow(window)) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return false;
    }
    if (PlatformGetWindowThreadId(window) != client.owner) {
        SshSetLastError(KX_ERROR_NOT_HANDLE_OWNER);
        return false;
    }
    if (client.notifyWindow == window) return true;
    if (client.notifyWindow) ReleaseNotificationWindow(client);
    if (!AddWindowUse(window)) {
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return false;
    }
    client.notifyWindow = window;
    if (client.Socket() >= 0 && net::AsyncSelect(client.Socket(), window, SSH_NOTIFY_MESSAGE,
                                                 PLATFORM_FD_ALL_EVENTS) != 0) {
        DWORD error = PlatformGetLastError();
        ReleaseNotificationWindow(client);
        SshSetLastError(error ? error : KX_ERROR_INVALID_PARAMETER);
        return false;
    }
    ScheduleEventTimer(client);
    return true;
}

void ReleaseNotificationWindow(Client& client) {
    HWND window = client.notifyWindow;
    if (!window) return;
    if (client.Socket() >= 0) net::AsyncSelect(client.Socket(), nullptr, 0, 0);
    PlatformKillTimer(window, kTimerBase + static_cast<UINT_PTR>(client.handle));
    client.notifyWindow = nullptr;
    client.pendingSocketEvents = 0;
    DropWindowUse(window);
}

void ReleaseAllSubclassedWindows() {
    std::lock_guard lock(LibraryLock());
    for (SubclassEntry& e : SubclassTable()) {
        if (e.window) PlatformUnsubclassWindow(e.window, EventLink, kSubclassId);
        e = {};
    }
    SubclassTable().clear();
}

void AnnounceBufferedData(Client& client) {
    if (!client.notifyWindow) return;
    const WPARAM target =
        client.Socket() >= 0 ? WPARAM(client.Socket()) : kClosedSocketTag | WPARAM(client.handle);
    PlatformPostMessage(client.notifyWindow, SSH_NOTIFY_MESSAGE, target,
                        PLATFORM_SELECT_LPARAM(PLATFORM_FD_READ, 0));
}

void ScheduleEventTimer(Client& client) {
    if (!client.notifyWindow || !client.session) return;
    const UINT_PTR id = kTimerBase + static_cast<UINT_PTR>(client.handle);
    int64_t ms = client.session->Transport().MillisecondsToTimer();
    if (ms < 0) {
        PlatformKillTimer(client.notifyWindow, id);
        return;
    }
    PlatformSetTimer(client.notifyWindow, id,
                     static_cast<UINT>(std::clamp<int64_t>(ms, 1, INT32_MAX)));
}

LRESULT DispatchEvent(const ClientPtr& client, UINT eventId, DWORD error) {
    if (client->frozen || !(client->eventMask & eventId) || !std::has_single_bit(eventId) ||
        eventId > SSH_EVENT_CANCEL) {
        return 0;
    }
    client->frozen = true;
    client->inDispatch = true;
    if (error) SshSetLastError(error);
    const int slot = std::countr_zero(eventId);
    if (client->callbacks[slot]) {
        client->callbacks[slot](client->handle, eventId, error, client->callbackParams[slot]);
    }
    LRESULT result = 0;
    if (client->eventWindow && !client->destroyed) {
        const LPARAM lParam =
            static_cast<LPARAM>((static_cast<DWORD>(error & 0xFFFF) << 16) | (eventId & 0xFFFF));
        result = PlatformSendMessage(client->eventWindow, client->eventMessage,
                                     static_cast<WPARAM>(client->handle), lParam);
    }
    if (!client->destroyed) {
        client->inDispatch = false;
        Thaw(client, false);
    }
    return result;
}

EventSuspension::EventSuspension(ClientPtr client)
    : client_(std::move(client)),
      notifyWindow_(client_->notifyWindow),
      eventMask_(client_->eventMask) {
    ReleaseNotificationWindow(*client_);
    client_->eventMask = 0;
}

EventSuspension::~EventSuspension() {
    if (client_->destroyed) return;
    client_->eventMask = eventMask_;
    // The window may have gone meanwhile (its destruction detaches handles anyway).
    if (!notifyWindow_ || !PlatformIsWindow(notifyWindow_)) return;
    const DWORD callError = SshGetLastError();  // the suspended call's result stands
    if (SetNotificationWindow(*client_, notifyWindow_) &&
        (client_->Buffered() > 0 || !client_->Alive())) {
        AnnounceBufferedData(*client_);
    }
    SshSetLastError(callError);
}

void RedispatchRead(const ClientPtr& client) {
    if (!client->EventDriven()) return;
    if (client->frozen) {
        client->pendingSocketEvents |= PLATFORM_FD_READ;
        return;
    }
    DispatchEvent(client, SSH_EVENT_READ, 0);
}

}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API INT SSHAPI SshEnableEventsEx(HCLIENT hClient, HWND hEventWnd, UINT uEventMsg,
                                        UINT uEventMask) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    if (!hEventWnd) return SshDisableEvents(hClient);
    if (!PlatformIsWindow(hEventWnd) || uEventMsg < WM_USER) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return SSH_ERROR;
    }
    if (!client->notifyWindow && (uEventMask & kSocketEventBits)) {
        if (!SetNotificationWindow(*client, hEventWnd)) return SSH_ERROR;
    }
    client->eventWindow = hEventWnd;
    client->eventMessage = uEventMsg;
    client->eventMask = uEventMask;
    return 0;
}

TESSAN_API INT SSHAPI SshEnableEvents(HCLIENT hClient, HWND hEventWnd, UINT uEventMsg) {
    return SshEnableEventsEx(hClient, hEventWnd, uEventMsg, static_cast<UINT>(-1));
}

TESSAN_API INT SSHAPI SshDisableEvents(HCLIENT hClient) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    client->callbacks.fill(nullptr);
    client->callbackParams.fill(0);
    ReleaseNotificationWindow(*client);
    client->eventWindow = nullptr;
    client->eventMessage = 0;
    client->eventMask = 0;
    return 0;
}

TESSAN_API INT SSHAPI SshFreezeEvents(HCLIENT hClient, BOOL bFreeze) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    Thaw(client, bFreeze != FALSE);
    return 0;
}

TESSAN_API INT SSHAPI SshRegisterEvent(HCLIENT hClient, UINT nEventId, SSHEVENTPROC lpfnEventProc,
                                       DWORD_PTR dwParam) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    for (int slot = 0; slot < kEventCount; ++slot) {
        if (!(nEventId & (1u << slot))) continue;
        client->callbacks[slot] = lpfnEventProc;
        client->callbackParams[slot] = dwParam;
    }
    client->eventMask |= nEventId & kAllEvents;
    return 0;
}

}  // extern "C"
