#include "sshlib/transport/network.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>

#include "crypto/secure_memory.h"
#include "platform/socket_notify.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/host_lookup.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/proxy_http.h"
#include "sshlib/transport/proxy_telnet.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::net {
namespace {

int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

class Deadline {
public:
    explicit Deadline(int timeoutMs) : end_(timeoutMs < 0 ? -1 : NowMs() + timeoutMs) {}
    // Milliseconds left for the next wait: -1 without a limit, 0 when time is up.
    int Remaining() const {
        return end_ < 0 ? -1 : static_cast<int>(std::max<int64_t>(end_ - NowMs(), 0));
    }
    bool Expired() const { return end_ >= 0 && NowMs() >= end_; }

private:
    int64_t end_;
};

// Waits for one socket; returns 0 when ready, else the error number.
DWORD WaitFor(int s, short events, const Deadline& deadline) {
    if (deadline.Expired()) return kErrTimedOut;
    WaitItem item{s, events, 0};
    int ready = WaitForSockets(&item, 1, deadline.Remaining());
    if (ready < 0) return LastSocketError();
    if (ready == 0) return kErrTimedOut;
    return 0;
}

// One connect attempt to one address; returns the connected socket or -1 with *error.
int ConnectOne(const HostAddress& target, int port, const Deadline& deadline, DWORD* error) {
    int s = Socket(target.family, SOCK_STREAM, IPPROTO_TCP);
    if (s < 0) {
        *error = LastSocketError();
        return -1;
    }
    HostAddress address = target;
    if (address.family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&address.address)->sin_port = htons(static_cast<uint16_t>(port));
    else
        reinterpret_cast<sockaddr_in6*>(&address.address)->sin6_port = htons(static_cast<uint16_t>(port));
    SetSockOpt(s, SOL_SOCKET, SO_OOBINLINE, 1);
    SetSockOpt(s, IPPROTO_TCP, TCP_NODELAY, 1);
    DWORD failure = 0;
    if (SetNonBlocking(s, true) != 0) {
        failure = LastSocketError();
    } else if (Connect(s, reinterpret_cast<sockaddr*>(&address.address), address.length) != 0) {
        failure = LastSocketError();
        if (failure == kErrInProgress || failure == kErrWouldBlock) {
            failure = WaitFor(s, POLLOUT, deadline);
            int pending = 0;
            if (failure == 0 && GetSockOpt(s, SOL_SOCKET, SO_ERROR, &pending) == 0 && pending != 0)
                failure = PlatformSocketErrorFromErrno(pending);
        }
    }
    if (failure == 0) return s;
    CloseSocket(s);
    *error = failure;
    return -1;
}

// Sends all bytes, waiting for room as needed.
DWORD SendAll(int s, const std::string& bytes, const Deadline& deadline) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = Send(s, bytes.data() + sent, bytes.size() - sent, 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        DWORD failure = LastSocketError();
        if (failure != kErrWouldBlock) return failure;
        if ((failure = WaitFor(s, POLLOUT, deadline)) != 0) return failure;
    }
    return 0;
}

// Reads the proxy's reply without taking any byte after it: each read peeks and then consumes
// exactly what the reply reader accepted.
DWORD ReadHttpReply(int s, const Deadline& deadline) {
    HttpConnectReply reply;
    char chunk[1024];
    while (reply.status() == HttpConnectReply::Status::kNeedMore) {
        ssize_t n = Recv(s, chunk, sizeof chunk, MSG_PEEK);
        if (n == 0) return kErrConnectionClosed;
        if (n < 0) {
            DWORD failure = LastSocketError();
            if (failure != kErrWouldBlock) return failure;
            if ((failure = WaitFor(s, POLLIN, deadline)) != 0) return failure;
            continue;
        }
        size_t used = reply.Feed(chunk, static_cast<size_t>(n));
        if (used > 0 && Recv(s, chunk, used, 0) != static_cast<ssize_t>(used))
            return LastSocketError() ? LastSocketError() : kErrConnectionClosed;
    }
    return reply.status() == HttpConnectReply::Status::kAccepted ? 0 : kErrProtocol;
}

DWORD RunProxyDialogue(int s, const ConnectRequest& request, int port, const Deadline& deadline) {
    const ProxySettings& proxy = *request.proxy;
    // The target goes to the proxy as text: a line end in it would forge request lines.
    if (std::any_of(request.host.begin(), request.host.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; }))
        return kErrHostNotFound;
    std::string message;
    if (proxy.type == kProxyHttp) {
        message = BuildHttpConnectRequest(request.host, port, proxy.user, proxy.password);
    } else {
        TelnetCommandFields fields{request.host, port, proxy.user, proxy.password, proxy.host,
                                   proxy.port ? proxy.port : 23};
        message = ExpandTelnetCommand(proxy.telnetCommand, fields);
    }
    DWORD failure = SendAll(s, message, deadline);
    SecureWipe(message);
    if (failure != 0 || proxy.type != kProxyHttp) return failure;
    return ReadHttpReply(s, deadline);
}

}  // namespace

int OpenConnection(const ConnectRequest& request, Connection& out, DWORD* error) {
    out = Connection{};
    Deadline deadline(request.timeoutMs);
    int port = request.port < 0 ? kDefaultSshPort : request.port;
    const ProxySettings* proxy =
        request.proxy && request.proxy->type != kProxyNone && !IsLoopbackName(request.host)
            ? request.proxy
            : nullptr;
    auto fail = [&](DWORD failure) {
        *error = failure;
        SetSocketError(failure);
        return -1;
    };
    if (proxy && proxy->type != kProxyHttp && proxy->type != kProxyTelnet)
        return fail(kErrInvalidProxyType);
    if (port > 65535) return fail(kErrInvalid);

    std::string lookupName = proxy ? proxy->host : request.host;
    int connectPort = port;
    if (proxy) {
        connectPort = proxy->port ? proxy->port : (proxy->type == kProxyHttp ? 80 : 23);
        if (connectPort < 0 || connectPort > 65535) return fail(kErrInvalid);
    }
    HostLookup lookup;
    if (LookupHost(lookupName, deadline.Remaining(), lookup) != 0) return fail(lookup.error);

    // Each address in turn; the error of the last attempt is the one reported.
    DWORD failure = kErrHostNotFound;
    int s = -1;
    for (lookup.current = 0; lookup.current < lookup.addresses.size() && s < 0; ++lookup.current) {
        s = ConnectOne(lookup.addresses[lookup.current], connectPort, deadline, &failure);
        // Time running out or a cancel ends the whole connect, not just this address.
        if (s < 0 && (failure == kErrCancelled || failure == kErrInProgress || deadline.Expired()))
            break;
    }
    if (s < 0) return fail(failure);
    if (proxy) {
        failure = RunProxyDialogue(s, request, port, deadline);
        if (failure != 0) {
            CloseSocket(s);
            return fail(failure);
        }
    }
    out.socket = s;
    out.canonicalName = proxy ? request.host : lookup.canonicalName;
    *error = 0;
    return 0;
}

}  // namespace tessan::net
