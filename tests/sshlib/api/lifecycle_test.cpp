// Library lifecycle and errors: initialisation counting, the INITDATA records, last-error
// mapping and the W forms' text conversion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/system.h"
#include "sshlib/api/lifecycle.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/transport/socket_table.h"

namespace {

using tessan::InitializationCount;
using tessan::net::SocketTable;
using tessan::net::SocketUserCount;

TEST(Lifecycle, InitialisationIsCountedAndStartsTheSocketSubsystemOnce) {
    ASSERT_EQ(InitializationCount(), 0);
    SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));
    EXPECT_EQ(SshGetLastError(), 0u);
    ASSERT_TRUE(SshInitializeA("ignored", nullptr));
    EXPECT_EQ(InitializationCount(), 2);
    EXPECT_EQ(SocketUserCount(), 2);
    SshUninitialize();
    EXPECT_EQ(InitializationCount(), 1);  // still usable
    EXPECT_EQ(SocketUserCount(), 2);
    SshUninitialize();
    EXPECT_EQ(InitializationCount(), 0);
    EXPECT_EQ(SocketUserCount(), 1);  // one clean-up for the whole library
    SshUninitialize();  // without a matching initialisation: nothing
    EXPECT_EQ(InitializationCount(), 0);
    EXPECT_EQ(SocketUserCount(), 1);
    tessan::net::CleanupSocketSubsystem();
    EXPECT_GE(tessan::HandleBase(), 4096u);
    EXPECT_LE(tessan::HandleBase(), 4351u);
}

TEST(Lifecycle, InitDataIsFilledAndItsSizeChecked) {
    INITDATA data{};
    data.dwSize = sizeof data;
    ASSERT_TRUE(SshInitializeA(nullptr, &data));
    EXPECT_EQ(data.dwVersionMajor, 7u);
    EXPECT_EQ(data.dwVersionMinor, 0u);
    EXPECT_EQ(data.dwVersionBuild, 7000u);
    EXPECT_EQ(data.dwOptions, 0u);
    EXPECT_NE(data.dwReserved2, 0u);
    EXPECT_STREQ(data.szDescription, "Carrack Secure Shell Protocol Library");
    SshUninitialize();

    for (DWORD size : {0u, 155u, 157u, 284u}) {
        INITDATA wrong{};
        wrong.dwSize = size;
        EXPECT_FALSE(SshInitializeA(nullptr, &wrong)) << size;
        EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
        EXPECT_EQ(InitializationCount(), 0);
    }
}

TEST(Lifecycle, WideFormChecksItsOwnSizeAndReturnsAWideDescription) {
    INITDATAW data{};
    data.dwSize = sizeof data;
    ASSERT_TRUE(SshInitializeW(u"reserved", &data));
    EXPECT_EQ(data.dwVersionBuild, 7000u);
    EXPECT_EQ(std::u16string(data.szDescription), u"Carrack Secure Shell Protocol Library");
    SshUninitialize();
    data.dwSize = 156;
    EXPECT_FALSE(SshInitializeW(nullptr, &data));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(SshInitializeW(nullptr, nullptr));
    SshUninitialize();
    EXPECT_EQ(InitializationCount(), 0);
}

TEST(Lifecycle, UnavailableSocketSubsystemFailsWithNothingStarted) {
    ASSERT_TRUE(SshInitializeA(nullptr, nullptr));  // binds the table
    SshUninitialize();
    auto saved = SocketTable().socket;
    SocketTable().socket = nullptr;
    INITDATA data{};
    data.dwSize = sizeof data;
    EXPECT_FALSE(SshInitializeA(nullptr, &data));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NETWORK_NOT_AVAILABLE);
    EXPECT_EQ(data.dwReserved2, 0u);
    EXPECT_EQ(InitializationCount(), 0);
    SocketTable().socket = saved;
}

TEST(LastError, ValuesAreMappedAndKeptPerThread) {
    struct Row {
        DWORD given;
        DWORD stored;
    } rows[] = {{10060, 0x8004274C}, {0, 0},           {1, 0x80040001},
                {65535, 0x8004FFFF}, {65536, 65536},   {0x8004274D, 0x8004274D},
                {0xC0000005, 0xC0000005}};
    for (const Row& row : rows) {
        SshSetLastError(row.given);
        EXPECT_EQ(SshGetLastError(), row.stored) << row.given;
        EXPECT_EQ(PlatformGetLastError(), row.stored);
    }
    SshSetLastError(11001);
    std::thread other([] {
        EXPECT_EQ(SshGetLastError(), 0u);
        SshSetLastError(10061);
    });
    other.join();
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HOSTNAME);
}

TEST(TextConvert, RoundTripsAndReplacesWhatCannotBeConverted) {
    const std::u16string texts[] = {u"", u"plain", u"caf\u00e9 \u20ac", u"\U0001F600 pair", u"\u07ff\u0800\uffff"};
    for (const std::u16string& t : texts) EXPECT_EQ(tessan::Utf8ToWide(tessan::WideToUtf8(t)), t);
    EXPECT_EQ(tessan::WideToUtf8(std::u16string(u"a\xD800" "b")), "a?b");
    EXPECT_EQ(tessan::WideToUtf8(std::u16string(1, u'\xDC00')), "?");
    EXPECT_EQ(tessan::WideToUtf8(static_cast<LPCWSTR>(nullptr)), "");
    EXPECT_EQ(tessan::Utf8ToWide("a\xC0\xAF" "b"), u"a\uFFFD" "b");  // overlong
    EXPECT_EQ(tessan::Utf8ToWide("\x80x"), u"\uFFFDx");                      // stray
    EXPECT_EQ(tessan::Utf8ToWide("\xED\xA0\x80"), u"\uFFFD");               // an encoded surrogate
    EXPECT_EQ(tessan::Utf8ToWide("\xE2\x82"), u"\uFFFD\uFFFD");            // cut short
    char16_t out[4];
    tessan::CopyUtf8ToWide("ab\xF0\x9F\x98\x80", out, 4);  // the pair does not fit: left out
    EXPECT_EQ(std::u16string(out), u"ab");
    tessan::CopyUtf8ToWide("abcdef", out, 4);
    EXPECT_EQ(std::u16string(out), u"abc");
}

}  // namespace
