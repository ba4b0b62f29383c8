#include "sshlib/transport/blocking_wait.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/messages.h"
#include "platform/socket_notify.h"
#include "platform/system.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::net {
namespace {

thread_local uint32_t tFlags = 0;

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
        if (!msg.hwnd) {
            PlatformPostThreadMessage(PlatformGetCurrentThreadId(), msg.message, msg.wParam,
                                      msg.lParam);
            return RoundEnd::kThreadMessage;
        }
        PlatformDispatchMessage(&msg);
    }
    return RoundEnd::kBudget;
}

int CountReady(const std::vector<pollfd>& fds) {
    return static_cast<int>(std::count_if(fds.begin(), fds.end(), [](const pollfd& p) { return p.revents != 0; }));
}

}  // namespace

uint32_t BlockingFlags() { return tFlags; }
void SetNoPump(bool on) { tFlags = on ? tFlags | kFlagNoPump : tFlags & ~kFlagNoPump; }
void ClearBlockingFlags() { tFlags &= ~(kFlagInWait | kFlagCancel); }
bool IsInBlockingWait() { return (tFlags & kFlagInWait) != 0; }

int CancelBlockingWait() {
    if (!(tFlags & kFlagInWait)) {
        SetSocketError(kErrInvalid);
        return -1;
    }
    tFlags |= kFlagCancel;
    return 0;
}

void CancelBlockingWaitForClose() {
    if (tFlags & kFlagInWait) tFlags |= kFlagCancel;
}

int WaitForSockets(WaitItem* items, size_t count, int timeoutMs) {
    std::vector<pollfd> fds(count);
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
    if (timeoutMs == 0) return finish(Poll(fds.data(), count, 0));
    if (tFlags & kFlagInWait) {
        SetSocketError(kErrInProgress);
        return -1;
    }
    if (tFlags & kFlagNoPump) return finish(Poll(fds.data(), count, timeoutMs));

    tFlags |= kFlagInWait;
    int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
    int64_t quietUntil = 0;
    int result = 0;
    DWORD error = 0;
    for (;;) {
        int64_t now = NowMs();
        if (now >= quietUntil) {
            RoundEnd end = PumpRound();
            if (end == RoundEnd::kThreadMessage) quietUntil = now + kQuietAfterThreadMessageMs;
            if (end == RoundEnd::kQuit) {
                // A quit request ends the wait at once; report what is ready at this moment.
                result = std::max(Poll(fds.data(), count, 0), 0);
                break;
            }
        }
        if (tFlags & kFlagCancel) {
            tFlags &= ~(kFlagInWait | kFlagCancel);
            for (pollfd& p : fds) p.revents = 0;
            SetSocketError(kErrCancelled);
            return finish(-1);
        }
        now = NowMs();
        bool watchQueue = now >= quietUntil;
        int64_t slice = deadline < 0 ? -1 : std::max<int64_t>(deadline - now, 0);
        if (!watchQueue && (slice < 0 || slice > quietUntil - now)) slice = quietUntil - now;
        int woke = PlatformWaitForWork(fds.data(), static_cast<unsigned>(count),
                                       static_cast<int>(slice),
                                       watchQueue ? PLATFORM_WAIT_WATCH_QUEUE : 0);
        if (woke < 0) {
            error = PlatformSocketErrorFromErrno(errno);
            result = -1;
            break;
        }
        if (woke & PLATFORM_WAIT_FDS) {
            result = CountReady(fds);
            break;
        }
        if (deadline >= 0 && NowMs() >= deadline) break;
    }
    tFlags &= ~(kFlagInWait | kFlagCancel);
    if (result < 0) SetSocketError(error);
    TraceSocketCall(SocketCall::kPoll, result,
                    {reinterpret_cast<intptr_t>(fds.data()), static_cast<intptr_t>(count),
                     timeoutMs});
    return finish(result);
}

}  // namespace tessan::net
