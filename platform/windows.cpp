// Message windows: creation, destruction, procedures, subclass chains and sending.
#include <algorithm>
#include <utility>

#include "platform/messages.h"
#include "platform/platform_state.h"
#include "platform/system.h"

namespace platform {
namespace {

// One frame per window call in progress on this thread. PlatformDefSubclassProc continues the
// innermost frame of its window, so a link passes messages on without knowing its position.
struct CallFrame {
    HWND hwnd;
    std::vector<std::shared_ptr<SubclassLink>> chain;  // snapshot taken when the call began
    WNDPROC proc;                                       // window procedure at that time
    size_t current;                                     // link being run
    std::shared_ptr<WindowRecord> keepAlive;
};

thread_local std::vector<CallFrame*> tFrames;

LRESULT CallFrom(CallFrame& frame, size_t index, UINT message, WPARAM wParam, LPARAM lParam) {
    while (index < frame.chain.size()) {
        std::shared_ptr<SubclassLink> link = frame.chain[index];
        bool removed;
        {
            std::lock_guard lock(GlobalState().mutex);
            removed = link->removed;
        }
        if (removed) {
            ++index;
            continue;
        }
        size_t saved = frame.current;
        frame.current = index;
        LRESULT result = link->proc(frame.hwnd, message, wParam, lParam, link->id, link->refData);
        frame.current = saved;
        return result;
    }
    return frame.proc ? frame.proc(frame.hwnd, message, wParam, lParam) : 0;
}

}  // namespace

LRESULT InvokeWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CallFrame frame{hwnd, {}, nullptr, 0, nullptr};
    {
        std::lock_guard lock(GlobalState().mutex);
        frame.keepAlive = FindWindowLocked(hwnd);
        if (!frame.keepAlive) return 0;
        frame.chain = frame.keepAlive->links;
        frame.proc = frame.keepAlive->proc;
    }
    tFrames.push_back(&frame);
    LRESULT result = CallFrom(frame, 0, message, wParam, lParam);
    tFrames.pop_back();
    return result;
}

std::shared_ptr<WindowRecord> FindWindowLocked(HWND hwnd) {
    auto& windows = GlobalState().windows;
    auto it = windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows.end() ? nullptr : it->second;
}

}  // namespace platform

using namespace platform;

extern "C" {

HWND PlatformCreateWindow(WNDPROC proc, void* userData) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    if (!queue) return nullptr;
    auto record = std::make_shared<WindowRecord>();
    record->owner = queue->thread;
    record->proc = proc;
    record->userData = userData;
    std::lock_guard lock(GlobalState().mutex);
    uintptr_t id = GlobalState().nextWindow++;
    record->handle = reinterpret_cast<HWND>(id);
    GlobalState().windows.emplace(id, record);
    return record->handle;
}

BOOL PlatformDestroyWindow(HWND hwnd) {
    {
        std::lock_guard lock(GlobalState().mutex);
        std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
        if (!record) {
            SetError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (record->owner != PlatformGetCurrentThreadId()) {
            SetError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (record->destroying) return TRUE;
        record->destroying = true;
    }
    InvokeWindow(hwnd, WM_DESTROY, 0, 0);
    InvokeWindow(hwnd, WM_NCDESTROY, 0, 0);

    std::lock_guard lock(GlobalState().mutex);
    State& state = GlobalState();
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) return TRUE;
    for (auto& link : record->links) link->removed = true;
    record->links.clear();
    state.windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    if (ThreadQueue* queue = QueueOfLocked(record->owner)) {
        std::erase_if(queue->posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
        std::erase_if(queue->timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
        RemoveWindowWatchesLocked(*queue, hwnd);
        UpdateWakeLocked(*queue);
        ArmTimerFdLocked(*queue);
    }
    return TRUE;
}

BOOL PlatformIsWindow(HWND hwnd) {
    std::lock_guard lock(GlobalState().mutex);
    return FindWindowLocked(hwnd) ? TRUE : FALSE;
}

DWORD PlatformGetWindowThreadId(HWND hwnd) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    return record ? record->owner : 0;
}

void* PlatformGetWindowData(HWND hwnd) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return record->userData;
}

void* PlatformSetWindowData(HWND hwnd, void* userData) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return std::exchange(record->userData, userData);
}

WNDPROC PlatformGetWindowProc(HWND hwnd) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return record->proc;
}

WNDPROC PlatformSetWindowProc(HWND hwnd, WNDPROC proc) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return std::exchange(record->proc, proc);
}

LRESULT PlatformCallWindowProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam,
                               LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

BOOL PlatformSubclassWindow(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass,
                            DWORD_PTR refData) {
    if (!proc) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (auto& link : record->links) {
        if (link->proc == proc && link->id == idSubclass) {
            link->refData = refData;
            return TRUE;
        }
    }
    auto link = std::make_shared<SubclassLink>(SubclassLink{proc, idSubclass, refData});
    record->links.insert(record->links.begin(), std::move(link));
    return TRUE;
}

BOOL PlatformUnsubclassWindow(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto it = std::find_if(record->links.begin(), record->links.end(), [&](const auto& link) {
        return link->proc == proc && link->id == idSubclass;
    });
    if (it == record->links.end()) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    (*it)->removed = true;
    record->links.erase(it);
    return TRUE;
}

BOOL PlatformGetWindowSubclass(HWND hwnd, SUBCLASSPROC proc, UINT_PTR idSubclass,
                               DWORD_PTR* refData) {
    std::lock_guard lock(GlobalState().mutex);
    std::shared_ptr<WindowRecord> record = FindWindowLocked(hwnd);
    if (!record) return FALSE;
    for (auto& link : record->links) {
        if (link->proc == proc && link->id == idSubclass) {
            if (refData) *refData = link->refData;
            return TRUE;
        }
    }
    return FALSE;
}

LRESULT PlatformDefSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (auto it = tFrames.rbegin(); it != tFrames.rend(); ++it) {
        if ((*it)->hwnd == hwnd) return CallFrom(**it, (*it)->current + 1, message, wParam, lParam);
    }
    WNDPROC proc = PlatformGetWindowProc(hwnd);
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT PlatformSendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD owner = PlatformGetWindowThreadId(hwnd);
    if (owner == 0) {
        SetError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (owner != PlatformGetCurrentThreadId()) {
        SetError(ERROR_ACCESS_DENIED);
        return 0;
    }
    return InvokeWindow(hwnd, message, wParam, lParam);
}

}  // extern "C"
