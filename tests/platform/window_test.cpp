// Message windows: procedures, subclass chains in every installation and removal order,
// destruction (also from inside a dispatch) and the owner-thread rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/system.h"

namespace {

constexpr UINT kProbe = WM_USER + 1;

// Every procedure appends its name to this trace, so tests read the order of a chain.
thread_local std::string tTrace;

LRESULT BaseProc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == kProbe) tTrace += "base;";
    if (message == WM_DESTROY) tTrace += "destroy;";
    if (message == WM_NCDESTROY) tTrace += "ncdestroy;";
    return 100;
}

LRESULT LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                 DWORD_PTR) {
    if (message == kProbe || message == WM_NCDESTROY) tTrace += "link" + std::to_string(id) + ";";
    return PlatformDefSubclassProc(hwnd, message, wParam, lParam) + 1;
}

struct Case {
    std::vector<int> install;  // link ids in installation order
    std::vector<int> remove;   // link ids removed afterwards, in this order
    std::string expected;      // trace of one probe after the removals
};

class SubclassOrder : public ::testing::TestWithParam<Case> {};

TEST_P(SubclassOrder, ChainRunsNewestFirstAndSurvivesAnyRemovalOrder) {
    const Case& c = GetParam();
    HWND hwnd = PlatformCreateWindow(BaseProc, nullptr);
    ASSERT_NE(hwnd, nullptr);
    for (int id : c.install) ASSERT_TRUE(PlatformSubclassWindow(hwnd, LinkProc, id, 0));
    for (int id : c.remove) ASSERT_TRUE(PlatformUnsubclassWindow(hwnd, LinkProc, id));
    tTrace.clear();
    LRESULT result = PlatformSendMessage(hwnd, kProbe, 0, 0);
    EXPECT_EQ(tTrace, c.expected);
    size_t remaining = c.install.size() - c.remove.size();
    EXPECT_EQ(result, static_cast<LRESULT>(100 + remaining));
    EXPECT_FALSE(PlatformUnsubclassWindow(hwnd, LinkProc, 99));
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(PlatformDestroyWindow(hwnd));
}

INSTANTIATE_TEST_SUITE_P(
    Orders, SubclassOrder,
    ::testing::Values(Case{{1, 2}, {}, "link2;link1;base;"},
                      Case{{1, 2}, {2, 1}, "base;"},       // reverse order
                      Case{{1, 2}, {1, 2}, "base;"},       // installation order
                      Case{{1, 2}, {1}, "link2;base;"},    // the older one only
                      Case{{1, 2}, {2}, "link1;base;"},    // the newer one only
                      Case{{1, 2, 3}, {2}, "link3;link1;base;"},
                      Case{{1, 2, 3}, {3, 1}, "link2;base;"}));

// A raw procedure replacement that passes on to the procedure it replaced.
WNDPROC gPrevious = nullptr;
LRESULT WrapperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe) tTrace += "wrapper;";
    return PlatformCallWindowProc(gPrevious, hwnd, message, wParam, lParam);
}

TEST(WindowProc, ReplacingTheProcedureReturnsThePreviousOne) {
    HWND hwnd = PlatformCreateWindow(BaseProc, nullptr);
    gPrevious = PlatformSetWindowProc(hwnd, WrapperProc);
    EXPECT_EQ(gPrevious, &BaseProc);
    ASSERT_TRUE(PlatformSubclassWindow(hwnd, LinkProc, 7, 0));
    tTrace.clear();
    EXPECT_EQ(PlatformSendMessage(hwnd, kProbe, 0, 0), 101);
    EXPECT_EQ(tTrace, "link7;wrapper;base;");
    EXPECT_EQ(PlatformSetWindowProc(hwnd, gPrevious), &WrapperProc);
    tTrace.clear();
    PlatformSendMessage(hwnd, kProbe, 0, 0);
    EXPECT_EQ(tTrace, "link7;base;");
    PlatformDestroyWindow(hwnd);
}

TEST(WindowDestroy, SendsDestroyThenNcDestroyThroughTheChainAndForgetsTheWindow) {
    HWND hwnd = PlatformCreateWindow(BaseProc, nullptr);
    ASSERT_TRUE(PlatformSubclassWindow(hwnd, LinkProc, 5, 0));
    ASSERT_TRUE(PlatformPostMessage(hwnd, kProbe, 0, 0));
    ASSERT_EQ(PlatformSetTimer(hwnd, 1, 1), 1u);
    tTrace.clear();
    EXPECT_TRUE(PlatformDestroyWindow(hwnd));
    EXPECT_EQ(tTrace, "destroy;link5;ncdestroy;");
    EXPECT_FALSE(PlatformIsWindow(hwnd));
    EXPECT_EQ(PlatformGetWindowThreadId(hwnd), 0u);
    // Messages and timers of the window went with it.
    MSG msg;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    // Every call on the stale handle fails cleanly.
    EXPECT_FALSE(PlatformDestroyWindow(hwnd));
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PlatformPostMessage(hwnd, kProbe, 0, 0));
    EXPECT_EQ(PlatformSendMessage(hwnd, kProbe, 0, 0), 0);
    EXPECT_EQ(PlatformSetTimer(hwnd, 1, 10), 0u);
    EXPECT_FALSE(PlatformSubclassWindow(hwnd, LinkProc, 1, 0));
}

// Destroys its own window while handling a posted message, then keeps using its arguments.
int gSelfDestroyCalls = 0;
LRESULT SelfDestroyProc(HWND hwnd, UINT message, WPARAM, LPARAM) {
    if (message != kProbe) return 0;
    ++gSelfDestroyCalls;
    EXPECT_TRUE(PlatformDestroyWindow(hwnd));
    EXPECT_FALSE(PlatformIsWindow(hwnd));
    return 0;
}

LRESULT CountingLink(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                     DWORD_PTR refData) {
    if (message == kProbe) ++*reinterpret_cast<int*>(refData);
    return PlatformDefSubclassProc(hwnd, message, wParam, lParam);
}

TEST(WindowDestroy, DuringDispatchCompletesTheCallAndDropsLaterMessages) {
    gSelfDestroyCalls = 0;
    int linkCalls = 0;
    HWND hwnd = PlatformCreateWindow(SelfDestroyProc, nullptr);
    ASSERT_TRUE(PlatformSubclassWindow(hwnd, CountingLink, 1,
                                       reinterpret_cast<DWORD_PTR>(&linkCalls)));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PlatformPostMessage(hwnd, kProbe, i, 0));
    EXPECT_EQ(PlatformPumpMessages(nullptr), 1);
    EXPECT_EQ(gSelfDestroyCalls, 1);
    EXPECT_EQ(linkCalls, 1);
    EXPECT_FALSE(PlatformQueueHasWork());
}

// A link that removes itself and its neighbour while a message travels along the chain.
LRESULT UnhookingLink(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                      DWORD_PTR) {
    if (message == kProbe) {
        tTrace += "unhook" + std::to_string(id) + ";";
        PlatformUnsubclassWindow(hwnd, UnhookingLink, id);
        PlatformUnsubclassWindow(hwnd, LinkProc, 1);
    }
    return PlatformDefSubclassProc(hwnd, message, wParam, lParam);
}

TEST(WindowSubclass, LinksRemovedDuringAMessageAreSkipped) {
    HWND hwnd = PlatformCreateWindow(BaseProc, nullptr);
    PlatformSubclassWindow(hwnd, LinkProc, 1, 0);
    PlatformSubclassWindow(hwnd, UnhookingLink, 2, 0);
    tTrace.clear();
    PlatformSendMessage(hwnd, kProbe, 0, 0);
    EXPECT_EQ(tTrace, "unhook2;base;");
    tTrace.clear();
    PlatformSendMessage(hwnd, kProbe, 0, 0);
    EXPECT_EQ(tTrace, "base;");
    PlatformDestroyWindow(hwnd);
}

TEST(WindowSubclass, ReinstallingUpdatesReferenceData) {
    HWND hwnd = PlatformCreateWindow(BaseProc, nullptr);
    PlatformSubclassWindow(hwnd, LinkProc, 1, 10);
    PlatformSubclassWindow(hwnd, LinkProc, 1, 20);
    DWORD_PTR ref = 0;
    EXPECT_TRUE(PlatformGetWindowSubclass(hwnd, LinkProc, 1, &ref));
    EXPECT_EQ(ref, 20u);
    tTrace.clear();
    PlatformSendMessage(hwnd, kProbe, 0, 0);
    EXPECT_EQ(tTrace, "link1;base;");
    PlatformDestroyWindow(hwnd);
    EXPECT_FALSE(PlatformGetWindowSubclass(hwnd, LinkProc, 1, &ref));
}

TEST(WindowThreads, OwnerThreadRules) {
    HWND hwnd = PlatformCreateWindow(BaseProc, reinterpret_cast<void*>(42));
    EXPECT_EQ(PlatformGetWindowThreadId(hwnd), PlatformGetCurrentThreadId());
    EXPECT_EQ(PlatformGetWindowData(hwnd), reinterpret_cast<void*>(42));
    std::thread other([&] {
        EXPECT_NE(PlatformGetCurrentThreadId(), PlatformGetWindowThreadId(hwnd));
        EXPECT_TRUE(PlatformIsWindow(hwnd));
        EXPECT_EQ(PlatformSendMessage(hwnd, kProbe, 0, 0), 0);
        EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(PlatformDestroyWindow(hwnd));
        EXPECT_TRUE(PlatformPostMessage(hwnd, kProbe, 7, 0));
        // Windows of a thread that ends go with it.
        HWND mine = PlatformCreateWindow(BaseProc, nullptr);
        EXPECT_TRUE(PlatformIsWindow(mine));
        PlatformSetWindowData(hwnd, mine);
    });
    other.join();
    EXPECT_FALSE(PlatformIsWindow(static_cast<HWND>(PlatformGetWindowData(hwnd))));
    MSG msg;
    ASSERT_TRUE(PlatformPeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, hwnd);
    EXPECT_EQ(msg.wParam, 7u);
    tTrace.clear();
    EXPECT_EQ(PlatformDispatchMessage(&msg), 100);
    EXPECT_EQ(tTrace, "base;");
    PlatformDestroyWindow(hwnd);
}

}  // namespace
