#include "api_test_support.h"

#include <cstring>

#include "platform/messages.h"

namespace tessan::apitest {

EventWindowGuard::EventWindowGuard() : window_(PlatformCreateWindow(nullptr, nullptr)) {}
EventWindowGuard::~EventWindowGuard() {
    if (PlatformIsWindow(window_)) PlatformDestroyWindow(window_);
}

peers::SshdPeer* SshdSuite::server_ = nullptr;
bool SshdSuite::started_ = false;

void SshdSuite::SetUpTestSuite() {
    server_ = new peers::SshdPeer;
    started_ = server_->Start(peers::QuickSshdOptions());
}

void SshdSuite::TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
}

void SshdSuite::SetUp() {
    TESSAN_REQUIRE_ACCOUNT();
    ASSERT_TRUE(started_) << server_->Error();
    ASSERT_TRUE(library_.Ok());
}

int SshdSuite::Port() {
    return server_->Port();
}

std::string ReadAll(HCLIENT client, int* lastResult) {
    std::string out;
    char buffer[4096];
    int n;
    while ((n = SshRead(client, buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    if (lastResult) *lastResult = n;
    return out;
}

std::string ReadUntil(HCLIENT client, const std::string& marker) {
    std::string out;
    char buffer[4096];
    while (out.find(marker) == std::string::npos) {
        int n = SshRead(client, buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, n);
    }
    return out;
}

std::string LastErrorText() {
    char text[256];
    DWORD error = SshGetLastError();
    SshGetErrorStringA(error, text, sizeof text);
    char code[32];
    std::snprintf(code, sizeof code, " (0x%08X)", static_cast<unsigned>(error));
    char detail[1024];
    const bool hasDetail = SshGetErrorDetailA(detail, sizeof detail) > 0;
    return text + std::string(code) + (hasDetail ? std::string(": ") + detail : std::string());
}

HCLIENT ConnectAccount(int port, const std::string& command, DWORD options, UINT timeout) {
    const peers::TestAccount& account = peers::PasswordAccount();
    SSHOPTIONS record{};
    record.dwSize = sizeof record;
    if (!command.empty()) {
        options |= SSH_OPTION_COMMAND;
        std::strncpy(record.szCommandLine, command.c_str(), sizeof record.szCommandLine - 1);
    }
    return SshConnectA("127.0.0.1", port, account.user.c_str(), account.password.c_str(), timeout,
                       options, &record, nullptr);
}

}  // namespace tessan::apitest
