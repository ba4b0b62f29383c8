// Per-thread queues: ordering, filters, the quit request, timers, the queue descriptor, the
// pump step; and the small kernel services (tick count, last error, global memory).
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/system.h"

namespace {

constexpr UINT kMsg = WM_USER + 5;

std::vector<MSG> gSeen;
LRESULT RecordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    gSeen.push_back(MSG{hwnd, message, wParam, lParam, 0});
    return 0;
}

bool FdReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

void Drain() {
    MSG msg;
    while (PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(Queue, PostedMessagesComeInOrderThenQuitAndTheDescriptorFollowsTheWork) {
    Drain();
    int fd = PlatformGetQueueFd();
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(FdReadable(fd));
    HWND hwnd = PlatformCreateWindow(RecordProc, nullptr);
    PlatformPostQuitMessage(3);
    EXPECT_TRUE(FdReadable(fd));
    for (WPARAM i = 0; i < 3; ++i) PlatformPostMessage(hwnd, kMsg, i, 0);
    ASSERT_TRUE(PlatformPostThreadMessage(PlatformGetCurrentThreadId(), kMsg + 1, 9, 0));
    MSG msg;
    for (WPARAM i = 0; i < 3; ++i) {
        ASSERT_EQ(PlatformGetMessage(&msg, nullptr, 0, 0), 1);
        EXPECT_EQ(msg.hwnd, hwnd);
        EXPECT_EQ(msg.wParam, i);
    }
    ASSERT_EQ(PlatformGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.message, kMsg + 1u);
    EXPECT_TRUE(FdReadable(fd));
    EXPECT_EQ(PlatformGetMessage(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(FdReadable(fd));
    EXPECT_FALSE(PlatformPostThreadMessage(0x7FFFFFF0, kMsg, 0, 0));
    PlatformDestroyWindow(hwnd);
}

TEST(Queue, FiltersSelectByWindowAndRange) {
    Drain();
    HWND a = PlatformCreateWindow(RecordProc, nullptr);
    HWND b = PlatformCreateWindow(RecordProc, nullptr);
    PlatformPostMessage(a, kMsg, 1, 0);
    PlatformPostMessage(b, kMsg + 10, 2, 0);
    PlatformPostThreadMessage(PlatformGetCurrentThreadId(), kMsg, 3, 0);
    struct Row {
        HWND hwnd;
        UINT min, max;
        WPARAM expected;  // 0: nothing matches
    } rows[] = {{b, 0, 0, 2},
                {nullptr, kMsg + 5, kMsg + 20, 2},
                {reinterpret_cast<HWND>(-1), 0, 0, 3},
                {a, kMsg + 1, kMsg + 20, 0},
                {nullptr, 0, 0, 1}};
    for (const Row& row : rows) {
        MSG msg{};
        BOOL found = PlatformPeekMessage(&msg, row.hwnd, row.min, row.max, PM_NOREMOVE);
        EXPECT_EQ(found != 0, row.expected != 0);
        if (found) {
            EXPECT_EQ(msg.wParam, row.expected);
        }
    }
    Drain();
    PlatformDestroyWindow(a);
    PlatformDestroyWindow(b);
}

TEST(Queue, PumpDispatchesOnlyWhatWasQueuedAndStopsAtQuit) {
    Drain();
    gSeen.clear();
    HWND hwnd = PlatformCreateWindow(RecordProc, nullptr);
    PlatformPostMessage(hwnd, kMsg, 1, 0);
    PlatformPostMessage(hwnd, kMsg, 2, 0);
    EXPECT_EQ(PlatformPumpMessages(nullptr), 1);
    ASSERT_EQ(gSeen.size(), 2u);
    PlatformPostQuitMessage(1);
    PlatformPostQuitMessage(8);  // one request, the latest code
    int code = 0;
    EXPECT_EQ(PlatformPumpMessages(&code), 0);
    EXPECT_EQ(code, 8);
    EXPECT_FALSE(PlatformQueueHasWork());
    PlatformDestroyWindow(hwnd);
}

TEST(Timers, FireAtMostOncePerTimerAndStopWhenKilled) {
    Drain();
    HWND hwnd = PlatformCreateWindow(RecordProc, nullptr);
    int fd = PlatformGetQueueFd();
    ASSERT_EQ(PlatformSetTimer(hwnd, 11, 20), 11u);
    ASSERT_EQ(PlatformSetTimer(hwnd, 12, 5000), 12u);
    EXPECT_EQ(PlatformSetTimer(hwnd, 0, 5), 0u);
    EXPECT_FALSE(FdReadable(fd));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);  // the descriptor wakes a plain poll when the timer is due
    std::this_thread::sleep_for(std::chrono::milliseconds(70));  // several intervals late
    MSG msg;
    ASSERT_TRUE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_FALSE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PlatformKillTimer(hwnd, 11));
    EXPECT_FALSE(PlatformKillTimer(hwnd, 11));
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_FALSE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(FdReadable(fd));
    PlatformDestroyWindow(hwnd);
}

TEST(Queue, PostFromAnotherThreadWakesABlockedGetMessage) {
    Drain();
    HWND hwnd = PlatformCreateWindow(RecordProc, nullptr);
    std::thread poster([hwnd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PlatformPostMessage(hwnd, kMsg, 77, 0);
    });
    MSG msg;
    EXPECT_EQ(PlatformGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 77u);
    poster.join();
    PlatformDestroyWindow(hwnd);
}

struct StepState {
    int calls = 0;
    HWND hwnd = nullptr;
};
void Step(void* context) {
    auto* state = static_cast<StepState*>(context);
    if (++state->calls == 3) PlatformPostMessage(state->hwnd, kMsg, 5, 0);
    PlatformRunPumpStep();  // never runs from inside itself
}

TEST(PumpStep, RunsWhileWaitingAndNeverNested) {
    Drain();
    StepState state;
    state.hwnd = PlatformCreateWindow(RecordProc, nullptr);
    PlatformSetPumpStep(Step, &state, 5);
    MSG msg;
    EXPECT_EQ(PlatformGetMessage(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(state.calls, 3);
    int before = state.calls;
    EXPECT_EQ(PlatformWaitForWork(nullptr, 0, 60, PLATFORM_WAIT_WATCH_QUEUE),
              PLATFORM_WAIT_TIMEOUT);
    EXPECT_GE(state.calls - before, 3);
    PlatformSetPumpStep(nullptr, nullptr, 0);
    before = state.calls;
    EXPECT_EQ(PlatformWaitForWork(nullptr, 0, 30, 0), PLATFORM_WAIT_TIMEOUT);
    EXPECT_EQ(state.calls, before);
    PlatformDestroyWindow(state.hwnd);
}

TEST(System, TickCountAdvancesAndLastErrorIsPerThread) {
    DWORD start = PlatformGetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    DWORD elapsed = PlatformGetTickCount() - start;
    EXPECT_GE(elapsed, 19u);
    EXPECT_LT(elapsed, 5000u);
    PlatformSetLastError(1234);
    std::thread other([] {
        EXPECT_EQ(PlatformGetLastError(), 0u);
        PlatformSetLastError(5);
    });
    other.join();
    EXPECT_EQ(PlatformGetLastError(), 1234u);
}

TEST(GlobalMemory, BlocksKeepContentsAcrossResizeAndRefuseStaleHandles) {
    HGLOBAL block = PlatformGlobalAlloc(GHND, 4);
    ASSERT_NE(block, nullptr);
    auto* bytes = static_cast<unsigned char*>(PlatformGlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::memcmp(bytes, "\0\0\0\0", 4), 0);
    std::memcpy(bytes, "abcd", 4);
    EXPECT_FALSE(PlatformGlobalUnlock(block));
    EXPECT_EQ(PlatformGetLastError(), 0u);
    EXPECT_FALSE(PlatformGlobalUnlock(block));
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    ASSERT_EQ(PlatformGlobalReAlloc(block, 8192, GMEM_ZEROINIT), block);
    EXPECT_EQ(PlatformGlobalSize(block), 8192u);
    bytes = static_cast<unsigned char*>(PlatformGlobalLock(block));
    EXPECT_EQ(std::memcmp(bytes, "abcd", 4), 0);
    EXPECT_EQ(bytes[8191], 0);
    ASSERT_EQ(PlatformGlobalReAlloc(block, 0, 0), block);
    EXPECT_NE(PlatformGlobalLock(block), nullptr);
    EXPECT_EQ(PlatformGlobalFree(block), nullptr);
    // The handle is dead now.
    EXPECT_EQ(PlatformGlobalFree(block), block);
    EXPECT_EQ(PlatformGlobalLock(block), nullptr);
    EXPECT_EQ(PlatformGlobalSize(block), 0u);
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    int notABlock = 0;
    EXPECT_EQ(PlatformGlobalLock(reinterpret_cast<HGLOBAL>(&notABlock)), nullptr);
}

}  // namespace
