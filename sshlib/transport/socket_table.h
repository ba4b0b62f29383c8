// The socket function table: every socket call of the library goes through it. It is bound to
// the system's functions by StartSocketSubsystem; tests replace entries to inject faults, and
// tracing observes every call through the trace hook.
#pragma once

#include <ifaddrs.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <initializer_list>

#include "platform/platform_types.h"

namespace tessan::net {

struct SocketFunctions {
    int (*accept)(int, sockaddr*, socklen_t*);
    int (*bind)(int, const sockaddr*, socklen_t);
    int (*close)(int);
    int (*connect)(int, const sockaddr*, socklen_t);
    int (*getaddrinfo)(const char*, const char*, const addrinfo*, addrinfo**);
    void (*freeaddrinfo)(addrinfo*);
    int (*gethostname)(char*, size_t);
    int (*getifaddrs)(ifaddrs**);
    void (*freeifaddrs)(ifaddrs*);
    int (*getpeername)(int, sockaddr*, socklen_t*);
    int (*getsockname)(int, sockaddr*, socklen_t*);
    int (*getsockopt)(int, int, int, void*, socklen_t*);
    int (*setnonblocking)(int, bool);  // the FIONBIO control of the socket
    int (*listen)(int, int);
    int (*poll)(pollfd*, nfds_t, int);
    ssize_t (*recv)(int, void*, size_t, int);
    ssize_t (*send)(int, const void*, size_t, int);
    int (*setsockopt)(int, int, int, const void*, socklen_t);
    int (*shutdown)(int, int);
    int (*socket)(int, int, int);
};

// The live table (empty entries until the first StartSocketSubsystem).
SocketFunctions& SocketTable();
// The table bound to the system's functions.
const SocketFunctions& SystemSocketFunctions();

// Starts the socket subsystem: binds the table once, counts the user. Returns 0, or 10091
// when a required entry (socket, connect, close, poll, recv, send) is missing.
DWORD StartSocketSubsystem();
// Undoes one start: returns 0, or -1 with 10093 when there was no start to undo. Clears the
// calling thread's blocking flags.
int CleanupSocketSubsystem();
int SocketUserCount();

// Trace hook: called after every traced call with the call, its result and its arguments.
enum class SocketCall { kAccept, kBind, kClose, kConnect, kListen, kPoll, kRecv, kSend,
                        kSetsockopt, kSocket, kShutdown, kNonBlocking, kAsyncSelect };
using SocketTraceHook = void (*)(SocketCall call, intptr_t result, const intptr_t* args,
                                 size_t count);
void SetSocketTraceHook(SocketTraceHook hook);
// Calls the trace hook for a call made outside the wrappers (the pumping wait's select).
void TraceSocketCall(SocketCall call, intptr_t result, std::initializer_list<intptr_t> args);

// Wrappers. Each calls the table entry; on failure it records the socket-style error
// (LastSocketError) and returns -1; an empty entry records 10093 and returns -1.
int Socket(int family, int type, int protocol);
int Connect(int s, const sockaddr* address, socklen_t length);
int Bind(int s, const sockaddr* address, socklen_t length);
int Listen(int s);  // backlog: as many as the system allows
int Accept(int s, sockaddr* address, socklen_t* length);
ssize_t Recv(int s, void* buffer, size_t size, int flags);
ssize_t Send(int s, const void* buffer, size_t size, int flags);  // never raises SIGPIPE
int SetSockOpt(int s, int level, int name, int value);            // always an int option
int GetSockOpt(int s, int level, int name, int* value);
int GetPeerName(int s, sockaddr* address, socklen_t* length);
int GetSockName(int s, sockaddr* address, socklen_t* length);
int SetNonBlocking(int s, bool on);
int Shutdown(int s, int how);
int Poll(pollfd* fds, nfds_t count, int timeoutMs);
// Asks for the socket's events to be posted to `window` as `message` (NULL window: no more
// posting); see platform/socket_notify.h.
int AsyncSelect(int s, HWND window, UINT message, LONG events);
// Closes a socket: cancels the calling thread's blocking wait if it is in one (the wait may be
// for this very socket), withdraws window notifications of the socket, and shuts down sending
// first unless the socket is listening, so the peer sees an orderly end.
int CloseSocket(int s);

}  // namespace tessan::net
