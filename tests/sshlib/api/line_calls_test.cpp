// Lines, searches and one-shot commands against OpenSSH's sshd: lines cut to the caller's
// buffer with the rest kept, line ends dropped, the partial line of a time-out, lines written in
// pieces with their terminator, the search's matching rule and its three ways of handing over
// data, the command's output converted to CR LF ends and handed over in a global memory block,
// and an event-driven handle whose events come back after a line read.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "api_test_support.h"
#include "platform/messages.h"
#include "platform/system.h"

namespace tessan::apitest {
namespace {

class LineCalls : public SshdSuite {
protected:
    // SshExecuteA as the password account.
    static INT Execute(const std::string& command, LPVOID buffer, DWORD* length) {
        const peers::TestAccount& account = peers::PasswordAccount();
        return SshExecuteA("127.0.0.1", Port(), account.user.c_str(), account.password.c_str(),
                           command.c_str(), 15, 0, buffer, length, nullptr);
    }
};

// The bytes of a block handed to the caller, which is freed.
std::string TakeBlock(HGLOBAL block) {
    const size_t size = PlatformGlobalSize(block);
    std::string bytes(static_cast<const char*>(PlatformGlobalLock(block)), size);
    PlatformGlobalUnlock(block);
    EXPECT_EQ(PlatformGlobalFree(block), nullptr);
    return bytes;
}

TEST_F(LineCalls, LinesAreCutToTheBufferAndLoseTheirEndsUntilTheDataEnd) {
    HCLIENT client =
        ConnectAccount(Port(), "printf 'abcdefgh\\n1234\\r\\n\\ncaf\\303\\251\\nlast'");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    struct Step {
        int size;
        const char* line;      // through SshReadLineA
        const char16_t* wide;  // through SshReadLineW instead
    };
    const Step steps[] = {
        {5, "abcd", nullptr},     // the rest stays buffered
        {64, "efgh", nullptr},    // line feed dropped
        {64, "1234", nullptr},    // carriage return and line feed dropped
        {64, "", nullptr},        // an empty line
        {5, nullptr, u"caf"},     // the cut keeps the two bytes of the accented letter together
        {5, nullptr, u"\u00e9"},  // ... which come with the next line
        {64, "last", nullptr},    // the session ended: what is left, without a line end
    };
    for (const Step& step : steps) {
        int length = step.size;
        if (step.wide) {
            std::vector<char16_t> line(static_cast<size_t>(step.size), u'x');
            ASSERT_TRUE(SshReadLineW(client, line.data(), &length)) << LastErrorText();
            EXPECT_EQ(std::u16string(line.data()), step.wide);
            EXPECT_EQ(length, static_cast<int>(std::u16string(step.wide).size()));
        } else {
            std::vector<char> line(static_cast<size_t>(step.size), 'x');
            ASSERT_TRUE(SshReadLineA(client, line.data(), &length)) << LastErrorText();
            EXPECT_STREQ(line.data(), step.line);
            EXPECT_EQ(length, static_cast<int>(std::strlen(step.line)));
        }
    }
    char line[16] = "x";
    int length = sizeof line;
    EXPECT_FALSE(SshReadLineA(client, line, &length));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_CONNECTION_CLOSED);
    EXPECT_EQ(length, 0);
    EXPECT_STREQ(line, "");
    SshDisconnect(client);
}

TEST_F(LineCalls, ArgumentsAndTheTimeOutWithItsPartialLine) {
    HCLIENT client = ConnectAccount(Port(), "printf partial; sleep 20");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    char line[32];
    int length = 0;
    const struct {
        LPSTR line;
        LPINT length;
        int size;
        DWORD error;
    } refusals[] = {
        {nullptr, &length, 32, KX_ERROR_INVALID_BUFFER},
        {line, nullptr, 32, KX_ERROR_INVALID_PARAMETER},
        {line, &length, 0, KX_ERROR_BUFFER_TOO_SMALL},
    };
    for (const auto& r : refusals) {
        length = r.size;
        EXPECT_FALSE(SshReadLineA(client, r.line, r.length));
        EXPECT_EQ(SshGetLastError(), r.error);
    }
    ASSERT_EQ(SshSetTimeout(client, 1), 0);
    length = sizeof line;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SshReadLineA(client, line, &length));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_OPERATION_TIMEOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_STREQ(line, "partial");
    EXPECT_EQ(length, 7);
    SshDisconnect(client);
}

TEST_F(LineCalls, WrittenLinesEndWithCarriageReturnAndLineFeed) {
    HCLIENT client = ConnectAccount(Port(), "cat");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    const std::string longLine(20000, 'z');  // written in three pieces
    const std::string lines[] = {"", "hello", longLine};
    for (const std::string& text : lines) {
        int written = -1;
        ASSERT_TRUE(SshWriteLineA(client, text.c_str(), &written)) << LastErrorText();
        EXPECT_EQ(written, static_cast<int>(text.size()) + 2);
        std::vector<char> line(30000);
        int length = static_cast<int>(line.size());
        ASSERT_TRUE(SshReadLineA(client, line.data(), &length)) << LastErrorText();
        EXPECT_EQ(std::string(line.data(), static_cast<size_t>(length)), text);
    }
    int written = -1;
    ASSERT_TRUE(SshWriteLineW(client, u"wide \u00e9", &written));
    EXPECT_EQ(written, 9);  // the accented letter is two bytes
    EXPECT_EQ(ReadUntil(client, "\n"), "wide \xC3\xA9\r\n");
    SshDisconnect(client);
    EXPECT_FALSE(SshWriteLineA(client, "gone", &written));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
    EXPECT_EQ(written, 0);
}

TEST_F(LineCalls, SearchMatchesWithoutLookingBackAndHandsDataOverThreeWays) {
    HCLIENT client = ConnectAccount(Port(), "printf 'aab.xab.tail-end'");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    EXPECT_FALSE(SshSearchA(client, "", nullptr, nullptr, 0));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);

    // "a a b" holds no match (the second a is not taken as a new start); "x a b" does.
    HGLOBAL block = nullptr;
    DWORD length = 0;
    ASSERT_TRUE(SshSearchA(client, "ab", &block, &length, 0)) << LastErrorText();
    EXPECT_EQ(length, 7u);
    EXPECT_EQ(TakeBlock(block), "aab.xab");

    // A maximum: the bytes go into the caller's buffer, and reading stops there.
    char bytes[8] = {};
    length = 3;
    EXPECT_FALSE(SshSearchA(client, "zz", bytes, &length, 0));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(std::string(bytes, 3), ".ta");

    // Without a length only the block comes back; to the end of the data.
    block = nullptr;
    EXPECT_TRUE(SshSearchW(client, u"-", &block, nullptr, 0));
    EXPECT_EQ(TakeBlock(block), "il-");
    length = 0;
    EXPECT_FALSE(SshSearchA(client, "never", nullptr, &length, 0));  // discarded
    EXPECT_EQ(length, 0u);
    char rest[8];
    EXPECT_EQ(SshRead(client, rest, sizeof rest), 0);
    SshDisconnect(client);
}

TEST_F(LineCalls, ExecuteConvertsLineEndsAndReturnsTheExitCode) {
    const struct {
        const char* command;
        const char* output;
        INT exitCode;
    } cases[] = {
        {"printf 'a\\nb'", "a\r\nb\r\n", 0},
        {"printf 'a\\nb\\n'; exit 3", "a\r\nb\r\n", 3},
        {"printf 'a\\r\\nb\\n'", "a\r\nb\n", 0},       // already CR LF: unchanged
        {"printf '\\033[1ma\\nb'", "\x1b[1ma\nb", 0},  // escape: unchanged
        {"printf 'no line end'; exit 255", "no line end", 255},
    };
    for (const auto& c : cases) {
        char buffer[64] = {};
        DWORD length = sizeof buffer;
        EXPECT_EQ(Execute(c.command, buffer, &length), c.exitCode) << c.command;
        EXPECT_EQ(std::string(buffer, length), c.output) << c.command;
    }

    // A length of 0 asks for a block; a small buffer takes only what fits.
    HGLOBAL block = nullptr;
    DWORD length = 0;
    ASSERT_EQ(Execute("head -c 100000 /dev/zero | tr '\\0' q", &block, &length), 0)
        << LastErrorText();
    EXPECT_EQ(length, 100000u);
    EXPECT_EQ(TakeBlock(block), std::string(100000, 'q'));
    char small[4];
    length = sizeof small;
    EXPECT_EQ(Execute("echo abcdef", small, &length), 0);
    EXPECT_EQ(std::string(small, length), "abcd");
    // No output leaves both untouched.
    block = nullptr;
    length = 0;
    EXPECT_EQ(Execute("true", &block, &length), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 0u);
}

TEST_F(LineCalls, ExecuteChecksItsArgumentsFirst) {
    const peers::TestAccount& account = peers::PasswordAccount();
    const std::string tooLong(512, 'x');
    char buffer[8];
    DWORD length = sizeof buffer;
    const struct {
        const char* host;
        const char* user;
        const char* password;
        const char* command;
        LPVOID buffer;
        LPDWORD length;
        DWORD error;
    } cases[] = {
        {"", "u", "p", "true", buffer, &length, KX_ERROR_INVALID_HOSTNAME},
        {"h", nullptr, "p", "true", buffer, &length, KX_ERROR_INVALID_USERNAME},
        {"h", "u", "", "true", buffer, &length, KX_ERROR_INVALID_PASSWORD},
        {"h", "u", "p", tooLong.c_str(), buffer, &length, KX_ERROR_INVALID_COMMAND},
        {"h", "u", "p", nullptr, buffer, &length, KX_ERROR_INVALID_COMMAND},
        {"h", "u", "p", "true", nullptr, &length, KX_ERROR_INVALID_BUFFER},
        {"h", "u", "p", "true", buffer, nullptr, KX_ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SshExecuteA(c.host, Port(), c.user, c.password, c.command, 5, 0, c.buffer,
                              c.length, nullptr),
                  SSH_ERROR);
        EXPECT_EQ(SshGetLastError(), c.error);
    }
    EXPECT_EQ(SshExecuteA("127.0.0.1", Port(), account.user.c_str(), "wrong password", "true", 15,
                          0, buffer, &length, nullptr),
              SSH_ERROR);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_AUTHENTICATION_FAILED);
    EXPECT_EQ(length, sizeof buffer);
    char16_t user[64] = {}, password[64] = {};
    for (size_t i = 0; i < account.user.size(); ++i)
        user[i] = static_cast<char16_t>(account.user[i]);
    for (size_t i = 0; i < account.password.size(); ++i)
        password[i] = static_cast<char16_t>(account.password[i]);
    EXPECT_EQ(SshExecuteW(u"127.0.0.1", Port(), user, password, u"printf w; exit 7", 15, 0, buffer,
                          &length, nullptr),
              7);
    EXPECT_EQ(std::string(buffer, length), "w");
}

// A line read on an event-driven handle waits like a blocking one; afterwards the handle is
// event-driven again and hears of the data the read left.
TEST_F(LineCalls, EventDrivenHandleGetsItsEventsBackAfterALineRead) {
    constexpr UINT kMessage = WM_USER + 40;
    struct Window {
        static LRESULT Procedure(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
            if (message == kMessage && (lParam & 0xFFFF) == SSH_EVENT_READ) {
                ++*static_cast<int*>(PlatformGetWindowData(hwnd));
            }
            return 0;
        }
    };
    int reads = 0;
    HWND window = PlatformCreateWindow(&Window::Procedure, &reads);
    const peers::TestAccount& account = peers::PasswordAccount();
    SSHOPTIONS options{};
    options.dwSize = sizeof options;
    std::strcpy(options.szCommandLine, "printf 'one\\ntwo\\n'; sleep 20");
    HCLIENT client =
        SshAsyncConnectA("127.0.0.1", Port(), account.user.c_str(), account.password.c_str(), 15,
                         SSH_OPTION_COMMAND, &options, nullptr, window, kMessage);
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    char line[16];
    int length = sizeof line;
    ASSERT_TRUE(SshReadLineA(client, line, &length)) << LastErrorText();
    EXPECT_STREQ(line, "one");
    reads = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (reads == 0 && std::chrono::steady_clock::now() < deadline) {
        PlatformPumpMessages(nullptr);
        PlatformWaitForWork(nullptr, 0, 10, PLATFORM_WAIT_WATCH_QUEUE);
    }
    EXPECT_GT(reads, 0);
    EXPECT_EQ(ReadUntil(client, "two\n").substr(0, 4), "two\n");
    SshDisconnect(client);
    PlatformDestroyWindow(window);
}

}  // namespace
}  // namespace tessan::apitest
