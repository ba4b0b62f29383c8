#include "sshlib/transport/socket_link.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "platform/socket_notify.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::transport {
namespace {

constexpr size_t kReadChunk = 64 * 1024;
// Bytes read per Pump before output gets its turn, so a fast sender cannot starve writing.
constexpr size_t kReadBudget = 1024 * 1024;

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

SocketLink::SocketLink(Transport& transport, int socket)
    : transport_(transport), socket_(socket), buffer_(kReadChunk) {}

SocketLink::~SocketLink() {
    CloseSocket();
}

void SocketLink::ReadAvailable(const std::function<bool()>* enough, bool toTheEnd) {
    size_t total = 0;
    while (socket_ >= 0 && !transport_.IsClosed() && (toTheEnd || total < kReadBudget)) {
        ssize_t n = net::Recv(socket_, buffer_.data(), buffer_.size(), 0);
        if (n > 0) {
            total += static_cast<size_t>(n);
            transport_.FeedInPlace(buffer_.data(), static_cast<size_t>(n));
            if (enough && (*enough)()) return;
            continue;
        }
        if (n == 0) {
            transport_.PeerClosed(0);
            return;
        }
        DWORD error = net::LastSocketError();
        if (error != kErrWouldBlock) transport_.PeerClosed(error);
        return;
    }
}

void SocketLink::Flush() {
    while (socket_ >= 0) {
        std::span<const uint8_t> pending = transport_.PendingOutput();
        if (pending.empty()) return;
        ssize_t n = net::Send(socket_, pending.data(), pending.size(), 0);
        if (n > 0) {
            transport_.ConsumeOutput(static_cast<size_t>(n));
            continue;
        }
        DWORD error = net::LastSocketError();
        if (error == kErrWouldBlock) return;
        // The connection broke under us: nothing more can be written.
        transport_.ConsumeOutput(pending.size());
        transport_.PeerClosed(error);
        return;
    }
}

void SocketLink::AfterActivity() {
    Flush();
    if (transport_.IsClosed()) CloseSocket();
}

void SocketLink::Pump() {
    ReadAvailable();
    AfterActivity();
}

void SocketLink::OnSocketEvent(unsigned event, unsigned error) {
    if (socket_ < 0) return;
    switch (event) {
        case PLATFORM_FD_READ:
        case PLATFORM_FD_OOB:
            if (full_ && full_()) {
                // No read, so no new notification for the data already there until resumed.
                heldBack_ = true;
            } else {
                ReadAvailable(full_ ? &full_ : nullptr);
            }
            break;
        case PLATFORM_FD_WRITE:
            break;
        case PLATFORM_FD_CLOSE:
            ReadAvailable(nullptr, true);
            transport_.PeerClosed(error);
            break;
        default:
            break;
    }
    AfterActivity();
}

void SocketLink::ResumeReading() {
    if (!heldBack_ || socket_ < 0 || (full_ && full_())) return;
    heldBack_ = false;
    PlatformSocketReenable(socket_, PLATFORM_FD_READ);
}

void SocketLink::CloseSocket() {
    if (socket_ < 0) return;
    Flush();
    net::CloseSocket(socket_);
    socket_ = -1;
}

DWORD SocketLink::RunUntil(const std::function<bool()>& done, int timeoutMs) {
    const int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    for (;;) {
        ReadAvailable(&done);
        AfterActivity();
        if (done()) return 0;
        if (transport_.IsClosed() || socket_ < 0) {
            CloseSocket();
            DWORD error = transport_.Failure().error;
            return error ? error : kErrConnectionClosed;
        }
        int64_t wait = -1;
        if (deadline >= 0) {
            wait = deadline - NowMs();
            if (wait <= 0) return kErrTimedOut;
        }
        int64_t timer = transport_.MillisecondsToTimer();
        if (timer >= 0 && (wait < 0 || timer < wait)) wait = timer;
        net::WaitItem item{socket_, static_cast<short>(POLLIN), 0};
        if (!transport_.PendingOutput().empty()) item.events |= POLLOUT;
        int ready = net::WaitForSockets(&item, 1, static_cast<int>(wait));
        if (ready < 0) return net::LastSocketError();
        transport_.CheckTimer();
    }
}

}  // namespace tessan::transport
