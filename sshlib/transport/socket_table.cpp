#include "sshlib/transport/socket_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/socket_notify.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/net_errors.h"

namespace tessan::net {
namespace {

int SystemSetNonBlocking(int s, bool on) {
    int flags = fcntl(s, F_GETFL);
    if (flags < 0) return -1;
    return fcntl(s, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

ssize_t SystemRecv(int s, void* buffer, size_t size, int flags) { return recv(s, buffer, size, flags); }
ssize_t SystemSend(int s, const void* buffer, size_t size, int flags) {
    return send(s, buffer, size, flags | MSG_NOSIGNAL);
}

const SocketFunctions kSystem = {
    accept,  bind,   close,      connect,     getaddrinfo, freeaddrinfo, gethostname,
    getifaddrs, freeifaddrs, getpeername, getsockname, getsockopt, SystemSetNonBlocking,
    listen,  poll,   SystemRecv, SystemSend,  setsockopt,  shutdown,     socket,
};

SocketFunctions gTable{};
std::once_flag gBound;
std::atomic<int> gUsers{0};
std::atomic<SocketTraceHook> gHook{nullptr};
thread_local DWORD tSocketError = 0;

void Trace(SocketCall call, intptr_t result, std::initializer_list<intptr_t> args) {
    if (SocketTraceHook hook = gHook.load()) hook(call, result, args.begin(), args.size());
}

// Records the error of a failed call and passes its result on.
template <typename T>
T Checked(T result) {
    if (result < 0) SetSocketError(PlatformSocketErrorFromErrno(errno));
    return result;
}

intptr_t P(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }

}  // namespace

DWORD LastSocketError() { return tSocketError; }
void SetSocketError(DWORD error) { tSocketError = error; }

SocketFunctions& SocketTable() { return gTable; }
const SocketFunctions& SystemSocketFunctions() { return kSystem; }

DWORD StartSocketSubsystem() {
    std::call_once(gBound, [] { gTable = kSystem; });
    if (!gTable.socket || !gTable.connect || !gTable.close || !gTable.poll || !gTable.recv ||
        !gTable.send) {
        SetSocketError(kErrSystemNotReady);
        return kErrSystemNotReady;
    }
    ++gUsers;
    SetSocketError(0);
    return 0;
}

int CleanupSocketSubsystem() {
    ClearBlockingFlags();
    if (--gUsers < 0) {
        gUsers = 0;
        SetSocketError(kErrNotInitialised);
        return -1;
    }
    return 0;
}

int SocketUserCount() { return gUsers.load(); }

void SetSocketTraceHook(SocketTraceHook hook) { gHook = hook; }

void TraceSocketCall(SocketCall call, intptr_t result, std::initializer_list<intptr_t> args) {
    Trace(call, result, args);
}

#define TESSAN_NEED(entry, failure)           \
    if (!gTable.entry) {                      \
        SetSocketError(kErrNotInitialised);   \
        return failure;                       \
    }

int Socket(int family, int type, int protocol) {
    TESSAN_NEED(socket, -1);
    int s = Checked(gTable.socket(family, type | SOCK_CLOEXEC, protocol));
    Trace(SocketCall::kSocket, s, {family, type, protocol});
    return s;
}

int Connect(int s, const sockaddr* address, socklen_t length) {
    TESSAN_NEED(connect, -1);
    int r = Checked(gTable.connect(s, address, length));
    Trace(SocketCall::kConnect, r, {s, P(address), length});
    return r;
}

int Bind(int s, const sockaddr* address, socklen_t length) {
    TESSAN_NEED(bind, -1);
    int r = Checked(gTable.bind(s, address, length));
    Trace(SocketCall::kBind, r, {s, P(address), length});
    return r;
}

int Listen(int s) {
    TESSAN_NEED(listen, -1);
    int r = Checked(gTable.listen(s, 0x7FFFFFFF));
    Trace(SocketCall::kListen, r, {s, 0x7FFFFFFF});
    return r;
}

int Accept(int s, sockaddr* address, socklen_t* length) {
    TESSAN_NEED(accept, -1);
    int r = Checked(gTable.accept(s, address, length));
    PlatformSocketReenable(s, PLATFORM_FD_ACCEPT);
    Trace(SocketCall::kAccept, r, {s, P(address), P(length)});
    return r;
}

ssize_t Recv(int s, void* buffer, size_t size, int flags) {
    TESSAN_NEED(recv, -1);
    ssize_t r = Checked(gTable.recv(s, buffer, size, flags));
    if (!(flags & MSG_PEEK)) PlatformSocketReenable(s, PLATFORM_FD_READ | PLATFORM_FD_OOB);
    Trace(SocketCall::kRecv, r, {s, P(buffer), static_cast<intptr_t>(size), flags});
    return r;
}

ssize_t Send(int s, const void* buffer, size_t size, int flags) {
    TESSAN_NEED(send, -1);
    ssize_t r = Checked(gTable.send(s, buffer, size, flags));
    if (r < 0 && LastSocketError() == kErrWouldBlock) PlatformSocketReenable(s, PLATFORM_FD_WRITE);
    Trace(SocketCall::kSend, r, {s, P(buffer), static_cast<intptr_t>(size), flags});
    return r;
}

int SetSockOpt(int s, int level, int name, int value) {
    TESSAN_NEED(setsockopt, -1);
    int r = Checked(gTable.setsockopt(s, level, name, &value, sizeof value));
    Trace(SocketCall::kSetsockopt, r, {s, level, name, value});
    return r;
}

int GetSockOpt(int s, int level, int name, int* value) {
    TESSAN_NEED(getsockopt, -1);
    socklen_t length = sizeof *value;
    return Checked(gTable.getsockopt(s, level, name, value, &length));
}

int GetPeerName(int s, sockaddr* address, socklen_t* length) {
    TESSAN_NEED(getpeername, -1);
    return Checked(gTable.getpeername(s, address, length));
}

int GetSockName(int s, sockaddr* address, socklen_t* length) {
    TESSAN_NEED(getsockname, -1);
    return Checked(gTable.getsockname(s, address, length));
}

int SetNonBlocking(int s, bool on) {
    TESSAN_NEED(setnonblocking, -1);
    int r = Checked(gTable.setnonblocking(s, on));
    Trace(SocketCall::kNonBlocking, r, {s, on});
    return r;
}

int Shutdown(int s, int how) {
    TESSAN_NEED(shutdown, -1);
    int r = Checked(gTable.shutdown(s, how));
    Trace(SocketCall::kShutdown, r, {s, how});
    return r;
}

int Poll(pollfd* fds, nfds_t count, int timeoutMs) {
    TESSAN_NEED(poll, -1);
    int r = Checked(gTable.poll(fds, count, timeoutMs));
    Trace(SocketCall::kPoll, r, {P(fds), static_cast<intptr_t>(count), timeoutMs});
    return r;
}

int AsyncSelect(int s, HWND window, UINT message, LONG events) {
    int r = PlatformAsyncSelect(s, window, message, events);
    Trace(SocketCall::kAsyncSelect, r, {s, P(window), message, events});
    return r;
}

int CloseSocket(int s) {
    TESSAN_NEED(close, -1);
    CancelBlockingWaitForClose();
    AsyncSelect(s, nullptr, 0, 0);
    int listening = 0;
    if (GetSockOpt(s, SOL_SOCKET, SO_ACCEPTCONN, &listening) == 0 && !listening && gTable.shutdown)
        gTable.shutdown(s, SHUT_WR);
    int r = Checked(gTable.close(s));
    Trace(SocketCall::kClose, r, {s});
    return r;
}

}  // namespace tessan::net
