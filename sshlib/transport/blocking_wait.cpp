#include "sshlib/transport/blocking_wait.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/messages.h"
#include "platform/socket_notify.h"
#include "platform/system.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::net {
namespace {

// A thread's blocking flags, reachable from other threads so that they can cancel its wait.
struct WaitState {
    WaitState();
    ~WaitState();
    std::atomic<uint32_t> flags{0};
    DWORD thread;
};

struct Registry {
    std::mutex lock;
    std::unordered_map<DWORD, WaitState*> threads;
};

Registry& Waits() {
    static auto* registry = new Registry;  // outlives every thread's state
    return *registry;
}

WaitState::WaitState() : thread(PlatformGetCurrentThreadId()) {
    std::lock_guard guard(Waits().lock);
    Waits().threads[thread] = this;
}

WaitState::~WaitState() {
    std::lock_guard guard(Waits().lock);
    Waits().threads.erase(thread);
}

thread_local WaitState tState;

// A private thread message that only wakes a waiting thread; the wait drops it.
constexpr UINT kWakeMessage = 0x23FE;

// Messages handled per pumping round: handlers that keep posting cannot hold the wait in one
// round, so cancellation and socket readiness are checked in between.
constexpr int kRoundBudget = 256;
constexpr int64_t kQuietAfterThreadMessageMs = 1000;

int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

enum class RoundEnd { kEmpty, kThreadMessage, kQuit, kBudget };

RoundEnd PumpRound() {
    MSG msg;
    for (int i = 0; i < kRoundBudget; ++i) {
        if (!PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return RoundEnd::kEmpty;
        if (msg.message == WM_QUIT) {
            PlatformPostQuitMessage(static_cast<int>(msg.wParam));
            return RoundEnd::kQuit;
        }
        if (!msg.hwnd && msg.message == kWakeMessage) continue;
        if (!msg.hwnd) {
            PlatformPostThreadMessage(PlatformGetCurrentThreadId(), msg.message, msg.wParam,
                                      msg.lParam);
            return RoundEnd::kThreadMessage;
        }
        PlatformDispatchMessage(&msg);
    }
    return RoundEnd::kBudget;
}

int CountReady(const pollfd* fds, size_t count) {
    return static_cast<int>(
        std::count_if(fds, fds + count, [](const pollfd& p) { return p.revents != 0; }));
}

// Most waits are for one socket: their poll entries live on the stack.
constexpr size_t kStackItems = 4;

}  // namespace

uint32_t BlockingFlags() { return tState.flags; }
void SetNoPump(bool on) {
    if (on) {
        tState.flags |= kFlagNoPump;
    } else {
        tState.flags &= ~kFlagNoPump;
    }
}
void ClearBlockingFlags() { tState.flags &= ~(kFlagInWait | kFlagCancel); }
bool IsInBlockingWait() { return (tState.flags & kFlagInWait) != 0; }

namespace {

// Sets the cancel flag only while the thread waits: a request that arrives as the wait ends
// must not cancel the thread's next wait.
bool RequestCancel(std::atomic<uint32_t>& flags) {
    uint32_t current = flags.load();
    while (current & kFlagInWait) {
        if (flags.compare_exchange_weak(current, current | kFlagCancel)) return true;
    }
    return false;
}

}  // namespace

int CancelBlockingWait() {
    if (!RequestCancel(tState.flags)) {
        SetSocketError(kErrInvalid);
        return -1;
    }
    return 0;
}

void CancelBlockingWaitForClose() {
    RequestCancel(tState.flags);
}

bool CancelWaitOfThread(DWORD threadId) {
    {
        std::lock_guard guard(Waits().lock);
        auto found = Waits().threads.find(threadId);
        if (found == Waits().threads.end() || !RequestCancel(found->second->flags)) return false;
    }
    // The wait watches its queue: a message there wakes it to see the flag.
    PlatformPostThreadMessage(threadId, kWakeMessage, 0, 0);
    return true;
}

int WaitForSockets(WaitItem* items, size_t count, int timeoutMs) {
    std::array<pollfd, kStackItems> stackFds;
    std::vector<pollfd> heapFds;
    pollfd* fds = stackFds.data();
    if (count > kStackItems) {
        heapFds.resize(count);
        fds = heapFds.data();
    }
    for (size_t i = 0; i < count; ++i) {
        fds[i] = pollfd{items[i].fd, items[i].events, 0};
        items[i].revents = 0;
    }
    auto finish = [&](int result) {
        for (size_t i = 0; i < count; ++i) items[i].revents = fds[i].revents;
        return result;
    };
    if (!SocketTable().poll) {
        SetSocketError(kErrNotInitialised);
        return -1;
    }
    if (timeoutMs == 0) return finish(Poll(fds, count, 0));
    std::atomic<uint32_t>& flags = tState.flags;
    if (flags & kFlagInWait) {
        SetSocketError(kErrInProgress);
        return -1;
    }
    if (flags & kFlagNoPump) return finish(Poll(fds, count, timeoutMs));

    flags |= kFlagInWait;
    int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    int64_t quietUntil = 0;
    int result = 0;
    DWORD error = 0;
    bool queueWoke = false;  // the queue descriptor ended the last wait
    for (;;) {
        int64_t now = NowMs();
        // Posted messages and due timers are seen without a system call; socket notifications
        // and timer expiries make the queue descriptor wake the wait below. So a wait on a
        // quiet queue is a single poll.
        if (now >= quietUntil && (queueWoke || PlatformQueueHasMessages())) {
            RoundEnd end = PumpRound();
            if (end == RoundEnd::kThreadMessage) quietUntil = now + kQuietAfterThreadMessageMs;
            if (end == RoundEnd::kQuit) {
                // A quit request ends the wait at once; report what is ready at this moment.
                result = std::max(Poll(fds, count, 0), 0);
                break;
            }
        }
        queueWoke = false;
        if (flags & kFlagCancel) {
            flags &= ~(kFlagInWait | kFlagCancel);
            for (size_t i = 0; i < count; ++i)
                fds[i].revents = 0;
            SetSocketError(kErrCancelled);
            return finish(-1);
        }
        now = NowMs();
        bool watchQueue = now >= quietUntil;
        int64_t slice = deadline < 0 ? -1 : std::max<int64_t>(deadline - now, 0);
        if (!watchQueue && (slice < 0 || slice > quietUntil - now)) slice = quietUntil - now;
        int woke = PlatformWaitForWork(fds, static_cast<unsigned>(count), static_cast<int>(slice),
                                       watchQueue ? PLATFORM_WAIT_WATCH_QUEUE : 0);
        if (woke < 0) {
            error = PlatformSocketErrorFromErrno(errno);
            result = -1;
            break;
        }
        if (woke & PLATFORM_WAIT_FDS) {
            result = CountReady(fds, count);
            break;
        }
        queueWoke = (woke & PLATFORM_WAIT_QUEUE) != 0;
        if (deadline >= 0 && NowMs() >= deadline) break;
    }
    flags &= ~(kFlagInWait | kFlagCancel);
    if (result < 0) SetSocketError(error);
    TraceSocketCall(SocketCall::kPoll, result,
                    {reinterpret_cast<intptr_t>(fds), static_cast<intptr_t>(count), timeoutMs});
    return finish(result);
}

}  // namespace tessan::net
