// Tracing through the shipped trace library, found beside the SSH library: a real session
// against sshd traced with hex dumps (socket calls, packets, the data records, and the password
// nowhere), the count of enables, files that cannot be opened, and the end of tracing with the
// last SshUninitialize.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "api_test_support.h"

namespace tessan::apitest {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The bytes of every hex dump line of a trace ("    00000010  48 65 ...  text").
std::string DumpedBytes(const std::string& trace) {
    std::string bytes;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("    ", 0) != 0) continue;
        std::istringstream fields(line.substr(13, 49));
        for (std::string hex; fields >> hex;)
            bytes += static_cast<char>(std::stoi(hex, nullptr, 16));
    }
    return bytes;
}

class TraceDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tessan-trace-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {}
    fs::path dir_;
};

// Runs first in the process: the socket layer is not bound yet.
TEST(Tracing, NeedsTheLibraryInitialisedAndCountsOnlyWhatWasEnabled) {
    EXPECT_EQ(SshEnableTraceA("/tmp/never-written.trace", 0), 0);
    EXPECT_EQ(SshDisableTrace(), 0);
    EXPECT_FALSE(fs::exists("/tmp/never-written.trace"));
}

TEST_F(TraceDir, EnablesAreCountedAndTheLastUninitializeEndsTracing) {
    Library library;
    ASSERT_TRUE(library.Ok());
    const fs::path file = dir_ / "count.trace";
    EXPECT_EQ(SshEnableTraceA((dir_ / "missing-folder" / "x.trace").c_str(), 0), 0);
    EXPECT_EQ(SshDisableTrace(), 0);  // the failed enable is not counted

    const std::u16string wide = file.u16string();
    ASSERT_NE(SshEnableTraceW(wide.c_str(), 0), 0);
    ASSERT_NE(SshEnableTraceA(file.c_str(), 0), 0);
    EXPECT_NE(SshDisableTrace(), 0);
    // Still traced once: a refused connect shows its socket calls.
    EXPECT_EQ(SshConnectA("127.0.0.1", 1, "u", "p", 5, 0, nullptr, nullptr), INVALID_CLIENT);
    const std::string once = ReadFile(file);
    EXPECT_NE(once.find("socket(2, 1, 6) = "), std::string::npos) << once;
    EXPECT_NE(once.find("connect("), std::string::npos);
    // Refused at once, or in progress (the refusal then comes with the wait).
    EXPECT_TRUE(std::regex_search(once, std::regex(R"(127\.0\.0\.1:1\) = -1 error 100(35|36|61))")))
        << once;
    EXPECT_NE(SshDisableTrace(), 0);
    EXPECT_EQ(SshDisableTrace(), 0);
    EXPECT_EQ(SshConnectA("127.0.0.1", 1, "u", "p", 5, 0, nullptr, nullptr), INVALID_CLIENT);
    const std::string after = ReadFile(file).substr(once.size());
    EXPECT_EQ(after.find("connect("), std::string::npos) << after;
    EXPECT_NE(after.find("trace disabled"), std::string::npos);

    // An enable still counted when the library is uninitialised ends with it.
    ASSERT_NE(SshEnableTraceA(file.c_str(), 0), 0);
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));
    SshUninitialize();
    EXPECT_NE(SshDisableTrace(), 0);  // the library is still initialised once
    ASSERT_NE(SshEnableTraceA(file.c_str(), 0), 0);
    const size_t before = ReadFile(file).size();
    SshUninitialize();
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));  // for the guard's own SshUninitialize
    const std::string ended = ReadFile(file).substr(before);
    EXPECT_NE(ended.find("trace disabled"), std::string::npos) << ended;
    EXPECT_EQ(SshDisableTrace(), 0);
}

TEST_F(TraceDir, ASessionAgainstSshdIsTracedWithoutThePassword) {
    TESSAN_REQUIRE_ACCOUNT();
    peers::SshdPeer server;
    ASSERT_TRUE(server.Start(peers::QuickSshdOptions())) << server.Error();
    Library library;
    ASSERT_TRUE(library.Ok());
    const fs::path file = dir_ / "session.trace";
    ASSERT_NE(SshEnableTraceA(file.c_str(), TRACE_HEXDUMP), 0);

    HCLIENT client = ConnectAccount(server.Port(), "cat");
    ASSERT_NE(client, INVALID_CLIENT) << LastErrorText();
    const std::string sent = "hello, trace\n";
    ASSERT_EQ(SshWrite(client, sent.data(), static_cast<int>(sent.size())),
              static_cast<int>(sent.size()));
    EXPECT_EQ(ReadUntil(client, "trace\n"), sent);
    SshDisconnect(client);
    EXPECT_NE(SshDisableTrace(), 0);

    const std::string trace = ReadFile(file);
    const std::string port = std::to_string(server.Port());
    const std::string expectedLines[] = {
        "trace enabled (flags 0x0004)",
        "connect(",
        "127.0.0.1:" + port,
        "setsockopt(",
        "send(",
        "recv(",
        "select(",
        "closesocket(",
        "SSH-2 packet sent: message 20,",
        "SSH-2 packet received: message 31,",
        "SSH-2 packet sent: message 50,",
        "encrypted 13 bytes of data",
        "decrypted 13 bytes of data",
        "68 65 6C 6C 6F 2C 20 74  72 61 63 65 0A",
        "trace disabled",
    };
    for (const std::string& expected : expectedLines) {
        EXPECT_NE(trace.find(expected), std::string::npos) << expected;
    }
    const std::string& password = peers::PasswordAccount().password;
    ASSERT_FALSE(password.empty());
    EXPECT_EQ(trace.find(password), std::string::npos);
    const std::string dumped = DumpedBytes(trace);
    EXPECT_NE(dumped.find(sent), std::string::npos);  // the dumps are read back correctly
    EXPECT_EQ(dumped.find(password), std::string::npos);
}

}  // namespace
}  // namespace tessan::apitest
