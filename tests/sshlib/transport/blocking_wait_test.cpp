// The pumping blocking wait: dispatch during the wait, cancellation by closing the socket from
// a window procedure, the quit rule, nesting, thread messages, the no-pump flag.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/messages.h"
#include "platform/system.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::net {
namespace {

constexpr UINT kCloseIt = WM_USER + 1;
constexpr UINT kNest = WM_USER + 2;
constexpr UINT kCount = WM_USER + 3;

int gCalls = 0;
int gNestedResult = 0;
DWORD gNestedError = 0;

LRESULT TestProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    ++gCalls;
    if (message == kCloseIt) CloseSocket(static_cast<int>(wParam));
    if (message == kNest) {
        WaitItem item{static_cast<int>(wParam), POLLIN, 0};
        gNestedResult = WaitForSockets(&item, 1, 1000);
        gNestedError = LastSocketError();
    }
    return 0;
}

int64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

class BlockingWait : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartSocketSubsystem(), 0u);
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair_), 0);
        hwnd_ = PlatformCreateWindow(TestProc, nullptr);
        gCalls = 0;
        MSG msg;
        while (PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override {
        PlatformDestroyWindow(hwnd_);
        for (int fd : pair_)
            if (fd >= 0) close(fd);
        SetNoPump(false);
        CleanupSocketSubsystem();
    }
    int Wait(int fd, int timeoutMs, short events = POLLIN) {
        WaitItem item{fd, events, 0};
        int result = WaitForSockets(&item, 1, timeoutMs);
        revents_ = item.revents;
        return result;
    }
    int pair_[2] = {-1, -1};
    HWND hwnd_ = nullptr;
    short revents_ = 0;
};

TEST_F(BlockingWait, WindowProcedureClosingTheSocketCancelsTheWait) {
    ASSERT_TRUE(PlatformPostMessage(hwnd_, kCloseIt, pair_[0], 0));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(pair_[0], 5000), -1);
    EXPECT_EQ(LastSocketError(), kErrCancelled);
    EXPECT_LT(ElapsedMs(start), 1000);
    EXPECT_EQ(gCalls, 1);
    EXPECT_EQ(revents_, 0);
    EXPECT_FALSE(IsInBlockingWait());
    pair_[0] = -1;  // closed by the procedure
    // The flags are clear again: the next wait works normally.
    int other[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, other), 0);
    ASSERT_EQ(write(other[1], "y", 1), 1);
    EXPECT_EQ(Wait(other[0], 1000), 1);
    close(other[0]);
    close(other[1]);
}

TEST_F(BlockingWait, QuitRequestEndsTheWaitAndStaysQueued) {
    PlatformPostQuitMessage(7);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(pair_[0], 5000), 0);
    EXPECT_LT(ElapsedMs(start), 1000);
    MSG msg;
    ASSERT_TRUE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(BlockingWait, DataArrivingDuringTheWaitEndsItWhileMessagesAreDispatched) {
    for (int i = 0; i < 3; ++i) PlatformPostMessage(hwnd_, kCount, 0, 0);
    std::thread writer([fd = pair_[1]] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)!write(fd, "z", 1);
    });
    EXPECT_EQ(Wait(pair_[0], 5000), 1);
    EXPECT_TRUE(revents_ & POLLIN);
    EXPECT_EQ(gCalls, 3);
    writer.join();
}

// The wait pumps only when the queue has something: a timer falling due while it sleeps wakes
// it through the queue descriptor, and one already due whose expiry someone else collected from
// that descriptor is still seen.
TEST_F(BlockingWait, TimersAreDispatchedWhetherOrNotTheQueueDescriptorShowsThem) {
    struct Row {
        const char* name;
        UINT intervalMs;
        bool collectedBefore;  // the expiry was read from the descriptor before the wait
    };
    for (const Row& row :
         {Row{"due during the wait", 20, false}, Row{"due before, expiry collected", 1, true}}) {
        gCalls = 0;
        ASSERT_TRUE(PlatformSetTimer(hwnd_, 1, row.intervalMs));
        if (row.collectedBefore) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ASSERT_TRUE(PlatformQueueHasWork());  // reads the descriptor, leaves the message
        }
        EXPECT_EQ(Wait(pair_[0], 150), 0) << row.name;
        EXPECT_GE(gCalls, 1) << row.name;
        PlatformKillTimer(hwnd_, 1);
    }
}

TEST_F(BlockingWait, NestedWaitFailsWithInProgress) {
    PlatformPostMessage(hwnd_, kNest, pair_[0], 0);
    std::thread writer([fd = pair_[1]] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)!write(fd, "z", 1);
    });
    EXPECT_EQ(Wait(pair_[0], 5000), 1);
    EXPECT_EQ(gNestedResult, -1);
    EXPECT_EQ(gNestedError, kErrInProgress);
    writer.join();
}

TEST_F(BlockingWait, TimeoutsAndCancelOutsideAWait) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(pair_[0], 120), 0);
    EXPECT_GE(ElapsedMs(start), 110);
    EXPECT_EQ(Wait(pair_[0], 0), 0);
    EXPECT_EQ(Wait(pair_[1], 0, POLLOUT), 1);
    EXPECT_EQ(CancelBlockingWait(), -1);
    EXPECT_EQ(LastSocketError(), kErrInvalid);
}

TEST_F(BlockingWait, ThreadMessageIsPutBackWithoutSpinning) {
    ASSERT_TRUE(PlatformPostThreadMessage(PlatformGetCurrentThreadId(), kCount, 1, 2));
    timespec before{}, after{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &before);
    EXPECT_EQ(Wait(pair_[0], 400), 0);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &after);
    double cpuMs = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 100.0);
    MSG msg;
    ASSERT_TRUE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, kCount);
    EXPECT_EQ(msg.lParam, 2);
}

TEST_F(BlockingWait, NoPumpFlagLeavesMessagesQueued) {
    SetNoPump(true);
    PlatformPostMessage(hwnd_, kCount, 0, 0);
    EXPECT_EQ(Wait(pair_[0], 50), 0);
    EXPECT_EQ(gCalls, 0);
    EXPECT_TRUE(PlatformQueueHasWork());
}

void CountStep(void* context) { ++*static_cast<int*>(context); }

TEST_F(BlockingWait, PumpStepRunsDuringTheWait) {
    int steps = 0;
    PlatformSetPumpStep(CountStep, &steps, 10);
    EXPECT_EQ(Wait(pair_[0], 150), 0);
    PlatformSetPumpStep(nullptr, nullptr, 0);
    EXPECT_GE(steps, 3);
}

TEST_F(BlockingWait, MissingPollEntryIsNotInitialised) {
    auto saved = SocketTable().poll;
    SocketTable().poll = nullptr;
    EXPECT_EQ(Wait(pair_[0], 100), -1);
    EXPECT_EQ(LastSocketError(), kErrNotInitialised);
    SocketTable().poll = saved;
}

}  // namespace
}  // namespace tessan::net
