// Handles across threads: a free-threaded handle used by several threads at once (each call
// either runs alone or is refused with KX_ERROR_HANDLE_IN_USE, and the data arrive whole), a
// wait ended from another thread by SshCancel, and the last SshUninitialize while another
// thread waits in a read (the read fails as cancelled instead of running on freed state). The
// ThreadSanitizer build runs this program.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

using Clock = std::chrono::steady_clock;

class Threads : public SshdSuite {};

// Runs `call` until it is not refused for another thread's call; the refusals are counted.
template <typename Call>
auto Retry(Call call, std::atomic<int>& refusals) {
    for (;;) {
        auto result = call();
        if (result != SSH_ERROR || SshGetLastError() != KX_ERROR_HANDLE_IN_USE) return result;
        ++refusals;
        std::this_thread::yield();
    }
}

TEST_F(Threads, AFreeThreadedHandleServesSeveralThreadsOneCallAtATime) {
    HCLIENT handle = ConnectAccount(Port(), "cat", SSH_OPTION_FREETHREAD);
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    std::string sent;
    for (int i = 0; i < 400; ++i)
        sent += "line " + std::to_string(i) + " of the threads test\n";
    std::atomic<int> refusals{0};
    std::atomic<bool> done{false};
    std::vector<DWORD> unexpected;  // errors other than the refusal (the reader's)

    std::thread writer([&] {
        for (size_t at = 0; at < sent.size(); at += 500) {
            const int piece = static_cast<int>(std::min<size_t>(500, sent.size() - at));
            EXPECT_EQ(Retry([&] { return SshWrite(handle, sent.data() + at, piece); }, refusals),
                      piece);
        }
    });
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (received.size() < sent.size() && Clock::now() < deadline) {
            DWORD available = 0;
            if (!SshIsReadable(handle, 0, &available) || available == 0) {
                if (SshGetLastError() != KX_ERROR_HANDLE_IN_USE && SshGetLastError() != 0)
                    unexpected.push_back(SshGetLastError());
                SshSetLastError(0);
                continue;
            }
            const int n = Retry([&] { return SshRead(handle, buffer, sizeof buffer); }, refusals);
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
        }
        done = true;
    });
    // Meanwhile keep-alive messages (which the server ignores) go out on the same connection,
    // and the calls that are never refused look on.
    std::thread keeper([&] {
        while (!done) {
            EXPECT_EQ(
                Retry([&] { return SshControl(handle, SSH_CONTROL_NOOP, nullptr, 0); }, refusals),
                0);
            EXPECT_NE(SshGetStatus(handle), SSH_ERROR);
            EXPECT_EQ(SshGetTimeout(handle), 15);
            SshIsBlocking(handle);
        }
    });
    writer.join();
    reader.join();
    keeper.join();
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size();
    EXPECT_TRUE(unexpected.empty()) << std::hex << unexpected.front();
    EXPECT_EQ(SshDisconnect(handle), 0);
}

// Starts a blocking read of `handle` on its own thread; the read's result and error.
struct WaitingRead {
    explicit WaitingRead(HCLIENT handle) {
        thread = std::thread([this, handle] {
            char byte;
            result = SshRead(handle, &byte, 1);
            error = SshGetLastError();
            finished = Clock::now();
        });
        // Until the read waits inside the library.
        while (!SshIsBlocking(handle))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~WaitingRead() {
        if (thread.joinable()) thread.join();
    }
    std::atomic<int> result{0};
    std::atomic<DWORD> error{0};
    std::atomic<Clock::time_point> finished{};
    std::thread thread;
};

TEST_F(Threads, AWaitIsEndedFromAnotherThreadByCancelAndByTheLastUninitialize) {
    // The server sends nothing: each read waits for the handle's 15-second time-out.
    HCLIENT handle = ConnectAccount(Port(), "sleep 60", SSH_OPTION_FREETHREAD);
    ASSERT_NE(handle, INVALID_CLIENT) << LastErrorText();
    {
        WaitingRead read(handle);
        const auto asked = Clock::now();
        EXPECT_EQ(SshCancel(handle), 0);
        read.thread.join();
        EXPECT_EQ(read.result, SSH_ERROR);
        EXPECT_EQ(read.error, KX_ERROR_OPERATION_CANCELED);
        EXPECT_LT(read.finished.load() - asked, std::chrono::seconds(5));
    }
    WaitingRead read(handle);
    const auto asked = Clock::now();
    // The fixture's initialisation is the only one: this is the last SshUninitialize. It
    // returns once the read has ended, and the handle is gone.
    SshUninitialize();
    EXPECT_NE(read.finished.load(), Clock::time_point{});
    read.thread.join();
    EXPECT_EQ(read.result, SSH_ERROR);
    EXPECT_EQ(read.error, KX_ERROR_OPERATION_CANCELED);
    EXPECT_LT(read.finished.load() - asked, std::chrono::seconds(5));
    char byte;
    EXPECT_EQ(SshRead(handle, &byte, 1), SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace tessan::apitest
