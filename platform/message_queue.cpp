// Posting, retrieving and dispatching messages of the per-thread queues.
#include <algorithm>

#include "platform/messages.h"
#include "platform/platform_state.h"
#include "platform/system.h"

namespace platform {
namespace {

struct Filter {
    HWND hwnd;
    UINT min;
    UINT max;

    bool Accepts(HWND target, UINT message) const {
        if (hwnd == reinterpret_cast<HWND>(-1)) {
            if (target) return false;
        } else if (hwnd && target != hwnd) {
            return false;
        }
        return (min == 0 && max == 0) || (message >= min && message <= max);
    }
};

// Finds the next message for the filter; with `remove` it leaves the queue.
bool TakeLocked(ThreadQueue& queue, const Filter& filter, bool remove, MSG& out) {
    CollectEventsLocked(queue);
    auto it = std::find_if(queue.posted.begin(), queue.posted.end(),
                           [&](const MSG& m) { return filter.Accepts(m.hwnd, m.message); });
    if (it != queue.posted.end()) {
        out = *it;
        if (remove) {
            queue.posted.erase(it);
            NoteRetrievedLocked(queue, out);
            UpdateWakeLocked(queue);
        }
        return true;
    }
    if (queue.quitPending) {
        out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, PlatformGetTickCount()};
        if (remove) {
            queue.quitPending = false;
            UpdateWakeLocked(queue);
        }
        return true;
    }
    int64_t now = NowMs();
    Timer* due = nullptr;
    for (Timer& t : queue.timers) {
        if (t.dueMs <= now && filter.Accepts(t.hwnd, WM_TIMER) && (!due || t.dueMs < due->dueMs))
            due = &t;
    }
    if (!due) return false;
    out = MSG{due->hwnd, WM_TIMER, due->id, 0, PlatformGetTickCount()};
    if (remove) {
        due->dueMs = now + due->intervalMs;
        ArmTimerFdLocked(queue);
    }
    return true;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" {

BOOL PlatformPostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    ThreadQueue* queue = record ? QueueOfLocked(record->owner) : nullptr;
    if (!queue) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PostLocked(*queue, hwnd, message, wParam, lParam);
    return TRUE;
}

BOOL PlatformPostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(GlobalState().mutex);
    ThreadQueue* queue = QueueOfLocked(threadId);
    if (!queue) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PostLocked(*queue, nullptr, message, wParam, lParam);
    return TRUE;
}

void PlatformPostQuitMessage(int exitCode) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return;
    std::lock_guard lock(GlobalState().mutex);
    queue->quitPending = true;
    queue->quitCode = exitCode;
    UpdateWakeLocked(*queue);
}

BOOL PlatformPeekMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax,
                         UINT removeFlags) {
    if (!msg) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return FALSE;
    std::lock_guard lock(GlobalState().mutex);
    return TakeLocked(*queue, Filter{hwnd, filterMin, filterMax}, (removeFlags & PM_REMOVE) != 0,
                      *msg)
               ? TRUE
               : FALSE;
}

int PlatformGetMessage(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !PlatformIsWindow(hwnd)) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    bool filtered = hwnd || filterMin || filterMax;
    for (;;) {
        if (PlatformPeekMessage(msg, hwnd, filterMin, filterMax, PM_REMOVE))
            return msg->message == WM_QUIT ? 0 : 1;
        // Work that the filter refuses keeps the descriptor readable: wait in short slices then.
        PlatformWaitForWork(nullptr, 0, filtered ? 10 : -1,
                            filtered ? 0 : PLATFORM_WAIT_WATCH_QUEUE);
    }
}

LRESULT PlatformDispatchMessage(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    DWORD owner = PlatformGetWindowThreadId(msg->hwnd);
    if (owner == 0) return 0;
    if (owner != PlatformGetCurrentThreadId()) {
        SetError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return InvokeWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

int PlatformPumpMessages(int* exitCode) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return 1;
    // Only what is there now: messages posted by the handlers wait for the next call, so a
    // handler that keeps posting cannot starve the caller's own event loop.
    size_t budget;
    {
        std::lock_guard lock(GlobalState().mutex);
        CollectEventsLocked(*queue);
        budget = queue->posted.size() + queue->timers.size() + 1;
    }
    MSG msg;
    while (budget-- > 0 && PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            if (exitCode) *exitCode = static_cast<int>(msg.wParam);
            return 0;
        }
        PlatformDispatchMessage(&msg);
    }
    return 1;
}

BOOL PlatformQueueHasWork(void) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return FALSE;
    std::lock_guard lock(GlobalState().mutex);
    MSG msg;
    return TakeLocked(*queue, Filter{nullptr, 0, 0}, false, msg) ? TRUE : FALSE;
}

BOOL PlatformQueueHasMessages(void) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return FALSE;
    std::lock_guard lock(GlobalState().mutex);
    if (!queue->posted.empty() || queue->quitPending) return TRUE;
    const int64_t now = NowMs();
    return std::any_of(queue->timers.begin(), queue->timers.end(),
                       [now](const Timer& t) { return t.dueMs <= now; })
               ? TRUE
               : FALSE;
}

}  // extern "C"
