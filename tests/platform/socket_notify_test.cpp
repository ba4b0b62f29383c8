// Socket notifications on loopback: connect, write, accept, read (with re-enabling), close,
// a refused connect, and cancellation.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/messages.h"
#include "platform/socket_notify.h"
#include "platform/system.h"

namespace {

constexpr UINT kSocketMsg = WM_USER + 0x100;

struct Note {
    int socket;
    WORD event;
    WORD error;
};
std::vector<Note> gNotes;

LRESULT NoteProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSocketMsg)
        gNotes.push_back(Note{static_cast<int>(wParam), PLATFORM_SELECT_EVENT(lParam),
                              PLATFORM_SELECT_ERROR(lParam)});
    return 0;
}

int CountOf(int socket, WORD event) {
    int count = 0;
    for (const Note& n : gNotes) count += n.socket == socket && n.event == event;
    return count;
}

// Pumps until `count` notifications of `event` for `socket` arrived or `ms` passed.
bool PumpUntil(int socket, WORD event, int count = 1, int ms = 3000) {
    DWORD start = PlatformGetTickCount();
    for (;;) {
        if (CountOf(socket, event) >= count) return true;
        int left = ms - static_cast<int>(PlatformGetTickCount() - start);
        if (left <= 0) return false;
        PlatformWaitForWork(nullptr, 0, left, PLATFORM_WAIT_WATCH_QUEUE);
        PlatformPumpMessages(nullptr);
    }
}

int Listener(sockaddr_in& address) {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    EXPECT_EQ(listen(s, 4), 0);
    return s;
}

class SocketNotify : public ::testing::Test {
protected:
    void SetUp() override {
        gNotes.clear();
        hwnd_ = PlatformCreateWindow(NoteProc, nullptr);
    }
    void TearDown() override { PlatformDestroyWindow(hwnd_); }
    HWND hwnd_ = nullptr;
};

TEST_F(SocketNotify, ConnectWriteAcceptReadAndClose) {
    sockaddr_in address;
    int listener = Listener(address);
    ASSERT_EQ(PlatformAsyncSelect(listener, hwnd_, kSocketMsg, PLATFORM_FD_ACCEPT), 0);
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Requested before the connect starts, as a caller that sets up notifications first does.
    ASSERT_EQ(PlatformAsyncSelect(client, hwnd_, kSocketMsg, PLATFORM_FD_ALL_EVENTS), 0);
    PlatformPumpMessages(nullptr);
    EXPECT_TRUE(gNotes.empty());  // an unconnected socket reports nothing
    int rc = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ASSERT_TRUE(rc == 0 || errno == EINPROGRESS);
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_CONNECT));
    EXPECT_EQ(gNotes.front().error, 0);
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_WRITE));
    ASSERT_TRUE(PumpUntil(listener, PLATFORM_FD_ACCEPT));
    int server = accept(listener, nullptr, nullptr);
    ASSERT_GE(server, 0);

    ASSERT_EQ(send(server, "hello world", 11, 0), 11);
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_READ));
    char buffer[16];
    ASSERT_EQ(recv(client, buffer, 5, 0), 5);  // part of the data only
    PlatformPumpMessages(nullptr);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_READ), 1);  // no repeat without new data
    PlatformSocketReenable(client, PLATFORM_FD_READ);
    PlatformPumpMessages(nullptr);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_READ), 2);  // told again: data remain
    ASSERT_EQ(recv(client, buffer, sizeof buffer, 0), 6);
    PlatformSocketReenable(client, PLATFORM_FD_READ);
    PlatformPumpMessages(nullptr);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_READ), 2);

    EXPECT_EQ(CountOf(client, PLATFORM_FD_WRITE), 1);
    PlatformSocketReenable(client, PLATFORM_FD_WRITE);
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_WRITE, 2));

    close(server);
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_CLOSE));
    EXPECT_EQ(gNotes.back().error, 0);
    PlatformPumpMessages(nullptr);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_CLOSE), 1);
    EXPECT_EQ(PlatformAsyncSelect(client, nullptr, 0, 0), 0);
    EXPECT_EQ(PlatformAsyncSelect(listener, nullptr, 0, 0), 0);
    close(client);
    close(listener);
    EXPECT_FALSE(PlatformQueueHasWork());
}

TEST_F(SocketNotify, RefusedConnectReportsTheSocketStyleError) {
    sockaddr_in address;
    int listener = Listener(address);
    close(listener);  // nobody listens on that port any more
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(PlatformAsyncSelect(client, hwnd_, kSocketMsg, PLATFORM_FD_ALL_EVENTS), 0);
    int rc = connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ASSERT_TRUE(rc == -1 && (errno == EINPROGRESS || errno == ECONNREFUSED));
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_CONNECT));
    EXPECT_EQ(gNotes.back().error, 10061);
    PlatformPumpMessages(nullptr);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_CLOSE), 0);
    EXPECT_EQ(CountOf(client, PLATFORM_FD_WRITE), 0);
    PlatformAsyncSelect(client, nullptr, 0, 0);
    close(client);
}

TEST_F(SocketNotify, ResetConnectionReportsCloseWithItsError) {
    sockaddr_in address;
    int listener = Listener(address);
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int server = accept(listener, nullptr, nullptr);
    ASSERT_EQ(PlatformAsyncSelect(client, hwnd_, kSocketMsg, PLATFORM_FD_CLOSE), 0);
    linger hard{1, 0};
    setsockopt(server, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(server);  // sends a reset
    ASSERT_TRUE(PumpUntil(client, PLATFORM_FD_CLOSE));
    EXPECT_EQ(gNotes.back().error, 10054);
    PlatformAsyncSelect(client, nullptr, 0, 0);
    close(client);
    close(listener);
}

TEST_F(SocketNotify, CancelledAndDestroyedRequestsPostNothing) {
    sockaddr_in address;
    int listener = Listener(address);
    int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    int server = accept(listener, nullptr, nullptr);
    HWND other = PlatformCreateWindow(NoteProc, nullptr);
    ASSERT_EQ(PlatformAsyncSelect(client, other, kSocketMsg, PLATFORM_FD_READ), 0);
    ASSERT_EQ(PlatformAsyncSelect(server, hwnd_, kSocketMsg, PLATFORM_FD_READ), 0);
    ASSERT_EQ(PlatformAsyncSelect(server, hwnd_, kSocketMsg, 0), 0);
    PlatformDestroyWindow(other);
    send(server, "x", 1, 0);
    send(client, "y", 1, 0);
    usleep(20000);
    PlatformPumpMessages(nullptr);
    EXPECT_TRUE(gNotes.empty());
    EXPECT_EQ(PlatformAsyncSelect(client, hwnd_, kSocketMsg, 64), -1);
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(PlatformAsyncSelect(client, other, kSocketMsg, PLATFORM_FD_READ), -1);
    EXPECT_EQ(PlatformGetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(PlatformAsyncSelect(-5, hwnd_, kSocketMsg, PLATFORM_FD_READ), -1);
    EXPECT_EQ(PlatformGetLastError(), 10038u);
    close(client);
    close(server);
    close(listener);
}

TEST(SocketErrors, PosixErrorsMapToSocketStyleNumbers) {
    struct Row {
        int posix;
        DWORD expected;
    } rows[] = {{0, 0},          {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060}, {EHOSTUNREACH, 10065},
                {ENETUNREACH, 10051}, {ECONNRESET, 10054}, {EPIPE, 10054},  {EAGAIN, 10035},
                {EINPROGRESS, 10036}, {EBADF, 10038},      {EINVAL, 10022}, {EADDRINUSE, 10048},
                {ENOMEM, 10012},      {EIO, 10045}};
    for (const Row& row : rows)
        EXPECT_EQ(PlatformSocketErrorFromErrno(row.posix), row.expected) << row.posix;
}

}  // namespace
