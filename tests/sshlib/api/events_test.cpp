// Event-driven handles through a platform message window, and blocking handles whose waits
// keep the thread's messages flowing: the connect event before the connect call returns, read
// events and their re-dispatch, the disconnect event, two handles on one window, a window
// destroyed under its handles, time-out and cancel events, handles torn down from inside their
// own waits, and the owner-thread rules.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "api_test_support.h"
#include "platform/messages.h"
#include "platform/system.h"

namespace tessan::apitest {
namespace {

constexpr UINT kEventMessage = 5123;
constexpr UINT_PTR kTestTimer = 77;

// A window whose procedure records the library's events and runs the test's handlers.
struct EventWindow {
    struct Event {
        HCLIENT handle;
        UINT id;
        UINT error;
    };

    EventWindow() { window = PlatformCreateWindow(&EventWindow::Procedure, this); }
    ~EventWindow() {
        if (PlatformIsWindow(window)) PlatformDestroyWindow(window);
    }

    static LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = static_cast<EventWindow*>(PlatformGetWindowData(hwnd));
        if (message == kEventMessage) {
            Event e{static_cast<HCLIENT>(wParam), static_cast<UINT>(lParam & 0xFFFF),
                    static_cast<UINT>((lParam >> 16) & 0xFFFF)};
            self->events.push_back(e);
            if (self->onEvent) self->onEvent(e);
        } else if (message == WM_TIMER) {
            ++self->timerTicks;
            if (self->onTimer) self->onTimer();
        } else if (message == WM_USER + 9) {
            ++self->userMessages;
        }
        return 0;
    }

    int Count(UINT id, HCLIENT handle = 0) const {
        int n = 0;
        for (const Event& e : events)
            if (e.id == id && (handle == 0 || e.handle == handle)) ++n;
        return n;
    }

    HWND window = nullptr;
    std::vector<Event> events;
    std::function<void(const Event&)> onEvent;
    std::function<void()> onTimer;
    int timerTicks = 0;
    int userMessages = 0;
};

// Runs the thread's message loop until `done` holds or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, int ms = 15000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        PlatformPumpMessages(nullptr);
        if (done()) break;
        PlatformWaitForWork(nullptr, 0, 10, PLATFORM_WAIT_WATCH_QUEUE);
    }
    return true;
}

HCLIENT ConnectEvents(int port, HWND window, const std::string& command) {
    const peers::TestAccount& account = peers::PasswordAccount();
    // As the terminal does it: a zeroed options record of the library's size, no options
    // unless a command runs.
    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    DWORD options = 0;
    if (!command.empty()) {
        options = SSH_OPTION_COMMAND;
        std::strcpy(record.szCommandLine, command.c_str());
    }
    return SshAsyncConnectA("127.0.0.1", port, account.user.c_str(), account.password.c_str(), 5,
                            options, &record, nullptr, window, kEventMessage);
}

class Events : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new peers::SshdPeer;
        started_ = server_->Start(peers::QuickSshdOptions());
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        TESSAN_REQUIRE_ACCOUNT();
        ASSERT_TRUE(started_) << server_->Error();
    }
    int Port() const { return server_->Port(); }

    static peers::SshdPeer* server_;
    static bool started_;
    Library library_;
};
peers::SshdPeer* Events::server_ = nullptr;
bool Events::started_ = false;

// The terminal's path: shell with a pseudo-terminal, reads in 4096-byte loops on each read
// event, a write, the fingerprint, and the end.
TEST_F(Events, ConnectReadWriteAndDisconnectEventsOfAShell) {
    EventWindow w;
    std::string received;
    HCLIENT handle = INVALID_CLIENT;
    w.onEvent = [&](const EventWindow::Event& e) {
        if (e.id != SSH_EVENT_READ) return;
        char buffer[4096];
        int n;
        while ((n = SshRead(e.handle, buffer, sizeof buffer)) > 0)
            received.append(buffer, n);
        // Nothing left: the read reports that it would block, or the end of the data when the
        // session ended in the same burst.
        if (n == SSH_ERROR) {
            EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_WOULD_BLOCK);
        }
    };
    handle = ConnectEvents(Port(), w.window, "");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    // The connect event came before the call returned, with the new handle.
    ASSERT_GE(w.events.size(), 1u);
    EXPECT_EQ(w.events[0].id, UINT{SSH_EVENT_CONNECT});
    EXPECT_EQ(w.events[0].handle, handle);
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    ASSERT_TRUE(SshGetSecurityInformationA(handle, &info));
    EXPECT_EQ(std::strlen(info.lpszFingerprint), 47u);  // 16 bytes as xx:xx:...
    const char line[] = "echo one-$((40+2)); exit\n";
    ASSERT_EQ(SshWrite(handle, line, sizeof line - 1), int(sizeof line - 1));
    ASSERT_TRUE(PumpUntil([&] { return w.Count(SSH_EVENT_DISCONNECT) > 0; }))
        << received << LastErrorText();
    EXPECT_NE(received.find("one-42"), std::string::npos) << received;
    EXPECT_EQ(w.Count(SSH_EVENT_DISCONNECT), 1);
    EXPECT_EQ(w.events.back().id, UINT{SSH_EVENT_DISCONNECT});
    EXPECT_GE(w.Count(SSH_EVENT_WRITE), 1);
    EXPECT_EQ(SshRead(handle, nullptr, 1), SSH_ERROR);
    char buffer[16];
    EXPECT_EQ(SshRead(handle, buffer, sizeof buffer), 0);
    EXPECT_EQ(SshGetExitCode(handle), 0);
    EXPECT_EQ(SshDisconnect(handle), 0);
}

// A command that ends in the burst that starts it: its output and its end still come as events.
TEST_F(Events, ACommandThatEndsAtOnceIsStillAnnounced) {
    for (int round = 0; round < 3; ++round) {
        EventWindow w;
        std::string received;
        w.onEvent = [&](const EventWindow::Event& e) {
            char buffer[4096];
            int n;
            if (e.id == SSH_EVENT_READ) {
                while ((n = SshRead(e.handle, buffer, sizeof buffer)) > 0)
                    received.append(buffer, n);
            }
        };
        HCLIENT handle = ConnectEvents(Port(), w.window, "echo quick");
        ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
        ASSERT_TRUE(PumpUntil([&] { return w.Count(SSH_EVENT_DISCONNECT) > 0; }));
        EXPECT_EQ(received, "quick\n");
        EXPECT_EQ(w.events.front().id, UINT{SSH_EVENT_CONNECT});
        EXPECT_EQ(SshGetExitCode(handle), 0);
        SshDisconnect(handle);
    }
}

// An event-mode handle never waits, and it does not queue without end either: while 1 MiB
// accepted earlier has not reached the socket, a write is refused as would-block, and a write
// event says when to go on.
TEST_F(Events, WritesOfAnEventHandleStopAtTheBacklogLimitAndAWriteEventResumesThem) {
    EventWindow w;
    HCLIENT handle = ConnectEvents(Port(), w.window, "sleep 2; cat > /dev/null");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    const std::string chunk(65536, 'w');
    uint64_t accepted = 0;
    int result = 0;
    // Far more than the server's window, the socket's buffers and the backlog limit together.
    while (accepted < (uint64_t{64} << 20)) {
        result = SshWrite(handle, chunk.data(), static_cast<int>(chunk.size()));
        if (result != static_cast<int>(chunk.size())) break;
        accepted += chunk.size();
    }
    ASSERT_EQ(result, SSH_ERROR) << "accepted " << accepted;
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_WOULD_BLOCK);
    EXPECT_LT(accepted, uint64_t{32} << 20);
    EXPECT_FALSE(SshIsWritable(handle, 0));
    // The server starts reading: the backlog drains, and the notification that drained it
    // brought a write event.
    const int writeEvents = w.Count(SSH_EVENT_WRITE);
    ASSERT_TRUE(PumpUntil([&] { return SshIsWritable(handle, 0) != FALSE; }));
    EXPECT_GT(w.Count(SSH_EVENT_WRITE), writeEvents);
    EXPECT_EQ(SshWrite(handle, chunk.data(), static_cast<int>(chunk.size())),
              static_cast<int>(chunk.size()));
    EXPECT_EQ(SshDisconnect(handle), 0);
}

// A handler that reads one byte per event: the bytes left are announced again after the
// handler returns, so every byte is read through its own event.
TEST_F(Events, ReadEventsAreDispatchedAgainWhileDataRemain) {
    EventWindow w;
    std::string received;
    int nestedEvents = 0;
    bool inHandler = false;
    w.onEvent = [&](const EventWindow::Event& e) {
        if (e.id != SSH_EVENT_READ) return;
        if (inHandler) ++nestedEvents;
        inHandler = true;
        char byte;
        if (SshRead(e.handle, &byte, 1) == 1) received += byte;
        inHandler = false;
    };
    HCLIENT handle = ConnectEvents(Port(), w.window, "printf 0123456789abcdef");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 16 && w.Count(SSH_EVENT_DISCONNECT); }))
        << received;
    EXPECT_EQ(received, "0123456789abcdef");
    EXPECT_GE(w.Count(SSH_EVENT_READ), 16);
    EXPECT_EQ(nestedEvents, 0) << "events are frozen while a handler runs";
    SshDisconnect(handle);
}

// A handler that does not read while the server runs far ahead: the client holds a bounded
// part of the window, the rest waits in the socket. Reading later brings every byte, whether
// the server ends the stream behind them or stays silent (then only the reads resume it).
TEST_F(Events, AnEventHandleThatDoesNotReadHoldsABoundedPartOfTheWindow) {
    struct Row {
        const char* command;
        size_t bytes;
        bool ends;  // the server closes the channel right after the data
    };
    for (const Row& row : {Row{"head -c 8000000 /dev/zero", 8000000, true},
                           Row{"head -c 1500000 /dev/zero; sleep 20", 1500000, false}}) {
        EventWindow w;
        bool reading = false;
        size_t total = 0;
        // One read takes all that is held, so no "data remain" event comes after it.
        auto readAll = [&total](HCLIENT handle) {
            static char buffer[1 << 20];
            int n;
            while ((n = SshRead(handle, buffer, sizeof buffer)) > 0)
                total += static_cast<size_t>(n);
        };
        w.onEvent = [&](const EventWindow::Event& e) {
            if (e.id == SSH_EVENT_READ && reading) readAll(e.handle);
        };
        HCLIENT handle = ConnectEvents(Port(), w.window, row.command);
        ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
        PumpUntil([] { return false; }, 800);
        DWORD held = 0;
        ASSERT_TRUE(SshIsReadable(handle, 0, &held)) << row.command;
        EXPECT_GT(held, 0u) << row.command;
        EXPECT_LE(held, 512u * 1024) << row.command << ": of a 2 MiB window";
        reading = true;
        readAll(handle);
        ASSERT_TRUE(PumpUntil(
            [&] { return total == row.bytes && (!row.ends || w.Count(SSH_EVENT_DISCONNECT)); },
            10000))
            << row.command << ": " << total;
        SshDisconnect(handle);
    }
}

// Two handles share one window; destroying the window detaches both, which then work in
// blocking mode.
TEST_F(Events, TwoHandlesOnOneWindowAndTheWindowDestroyedUnderThem) {
    EventWindow w;
    HCLIENT first = ConnectEvents(Port(), w.window, "sleep 1; echo first");
    HCLIENT second = ConnectEvents(Port(), w.window, "sleep 1; echo second");
    ASSERT_NE(first, INVALID_CLIENT) << LastErrorText();
    ASSERT_NE(second, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(w.Count(SSH_EVENT_CONNECT, first), 1);
    EXPECT_EQ(w.Count(SSH_EVENT_CONNECT, second), 1);
    // The window's own messages still reach its procedure through the library's link.
    PlatformPostMessage(w.window, WM_USER + 9, 0, 0);
    PumpUntil([&] { return w.userMessages == 1; }, 2000);
    EXPECT_EQ(w.userMessages, 1);
    char buffer[64];
    EXPECT_EQ(SshRead(first, buffer, sizeof buffer), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_WOULD_BLOCK);

    PlatformDestroyWindow(w.window);
    // Back in blocking mode: the reads wait for the data.
    EXPECT_EQ(ReadAll(first), "first\n");
    EXPECT_EQ(ReadAll(second), "second\n");
    EXPECT_EQ(SshDisconnect(first), 0);
    EXPECT_EQ(SshDisconnect(second), 0);
}

TEST_F(Events, DisconnectingOneOfTwoHandlesKeepsTheOtherOnTheWindow) {
    EventWindow w;
    HCLIENT first = ConnectEvents(Port(), w.window, "sleep 5");
    HCLIENT second = ConnectEvents(Port(), w.window, "sleep 0.3; echo still here");
    ASSERT_NE(first, INVALID_CLIENT) << LastErrorText();
    ASSERT_NE(second, INVALID_CLIENT) << LastErrorText();
    EXPECT_EQ(SshDisconnect(first), 0);
    ASSERT_TRUE(PumpUntil([&] { return w.Count(SSH_EVENT_READ, second) > 0; }));
    char buffer[64];
    EXPECT_EQ(SshRead(second, buffer, sizeof buffer), 11);
    EXPECT_EQ(SshDisconnect(second), 0);
    EXPECT_EQ(SshDisconnect(first), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
}

// Events limited to time-out and cancel leave the handle blocking; the time-out of a read is
// announced with 16 in the low word and 10060 in the high word.
TEST_F(Events, TimeoutAndCancelEventsOfABlockingHandle) {
    EventWindow w;
    HCLIENT handle = ConnectAccount(Port(), "sleep 10");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    ASSERT_EQ(
        SshEnableEventsEx(handle, w.window, kEventMessage, SSH_EVENT_TIMEOUT | SSH_EVENT_CANCEL),
        0);
    EXPECT_EQ(SshSetTimeout(handle, 1), 0);
    char buffer[16];
    EXPECT_EQ(SshRead(handle, buffer, sizeof buffer), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_TIMEOUT);
    ASSERT_EQ(w.events.size(), 1u);
    EXPECT_EQ(w.events[0].id, UINT{SSH_EVENT_TIMEOUT});
    EXPECT_EQ(w.events[0].error, 10060u);

    // SshCancel from a window procedure (a timer) ends the read that waits.
    w.onTimer = [&] {
        PlatformKillTimer(w.window, kTestTimer);
        EXPECT_TRUE(SshIsBlocking(handle));
        EXPECT_EQ(SshGetStatus(handle), SSH_STATUS_READ);
        EXPECT_EQ(SshCancel(handle), 0);
    };
    int callbackCalls = 0;
    static int* counter = nullptr;
    counter = &callbackCalls;
    ASSERT_EQ(SshRegisterEvent(
                  handle, SSH_EVENT_CANCEL,
                  [](HCLIENT, UINT id, DWORD error, DWORD_PTR param) {
                      EXPECT_EQ(id, UINT{SSH_EVENT_CANCEL});
                      EXPECT_EQ(error, KX_ERROR_OPERATION_CANCELED);
                      EXPECT_EQ(param, DWORD_PTR{42});
                      ++*counter;
                  },
                  42),
              0);
    EXPECT_EQ(SshSetTimeout(handle, 10), 0);
    PlatformSetTimer(w.window, kTestTimer, 100);
    EXPECT_EQ(SshRead(handle, buffer, sizeof buffer), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_CANCELED);
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(w.Count(SSH_EVENT_CANCEL), 1);
    EXPECT_EQ(SshGetStatus(handle), SSH_STATUS_IDLE);
    EXPECT_FALSE(SshIsBlocking(handle));
    // A cancel outside a wait makes the next read fail at once.
    EXPECT_EQ(SshCancel(handle), 0);
    EXPECT_EQ(SshWrite(handle, "x", 1), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_CANCELED);
    SshDisconnect(handle);
}

// Blocking calls dispatch the thread's messages while they wait, and a handle destroyed by a
// window procedure during its own wait makes that call fail safely.
TEST_F(Events, BlockingReadsPumpMessagesAndSurviveTheirHandleBeingDestroyed) {
    EventWindow w;
    HCLIENT handle = ConnectAccount(Port(), "sleep 0.5; echo late");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    PlatformSetTimer(w.window, kTestTimer, 20);
    EXPECT_EQ(ReadAll(handle), "late\n");
    EXPECT_GE(w.timerTicks, 5) << "timer messages dispatched during the read";
    PlatformKillTimer(w.window, kTestTimer);
    SshDisconnect(handle);

    handle = ConnectAccount(Port(), "sleep 10");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    w.onTimer = [&] {
        PlatformKillTimer(w.window, kTestTimer);
        EXPECT_EQ(SshDisconnect(handle), 0);
    };
    PlatformSetTimer(w.window, kTestTimer, 100);
    char buffer[16];
    EXPECT_EQ(SshRead(handle, buffer, sizeof buffer), SSH_ERROR);
    EXPECT_EQ(SshGetStatus(handle), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
}

// A program with an event loop of its own (the terminal's GUI thread) registers it as the
// thread's pump step: it keeps running while a connect and a read wait.
TEST_F(Events, ThePumpStepRunsDuringConnectAndReadWaits) {
    static int steps = 0;
    steps = 0;
    PlatformSetPumpStep([](void*) { ++steps; }, nullptr, 5);
    HCLIENT handle = ConnectAccount(Port(), "sleep 0.3; echo done");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    const int afterConnect = steps;
    EXPECT_EQ(ReadAll(handle), "done\n");
    PlatformSetPumpStep(nullptr, nullptr, 0);
    EXPECT_GT(afterConnect, 0);
    EXPECT_GT(steps, afterConnect + 10) << "about one step per 5 ms during the 300 ms read";
    SshDisconnect(handle);
}

// SshUninitialize from a window procedure while a connect waits for the server.
TEST_F(Events, UninitialiseWhileAConnectWaits) {
    EventWindow w;
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));  // the library stays up for the fixture
    w.onTimer = [&] {
        PlatformKillTimer(w.window, kTestTimer);
        SshUninitialize();
        SshUninitialize();
    };
    PlatformSetTimer(w.window, kTestTimer, 1);
    HCLIENT handle = ConnectAccount(Port(), "true");
    EXPECT_EQ(handle, INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_CANCELED) << LastErrorText();
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));  // for the fixture's own SshUninitialize
}

TEST_F(Events, HandlesBelongToTheirThreadUntilAttached) {
    HCLIENT handle = ConnectAccount(Port(), "sleep 0.3; echo mine");
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    DWORD otherThread = 0;
    auto onOtherThread = [&](const std::function<void()>& body) {
        std::thread t([&] {
            otherThread = PlatformGetCurrentThreadId();
            body();
        });
        t.join();
    };
    onOtherThread([&] {
        EXPECT_EQ(SshGetStatus(handle), SSH_ERROR);
        EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_HANDLE_OWNER);
        EXPECT_EQ(SshDisconnect(handle), SSH_ERROR);
        EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_HANDLE_OWNER);
        // Events for a window of another thread than the owner's are refused too.
    });
    EventWindow w;
    const DWORD me = PlatformGetCurrentThreadId();
    EXPECT_EQ(SshAttachThread(handle, otherThread), me);
    EXPECT_EQ(SshGetStatus(handle), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_HANDLE_OWNER);
    EXPECT_EQ(SshEnableEvents(handle, w.window, kEventMessage), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NOT_HANDLE_OWNER);
    std::string read;
    std::thread worker([&] {
        EXPECT_EQ(SshAttachThread(handle, 0), otherThread);
        read = ReadAll(handle);
        EXPECT_EQ(SshAttachThread(handle, me), PlatformGetCurrentThreadId());
    });
    worker.join();
    EXPECT_EQ(read, "mine\n");
    EXPECT_EQ(SshDisconnect(handle), 0);
    EXPECT_EQ(SshAttachThread(handle, 0), DWORD(SSH_ERROR));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);

    // Free-threaded handles skip the owner check.
    handle = ConnectAccount(Port(), "echo free", SSH_OPTION_FREETHREAD);
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    std::thread([&] { read = ReadAll(handle); }).join();
    EXPECT_EQ(read, "free\n");
    SshDisconnect(handle);
}

}  // namespace
}  // namespace tessan::apitest
