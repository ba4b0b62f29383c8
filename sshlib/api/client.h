// The client record behind a handle, the handle table and the blocking-mode helpers shared by
// the calls of a handle.
//
// Records are shared: the table holds one reference and every call in progress holds another,
// so a handle destroyed while one of its calls waits (from a window procedure or an event
// callback run by that wait) stays valid memory until the call returns; the call sees
// `destroyed` and fails. Destruction closes the socket at once, which also ends the wait.
//
// Threads: the calls of a handle are serialised (ClientCall). One thread at a time is inside a
// call of a handle; another thread's call meanwhile is refused with KX_ERROR_HANDLE_IN_USE and
// leaves the record alone. The fields other threads may read or set at any time are atomic.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "crypto/secure_memory.h"
#include "sshlib/api/tessan.h"
#include "sshlib/connection/ssh_connection.h"
#include "sshlib/transport/network.h"
#include "sshlib/transport/socket_link.h"

namespace tessan {

inline constexpr int kDefaultTimeoutSeconds = 20;
inline constexpr int kMaxTimeoutSeconds = 600;
inline constexpr int kEventCount = 6;
// Writes wait (blocking mode) or are refused as would-block (event mode) while this much
// accepted data has not reached the socket yet, so a caller writing faster than the server takes
// data is held back instead of filling memory.
inline constexpr size_t kWriteBacklogLimit = 1024 * 1024;

struct Client {
    HCLIENT handle = INVALID_CLIENT;
    size_t index = 0;
    std::atomic<DWORD> owner{0};  // thread id
    DWORD options = 0;
    std::atomic<int> status{SSH_STATUS_UNUSED};
    std::atomic<int> timeout{kDefaultTimeoutSeconds};
    std::atomic<bool> inBlocking{false};  // a call of this handle waits
    std::atomic<bool> cancel{false};      // SshCancel was called; the next read or write fails
    bool closed = false;                  // the server ended the session
    bool destroyed = false;               // SshDisconnect or SshUninitialize tore the handle down

    // The thread inside a call of this handle (0: none) and how deep its calls nest.
    std::atomic<DWORD> busyThread{0};
    int busyDepth = 0;  // touched by the busy thread only
    // The last SshUninitialize is tearing the handle down: new calls are refused, and a call in
    // progress on another thread has its wait cancelled.
    std::atomic<bool> teardown{false};
    // Socket notifications that arrived while another thread was inside a call; posted again
    // to the notification window when that call ends.
    std::atomic<UINT> deferredSocketEvents{0};

    // Received session data not yet read: bytes from receiveStart on.
    SecureBytes receive;
    size_t receiveStart = 0;
    size_t Buffered() const { return receive.size() - receiveStart; }

    std::unique_ptr<connection::SshConnection> session;
    std::unique_ptr<transport::SocketLink> link;
    std::string fingerprint;         // copy handed out by SshGetSecurityInformationA
    std::u16string wideFingerprint;  // copy handed out by SshGetSecurityInformationW
    // The algorithm names and the SHA-256 fingerprint handed out by the same calls.
    std::array<std::string, 7> securityTexts;
    std::array<std::u16string, 7> wideSecurityTexts;

    // Events (events.cpp).
    HWND notifyWindow = nullptr;  // subclassed; receives the socket notifications
    HWND eventWindow = nullptr;
    UINT eventMessage = 0;
    UINT eventMask = 0;
    std::array<SSHEVENTPROC, kEventCount> callbacks{};
    std::array<DWORD_PTR, kEventCount> callbackParams{};
    UINT pendingSocketEvents = 0;
    bool frozen = false;
    bool inDispatch = false;
    bool disconnectAnnounced = false;  // SSH_EVENT_DISCONNECT was delivered
    // An event-mode write was refused as would-block: SSH_EVENT_WRITE follows once the backlog
    // is below the limit again.
    bool writeRefused = false;

    bool FreeThreaded() const { return (options & SSH_OPTION_FREETHREAD) != 0; }
    bool EventDriven() const { return notifyWindow != nullptr; }
    // The session is up: the socket is open and the connection alive.
    bool Alive() const;
    int Socket() const { return link ? link->Socket() : -1; }
};

using ClientPtr = std::shared_ptr<Client>;

// A call on a handle by the calling thread, for the call's duration (see the top). Refused
// (false) with KX_ERROR_INVALID_HANDLE, KX_ERROR_NOT_HANDLE_OWNER, or KX_ERROR_HANDLE_IN_USE
// when another thread is inside a call of the handle or the handle is being torn down; the
// calling thread may nest calls (from a window procedure or callback run by its wait).
class ClientCall {
public:
    explicit ClientCall(HCLIENT handle, bool checkOwner = true);
    // For a record the caller holds already (a connect in progress).
    explicit ClientCall(ClientPtr client);
    ~ClientCall();
    ClientCall(const ClientCall&) = delete;
    ClientCall& operator=(const ClientCall&) = delete;

    explicit operator bool() const { return client_ != nullptr; }
    const ClientPtr& Get() const { return client_; }

private:
    ClientPtr client_;
};

// Enters a call of the handle for the calling thread without reporting an error: false when
// another thread is inside one or the handle is being torn down. Each success is undone by
// LeaveCall.
bool TryEnterCall(Client& client);
void LeaveCall(Client& client);

// The last SshUninitialize: waits until no other thread is inside a call of the handle,
// cancelling that thread's wait (its call fails with KX_ERROR_OPERATION_CANCELED). `teardown`
// must be set already. Called without the library lock.
void AwaitCallsOfOtherThreads(Client& client);

// A new record in the table, owned by the calling thread. NULL with the last error set
// (KX_ERROR_NETWORK_NOT_INITIALIZED, KX_ERROR_OUT_OF_MEMORY).
ClientPtr CreateClient();
// The record of a handle; NULL with KX_ERROR_INVALID_HANDLE, or KX_ERROR_NOT_HANDLE_OWNER when
// `checkOwner` and the calling thread does not own it (unless free-threaded).
ClientPtr FindClient(HCLIENT handle, bool checkOwner = true);
// Every live record (for the last SshUninitialize).
std::vector<ClientPtr> AllClients();
// Tears the handle down: events released, socket closed, table slot emptied. The record's
// memory lives on while calls still hold it. Keeps the caller's last error.
void DestroyClient(const ClientPtr& client);

// Makes the session's machine and socket link for a freshly opened connection; data go to the
// receive buffer.
void AttachSession(Client& client, const transport::TransportSettings& transportSettings,
                   connection::SessionSettings sessionSettings, int socket);

// Blocking mode: runs the connection (reading, writing, re-key timer), pumping the thread's
// messages, until `done` holds or the session ends (0), `timeoutMs` passes (10060), or the
// wait fails (10004 cancelled, 10036 the thread already waits, ...). Marks the handle in a
// blocking call meanwhile. After it returns the caller checks `destroyed`.
DWORD RunBlocking(Client& client, const std::function<bool()>& done, int timeoutMs);

// The failure of a call's blocking wait (`error` from RunBlocking) as the call's last error
// and event: KX_ERROR_INVALID_HANDLE (destroyed meanwhile), KX_ERROR_OPERATION_TIMEOUT with
// SSH_EVENT_TIMEOUT, KX_ERROR_OPERATION_CANCELED with SSH_EVENT_CANCEL (also when SshCancel
// was called), KX_ERROR_CONNECTION_CLOSED (the socket went), or the mapped error. SSH_ERROR.
INT FailWait(const ClientPtr& client, DWORD error);
// A call that finds SshCancel's request: the request is cleared, KX_ERROR_OPERATION_CANCELED
// and SSH_EVENT_CANCEL. SSH_ERROR.
INT FailCancelled(const ClientPtr& client);

// Bytes accepted by SshWrite that have not reached the socket yet.
size_t OutgoingBacklog(const Client& client);

// Takes up to `size` bytes from the receive buffer (consumes them unless `peek`).
size_t TakeReceived(Client& client, void* out, size_t size, bool peek);

// Notes that the server ended the session (closed flag, socket forgotten).
void MarkClosed(Client& client);

}  // namespace tessan
