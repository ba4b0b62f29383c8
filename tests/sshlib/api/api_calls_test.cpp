// The client calls' argument checks, in the order the connect call makes them, and the calls
// that need no server: credentials, invalid handles, the W forms' record sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api_test_support.h"
#include "platform/messages.h"

namespace tessan::apitest {
namespace {

struct ConnectRow {
    const char* name;
    const char* host;
    const char* user;
    const char* password;
    DWORD options;
    int optionsSize;  // 0: no record
    const char* command;
    DWORD proxyType;
    int credentialsProtocol;  // -1: none
    const char* credentialsUser;
    bool badWindow;
    UINT message;
    DWORD error;
};

TEST(ConnectArguments, AreCheckedInOrderBeforeAnyNetworkActivity) {
    Library library;
    const std::string longHost(256, 'h');
    const std::string longName(64, 'u');
    const std::string maxName(63, 'u');
    const std::string longCommand(511, 'c');
    const ConnectRow rows[] = {
        // The host comes first, whatever else is wrong.
        {"null host", nullptr, nullptr, nullptr, 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_HOSTNAME},
        {"empty host", "", "u", "p", 0, 0, "", 0, -1, nullptr, false, 0, KX_ERROR_INVALID_HOSTNAME},
        {"host of 256", longHost.c_str(), "u", "p", 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_HOSTNAME},
        {"null user", "h", nullptr, nullptr, 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_USERNAME},
        {"user of 64", "h", longName.c_str(), "p", 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_USERNAME},
        {"empty password", "h", maxName.c_str(), "", 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_PASSWORD},
        {"password of 64", "h", "u", longName.c_str(), 0, 0, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_PASSWORD},
        // Credentials naming a user ask for public-key login, which is not provided.
        {"credentials user", "h", "u", "p", 0, 951, "", 0, 48, "someone", false, 0,
         KX_ERROR_FEATURE_NOT_SUPPORTED},
        {"options size", "h", "u", "p", 0, 951, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_PARAMETER},
        {"not a window", "h", "u", "p", 0, 0, "", 0, -1, nullptr, true, WM_USER,
         KX_ERROR_INVALID_PARAMETER},
        {"message below WM_USER", "h", "u", "p", 0, 0, "", 0, -1, nullptr, false, WM_USER - 1,
         KX_ERROR_INVALID_PARAMETER},
        // After the handle exists: protocol, proxy type, command.
        {"protocol", "h", "u", "p", 0, 0, "", 0, 33, nullptr, false, 0, KX_ERROR_INVALID_PROTOCOL},
        {"proxy type", "h", "u", "p", SSH_OPTION_PROXYSERVER, 952, "", 3, -1, nullptr, false, 0,
         KX_ERROR_INVALID_PROXY_TYPE},
        {"empty command", "h", "u", "p", SSH_OPTION_COMMAND, 952, "", 0, -1, nullptr, false, 0,
         KX_ERROR_INVALID_COMMAND},
        // A host that cannot be resolved fails in the lookup.
        {"unknown host", "no-such-host.invalid", "u", "p", SSH_OPTION_COMMAND, 952,
         longCommand.c_str(), 0, -1, nullptr, false, 0, KX_ERROR_INVALID_HOSTNAME},
    };
    EventWindowGuard window;
    for (const ConnectRow& row : rows) {
        SSHOPTIONS record{};
        record.dwSize = static_cast<DWORD>(row.optionsSize);
        record.dwProxyType = row.proxyType;
        std::strcpy(record.szCommandLine, row.command);
        LPSECURITYCREDENTIALS credentials = nullptr;
        if (row.credentialsProtocol >= 0) {
            ASSERT_TRUE(SshCreateSecurityCredentialsA(static_cast<DWORD>(row.credentialsProtocol),
                                                      0, row.credentialsUser, nullptr, nullptr,
                                                      &credentials));
        }
        HWND hwnd = row.badWindow ? reinterpret_cast<HWND>(0x7777) : nullptr;
        if (row.message) hwnd = row.badWindow ? hwnd : window.Get();
        HCLIENT client =
            SshAsyncConnectA(row.host, 0, row.user, row.password, 5, row.options,
                             row.optionsSize ? &record : nullptr, credentials, hwnd, row.message);
        EXPECT_EQ(client, INVALID_CLIENT) << row.name;
        EXPECT_EQ(SshGetLastError(), row.error) << row.name << ": " << LastErrorText();
        SshDeleteSecurityCredentialsA(&credentials);
    }
}

TEST(ConnectArguments, WideFormsConvertAndCheckTheWideRecordSize) {
    Library library;
    SSHOPTIONSW record{};
    record.dwSize = 952;  // the A size is wrong for the W form
    EXPECT_EQ(SshConnectW(u"h", 22, u"u", u"p", 5, 0, &record, nullptr), INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(sizeof record, 1880u);
    record.dwSize = sizeof record;
    const std::u16string longUser(64, u'\u00e9');
    EXPECT_EQ(SshConnectW(u"h", 22, longUser.c_str(), u"p", 5, 0, &record, nullptr),
              INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_USERNAME);
    EXPECT_EQ(SshConnectW(nullptr, 22, u"u", u"p", 5, 0, nullptr, nullptr), INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HOSTNAME);
    record.dwSize = sizeof record;
    EXPECT_EQ(SshConnectW(u"h", 22, u"u", u"p", 5, SSH_OPTION_COMMAND, &record, nullptr),
              INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_COMMAND);
}

TEST(ConnectArguments, NoHandleBeforeTheLibraryIsInitialised) {
    EXPECT_EQ(SshConnectA("h", 22, "u", "p", 5, 0, nullptr, nullptr), INVALID_CLIENT);
    EXPECT_EQ(SshGetLastError(), KX_ERROR_NETWORK_NOT_INITIALIZED);
}

TEST(HandleCalls, InvalidHandlesFailEveryCall) {
    Library library;
    char buffer[8];
    DWORD available = 0;
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    for (HCLIENT handle : {0, -1, 4095, 5000, 0x7FFFFFFF}) {
        const struct {
            const char* call;
            long long result;
            long long failure;
        } rows[] = {
            {"SshRead", SshRead(handle, buffer, 8), SSH_ERROR},
            {"SshPeek", SshPeek(handle, buffer, 8), SSH_ERROR},
            {"SshWrite", SshWrite(handle, buffer, 8), SSH_ERROR},
            {"SshDisconnect", SshDisconnect(handle), SSH_ERROR},
            {"SshGetStatus", SshGetStatus(handle), SSH_ERROR},
            {"SshGetTimeout", SshGetTimeout(handle), SSH_ERROR},
            {"SshSetTimeout", SshSetTimeout(handle, 5), SSH_ERROR},
            {"SshCancel", SshCancel(handle), SSH_ERROR},
            {"SshControl", SshControl(handle, 1, nullptr, 0), SSH_ERROR},
            {"SshGetExitCode", SshGetExitCode(handle), SSH_ERROR},
            {"SshAttachThread", SshAttachThread(handle, 0), DWORD(SSH_ERROR)},
            {"SshIsConnected", SshIsConnected(handle), FALSE},
            {"SshIsBlocking", SshIsBlocking(handle), FALSE},
            {"SshIsReadable", SshIsReadable(handle, 0, &available), FALSE},
            {"SshIsWritable", SshIsWritable(handle, 0), FALSE},
            {"SshGetSecurityInformationA", SshGetSecurityInformationA(handle, &info), FALSE},
            {"SshEnableEvents", SshEnableEvents(handle, nullptr, WM_USER), SSH_ERROR},
            {"SshDisableEvents", SshDisableEvents(handle), SSH_ERROR},
            {"SshFreezeEvents", SshFreezeEvents(handle, TRUE), SSH_ERROR},
            {"SshRegisterEvent", SshRegisterEvent(handle, 1, nullptr, 0), SSH_ERROR},
        };
        for (const auto& row : rows) {
            EXPECT_EQ(row.result, row.failure) << row.call << " " << handle;
        }
        EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_HANDLE);
    }
}

TEST(Credentials, CopiesTheStringsAndReplacesAnEarlierRecord) {
    EXPECT_FALSE(SshCreateSecurityCredentialsA(48, 0, "u", "p", nullptr, nullptr));
    EXPECT_EQ(SshGetLastError(), KX_ERROR_INVALID_PARAMETER);
    LPSECURITYCREDENTIALS credentials = nullptr;
    std::string user = "user", password = "password";
    ASSERT_TRUE(SshCreateSecurityCredentialsA(48, 7, user.c_str(), password.c_str(), nullptr,
                                              &credentials));
    user[0] = password[0] = 'X';
    EXPECT_EQ(credentials->dwSize, sizeof(SECURITYCREDENTIALS));
    EXPECT_EQ(credentials->dwProtocol, 48u);
    EXPECT_EQ(credentials->dwOptions, 7u);
    EXPECT_STREQ(credentials->lpszUserName, "user");
    EXPECT_STREQ(credentials->lpszPassword, "password");
    // A second call frees the record already there (the sanitizer build sees any leak).
    ASSERT_TRUE(SshCreateSecurityCredentialsW(16, 0, nullptr, u"p\u00e4ss", nullptr, &credentials));
    EXPECT_EQ(credentials->lpszUserName, nullptr);
    EXPECT_STREQ(credentials->lpszPassword, "p\xc3\xa4ss");
    SshDeleteSecurityCredentialsW(&credentials);
    EXPECT_EQ(credentials, nullptr);
    SshDeleteSecurityCredentialsA(&credentials);  // nothing left: nothing happens
    SshDeleteSecurityCredentialsA(nullptr);
}

}  // namespace
}  // namespace tessan::apitest
