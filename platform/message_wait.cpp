// Window timers, the pump step and the blocking wait that runs it.
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <span>
#include <vector>

#include "platform/messages.h"
#include "platform/platform_state.h"
#include "platform/system.h"

using namespace platform;

extern "C" {

UINT_PTR PlatformSetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs) {
    if (id == 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    ThreadQueue* queue = record ? QueueOfLocked(record->owner) : nullptr;
    if (!queue) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    uint32_t interval = std::max<UINT>(elapseMs, 1);
    int64_t due = NowMs() + interval;
    auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != queue->timers.end()) {
        it->intervalMs = interval;
        it->dueMs = due;
    } else {
        queue->timers.push_back(Timer{hwnd, id, interval, due});
    }
    ArmTimerFdLocked(*queue);
    return id;
}

BOOL PlatformKillTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    ThreadQueue* queue = record ? QueueOfLocked(record->owner) : nullptr;
    if (!queue) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    size_t removed = std::erase_if(
        queue->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (removed == 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ArmTimerFdLocked(*queue);
    return TRUE;
}

void PlatformSetPumpStep(PLATFORMPUMPSTEP step, void* context, UINT intervalMs) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return;
    queue->step = step;
    queue->stepContext = context;
    queue->stepIntervalMs = intervalMs ? intervalMs : 10;
}

void PlatformRunPumpStep(void) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue || !queue->step || queue->inStep) return;
    queue->inStep = true;
    queue->step(queue->stepContext);
    queue->inStep = false;
}

int PlatformWaitForWork(struct pollfd* fds, unsigned nfds, int timeoutMs, UINT flags) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    bool watchQueue = queue && (flags & PLATFORM_WAIT_WATCH_QUEUE);
    // Waits are frequent and usually for a socket or two: no allocation for those.
    constexpr unsigned kStackEntries = 8;
    std::array<pollfd, kStackEntries> stackSet;
    std::vector<pollfd> heapSet;
    const unsigned entries = nfds + (watchQueue ? 1 : 0);
    std::span<pollfd> set(stackSet.data(), entries);
    if (entries > kStackEntries) {
        heapSet.resize(entries);
        set = heapSet;
    }
    std::copy(fds, fds + nfds, set.begin());
    if (watchQueue) set.back() = pollfd{queue->epollFd, POLLIN, 0};
    int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    for (;;) {
        bool stepping = queue && queue->step && !queue->inStep;
        int64_t remaining = deadline < 0 ? -1 : std::max<int64_t>(deadline - NowMs(), 0);
        int64_t slice = remaining;
        if (stepping && (slice < 0 || slice > queue->stepIntervalMs))
            slice = queue->stepIntervalMs;
        int ready = poll(set.data(), set.size(), static_cast<int>(slice));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        int result = PLATFORM_WAIT_TIMEOUT;
        for (unsigned i = 0; i < nfds; ++i) {
            fds[i].revents = set[i].revents;
            if (set[i].revents) result |= PLATFORM_WAIT_FDS;
        }
        if (watchQueue && set.back().revents) result |= PLATFORM_WAIT_QUEUE;
        if (result != PLATFORM_WAIT_TIMEOUT) return result;
        if (deadline >= 0 && NowMs() >= deadline) return PLATFORM_WAIT_TIMEOUT;
        if (stepping) PlatformRunPumpStep();
    }
}

}  // extern "C"
