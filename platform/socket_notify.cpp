// Socket event notifications posted to windows.
//
// Sockets are registered edge-triggered in the owner thread's queue descriptor, so a condition
// that nobody acts on is reported once and never spins an event loop; the queued bits and
// PlatformSocketReenable give the "one notification of a kind at a time, again after reading"
// rule on top of that.
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/platform_state.h"
#include "platform/socket_notify.h"
#include "platform/system.h"

namespace platform {
namespace {

constexpr uint32_t kInterest = EPOLLIN | EPOLLOUT | EPOLLPRI | EPOLLRDHUP | EPOLLET;

int TakePendingError(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

bool IsListening(int socket) {
    int value = 0;
    socklen_t length = sizeof value;
    return getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) == 0 && value != 0;
}

bool IsConnected(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

int BytesReadable(int socket) {
    int count = 0;
    return ioctl(socket, FIONREAD, &count) == 0 ? count : 0;
}

void Notify(ThreadQueue& queue, SocketWatch& watch, LONG kind, DWORD error) {
    if (!(watch.events & kind)) return;
    constexpr LONG kOneAtATime = PLATFORM_FD_READ | PLATFORM_FD_OOB | PLATFORM_FD_ACCEPT;
    if ((kind & kOneAtATime) && (watch.queued & kind)) return;
    watch.queued |= kind;
    PostLocked(queue, watch.hwnd, watch.message, static_cast<WPARAM>(watch.socket),
               PLATFORM_SELECT_LPARAM(kind, error));
}

SocketWatch* FindWatchLocked(int socket, ThreadQueue** queueOut) {
    State& state = GlobalState();
    auto owner = state.socketOwners.find(socket);
    if (owner == state.socketOwners.end()) return nullptr;
    ThreadQueue* queue = QueueOfLocked(owner->second);
    if (!queue) return nullptr;
    auto it = queue->sockets.find(socket);
    if (it == queue->sockets.end()) return nullptr;
    *queueOut = queue;
    return &it->second;
}

}  // namespace

void HandleSocketEventLocked(ThreadQueue& queue, int socket, uint32_t ev) {
    auto it = queue.sockets.find(socket);
    if (it == queue.sockets.end()) return;
    SocketWatch& watch = it->second;
    if (watch.connecting) {
        if (!(ev & (EPOLLOUT | EPOLLERR | EPOLLHUP))) return;
        int error = TakePendingError(socket);
        if (error != 0) {
            watch.connecting = false;
            watch.closeSent = true;
            Notify(queue, watch, PLATFORM_FD_CONNECT, PlatformSocketErrorFromErrno(error));
            return;
        }
        // A socket whose connect has not been started reports itself hung up; its connect
        // will produce a new edge.
        if (!IsConnected(socket)) return;
        watch.connecting = false;
        watch.writeArmed = true;
        Notify(queue, watch, PLATFORM_FD_CONNECT, 0);
    }
    if (watch.listening) {
        if (ev & EPOLLIN) Notify(queue, watch, PLATFORM_FD_ACCEPT, 0);
        return;
    }
    if ((ev & EPOLLIN) && BytesReadable(socket) > 0) Notify(queue, watch, PLATFORM_FD_READ, 0);
    if (ev & EPOLLPRI) Notify(queue, watch, PLATFORM_FD_OOB, 0);
    if ((ev & EPOLLOUT) && watch.writeArmed && !(ev & (EPOLLERR | EPOLLHUP))) {
        watch.writeArmed = false;
        Notify(queue, watch, PLATFORM_FD_WRITE, 0);
    }
    if ((ev & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && !watch.closeSent) {
        int error = (ev & EPOLLERR) ? TakePendingError(socket) : 0;
        watch.closeSent = true;
        Notify(queue, watch, PLATFORM_FD_CLOSE, PlatformSocketErrorFromErrno(error));
    }
}

void RemoveSocketWatchLocked(int socket) {
    State& state = GlobalState();
    auto owner = state.socketOwners.find(socket);
    if (owner == state.socketOwners.end()) return;
    if (ThreadQueue* queue = QueueOfLocked(owner->second)) {
        epoll_ctl(queue->epollFd, EPOLL_CTL_DEL, socket, nullptr);
        queue->sockets.erase(socket);
    }
    state.socketOwners.erase(owner);
}

void RemoveWindowWatchesLocked(ThreadQueue& queue, HWND hwnd) {
    for (auto it = queue.sockets.begin(); it != queue.sockets.end();) {
        if (it->second.hwnd != hwnd) {
            ++it;
            continue;
        }
        epoll_ctl(queue.epollFd, EPOLL_CTL_DEL, it->first, nullptr);
        GlobalState().socketOwners.erase(it->first);
        it = queue.sockets.erase(it);
    }
}

void NoteRetrievedLocked(ThreadQueue& queue, const MSG& msg) {
    if (!msg.hwnd) return;
    auto it = queue.sockets.find(static_cast<int>(msg.wParam));
    if (it == queue.sockets.end()) return;
    SocketWatch& watch = it->second;
    if (watch.hwnd == msg.hwnd && watch.message == msg.message)
        watch.queued &= ~static_cast<LONG>(PLATFORM_SELECT_EVENT(msg.lParam));
}

}  // namespace platform

using namespace platform;

extern "C" {

int PlatformAsyncSelect(int socket, HWND hwnd, UINT message, LONG events) {
    if (events & ~PLATFORM_FD_ALL_EVENTS) {
        SetError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::lock_guard lock(GlobalState().mutex);
    RemoveSocketWatchLocked(socket);
    if (!hwnd || events == 0) return 0;
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    ThreadQueue* queue = record ? QueueOfLocked(record->owner) : nullptr;
    if (!queue) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0) {
        SetError(PlatformSocketErrorFromErrno(errno));
        return -1;
    }
    SocketWatch watch;
    watch.socket = socket;
    watch.hwnd = hwnd;
    watch.message = message;
    watch.events = events;
    watch.listening = IsListening(socket);
    bool connected = !watch.listening && IsConnected(socket);
    watch.connecting = !watch.listening && !connected;
    watch.writeArmed = connected;
    epoll_event ev{};
    ev.events = kInterest;
    ev.data.u64 = static_cast<uint32_t>(socket);
    // Registering reports the conditions that already hold at the next collection.
    if (epoll_ctl(queue->epollFd, EPOLL_CTL_ADD, socket, &ev) != 0) {
        SetError(PlatformSocketErrorFromErrno(errno));
        return -1;
    }
    queue->sockets[socket] = watch;
    GlobalState().socketOwners[socket] = queue->thread;
    return 0;
}

void PlatformSocketReenable(int socket, LONG events) {
    std::lock_guard lock(GlobalState().mutex);
    ThreadQueue* queue = nullptr;
    SocketWatch* watch = FindWatchLocked(socket, &queue);
    if (!watch) return;
    if (events & PLATFORM_FD_WRITE) watch->writeArmed = true;
    pollfd p{socket, POLLIN | POLLPRI | POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) return;
    if (watch->listening) {
        if ((events & PLATFORM_FD_ACCEPT) && (p.revents & POLLIN))
            Notify(*queue, *watch, PLATFORM_FD_ACCEPT, 0);
        return;
    }
    if ((events & PLATFORM_FD_READ) && (p.revents & POLLIN) && BytesReadable(socket) > 0)
        Notify(*queue, *watch, PLATFORM_FD_READ, 0);
    if ((events & PLATFORM_FD_OOB) && (p.revents & POLLPRI))
        Notify(*queue, *watch, PLATFORM_FD_OOB, 0);
    if ((events & PLATFORM_FD_WRITE) && !watch->connecting && (p.revents & POLLOUT) &&
        !(p.revents & (POLLERR | POLLHUP))) {
        watch->writeArmed = false;
        Notify(*queue, *watch, PLATFORM_FD_WRITE, 0);
    }
}

}  // extern "C"
