// platform_state.h - the process-wide state of the platform layer (internal).
//
// One mutex guards everything below. It is never held while a window procedure, a subclass
// link or a pump step runs, so those may call back into the layer freely.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/messages.h"

namespace platform {

struct SubclassLink {
    SUBCLASSPROC proc;
    UINT_PTR id;
    DWORD_PTR refData;
    bool removed = false;  // set under the lock; a message already on its way skips the link
};

struct WindowRecord {
    HWND handle = nullptr;
    DWORD owner = 0;
    WNDPROC proc = nullptr;
    void* userData = nullptr;
    std::vector<std::shared_ptr<SubclassLink>> links;  // newest first
    bool destroying = false;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    uint32_t intervalMs;
    int64_t dueMs;  // NowMs() time at which the next WM_TIMER is due
};

struct SocketWatch {
    int socket = -1;
    HWND hwnd = nullptr;
    UINT message = 0;
    LONG events = 0;
    bool connecting = false;  // no connect outcome reported yet
    bool listening = false;
    bool writeArmed = false;  // one PLATFORM_FD_WRITE may be posted
    bool closeSent = false;
    LONG queued = 0;          // kinds posted and not yet retrieved
};

struct ThreadQueue {
    DWORD thread = 0;
    int epollFd = -1;  // the queue descriptor handed to programs
    int wakeFd = -1;   // eventfd, non-zero while posted messages or a quit request wait
    int timerFd = -1;  // timerfd armed for the earliest timer
    std::deque<MSG> posted;
    bool quitPending = false;
    int quitCode = 0;
    bool wakeSignalled = false;
    std::vector<Timer> timers;
    std::unordered_map<int, SocketWatch> sockets;
    // Pump step: touched only by the owning thread.
    PLATFORMPUMPSTEP step = nullptr;
    void* stepContext = nullptr;
    UINT stepIntervalMs = 10;
    bool inStep = false;
};

struct State {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<WindowRecord>> windows;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::unordered_map<int, DWORD> socketOwners;  // socket -> thread whose queue watches it
    uintptr_t nextWindow = 0x10000;
};

State& GlobalState();
int64_t NowMs();
void SetError(DWORD error);

// The calling thread's queue, created on first use; nullptr when its descriptors cannot be
// made (the last error is then ERROR_NOT_ENOUGH_MEMORY). Takes the lock itself.
std::shared_ptr<ThreadQueue> CurrentQueue();

// With the lock held:
std::shared_ptr<WindowRecord> FindWindowLocked(HWND hwnd);
ThreadQueue* QueueOfLocked(DWORD thread);
void PostLocked(ThreadQueue& queue, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void UpdateWakeLocked(ThreadQueue& queue);
void ArmTimerFdLocked(ThreadQueue& queue);
void RemoveSocketWatchLocked(int socket);
void RemoveWindowWatchesLocked(ThreadQueue& queue, HWND hwnd);
void NoteRetrievedLocked(ThreadQueue& queue, const MSG& msg);
// Drains the queue descriptor: clears an expired timer descriptor and turns socket events into
// posted notifications.
void CollectEventsLocked(ThreadQueue& queue);
void HandleSocketEventLocked(ThreadQueue& queue, int socket, uint32_t epollEvents);

// Runs the window's chain (subclass links, then the window procedure) on the calling thread.
LRESULT InvokeWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace platform
