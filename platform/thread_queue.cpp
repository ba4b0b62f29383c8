// The process-wide state, per-thread queues and their descriptors.
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/platform_state.h"
#include "platform/socket_notify.h"
#include "platform/system.h"

namespace platform {
namespace {

// Tags in epoll_event.data.u64: the high word tells what the low word is.
constexpr uint64_t kTagWake = 1ULL << 32;
constexpr uint64_t kTagTimer = 2ULL << 32;

void CloseQueueFds(ThreadQueue& queue) {
    for (int* fd : {&queue.epollFd, &queue.wakeFd, &queue.timerFd}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

bool OpenQueueFds(ThreadQueue& queue) {
    queue.epollFd = epoll_create1(EPOLL_CLOEXEC);
    queue.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    queue.timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (queue.epollFd < 0 || queue.wakeFd < 0 || queue.timerFd < 0) return false;
    epoll_event wake{};
    wake.events = EPOLLIN;
    wake.data.u64 = kTagWake;
    epoll_event timer{};
    timer.events = EPOLLIN;
    timer.data.u64 = kTagTimer;
    return epoll_ctl(queue.epollFd, EPOLL_CTL_ADD, queue.wakeFd, &wake) == 0 &&
           epoll_ctl(queue.epollFd, EPOLL_CTL_ADD, queue.timerFd, &timer) == 0;
}

// Owns the calling thread's queue; when the thread ends, its windows, timers and socket
// requests go with it (no messages are sent: the thread can no longer run procedures).
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (!queue) return;
        std::lock_guard lock(GlobalState().mutex);
        State& state = GlobalState();
        std::erase_if(state.windows, [&](const auto& entry) {
            if (entry.second->owner != queue->thread) return false;
            for (auto& link : entry.second->links) link->removed = true;
            return true;
        });
        for (auto& [socket, watch] : queue->sockets) state.socketOwners.erase(socket);
        queue->sockets.clear();
        state.queues.erase(queue->thread);
        CloseQueueFds(*queue);
    }
};

thread_local QueueHolder tQueue;

}  // namespace

State& GlobalState() {
    // Never destroyed: threads may still use the layer while static objects are torn down.
    static State* state = new State;
    return *state;
}

int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SetError(DWORD error) { PlatformSetLastError(error); }

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (tQueue.queue) return tQueue.queue;
    auto queue = std::make_shared<ThreadQueue>();
    queue->thread = PlatformGetCurrentThreadId();
    if (!OpenQueueFds(*queue)) {
        CloseQueueFds(*queue);
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    {
        std::lock_guard lock(GlobalState().mutex);
        GlobalState().queues[queue->thread] = queue;
    }
    tQueue.queue = queue;
    return queue;
}

ThreadQueue* QueueOfLocked(DWORD thread) {
    auto& queues = GlobalState().queues;
    auto it = queues.find(thread);
    return it == queues.end() ? nullptr : it->second.get();
}

void UpdateWakeLocked(ThreadQueue& queue) {
    bool work = !queue.posted.empty() || queue.quitPending;
    if (work == queue.wakeSignalled) return;
    if (work) {
        uint64_t one = 1;
        (void)!write(queue.wakeFd, &one, sizeof one);
    } else {
        uint64_t value;
        (void)!read(queue.wakeFd, &value, sizeof value);
    }
    queue.wakeSignalled = work;
}

void PostLocked(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    queue.posted.push_back(MSG{hwnd, message, wParam, lParam, PlatformGetTickCount()});
    UpdateWakeLocked(queue);
}

void ArmTimerFdLocked(ThreadQueue& queue) {
    itimerspec spec{};
    if (!queue.timers.empty()) {
        int64_t due = queue.timers.front().dueMs;
        for (const Timer& t : queue.timers) due = std::min(due, t.dueMs);
        // An absolute time already past fires at once, which is what a due timer needs.
        due = std::max<int64_t>(due, 1);
        spec.it_value.tv_sec = due / 1000;
        spec.it_value.tv_nsec = (due % 1000) * 1000000;
    }
    timerfd_settime(queue.timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void CollectEventsLocked(ThreadQueue& queue) {
    epoll_event events[32];
    for (;;) {
        int n = epoll_wait(queue.epollFd, events, 32, 0);
        if (n <= 0) return;
        for (int i = 0; i < n; ++i) {
            uint64_t tag = events[i].data.u64 & 0xFFFFFFFF00000000ULL;
            if (tag == kTagTimer) {
                uint64_t expirations;
                (void)!read(queue.timerFd, &expirations, sizeof expirations);
            } else if (tag == 0) {
                HandleSocketEventLocked(queue, static_cast<int>(events[i].data.u64),
                                        events[i].events);
            }
        }
        if (n < 32) return;
    }
}

}  // namespace platform

using namespace platform;

extern "C" {

int PlatformGetQueueFd(void) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    return queue ? queue->epollFd : -1;
}

}  // extern "C"
