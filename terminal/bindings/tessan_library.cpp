#include "terminal/bindings/tessan_library.h"

#include <climits>
#include <string>

#include "sshlib/api/tessan.h"
#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

// The reserved argument of SshInitializeA; the library does not interpret it.
constexpr char kReserved[] = "";

static_assert(sizeof(SSHOPTIONS) == 952, "the options record has the size the library expects");

int ClampedSize(std::size_t size) {
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

TessanLibrary::~TessanLibrary() {
    Uninitialize();
}

bool TessanLibrary::Initialize() {
    if (SshInitializeA(kReserved, nullptr) == 0) return false;
    initialised_ = true;
    return true;
}

void TessanLibrary::Uninitialize() {
    if (!initialised_) return;
    initialised_ = false;
    SshUninitialize();
}

bool TessanLibrary::CreateCredentials(unsigned protocol, SshCredentials& credentials) {
    LPSECURITYCREDENTIALS created = nullptr;
    if (SshCreateSecurityCredentialsA(protocol, 0, "", "", nullptr, &created) == 0) return false;
    credentials = created;
    return true;
}

void TessanLibrary::DeleteCredentials(SshCredentials& credentials) {
    auto record = static_cast<LPSECURITYCREDENTIALS>(credentials);
    if (record != nullptr) SshDeleteSecurityCredentialsA(&record);
    credentials = nullptr;
}

int TessanLibrary::AsyncConnect(const SshConnectRequest& request) {
    // Copies with terminating zeros, made before the wait: the record the views point into may
    // be edited by a dialog opened while the connect waits.
    const std::string host(request.host);
    const std::string user(request.user);
    std::string password(request.password);
    const std::string expectedHostKey(request.expectedHostKey);
    auto* credentials = static_cast<LPSECURITYCREDENTIALS>(request.credentials);
    if (credentials != nullptr)
        credentials->lpszHostKey = expectedHostKey.empty() ? nullptr : expectedHostKey.c_str();
    SSHOPTIONS options{};
    options.dwSize = sizeof options;
    const HCLIENT handle = SshAsyncConnectA(
        host.c_str(), request.port, user.c_str(), password.c_str(), request.timeout,
        request.options, &options, credentials, static_cast<HWND>(request.window), request.message);
    WipeSecret(password);
    // The record outlives the copy the field points into.
    if (credentials != nullptr) credentials->lpszHostKey = nullptr;
    return handle;
}

void TessanLibrary::AbortConnect() {
    if (!initialised_) return;
    SshUninitialize();
    initialised_ = SshInitializeA(kReserved, nullptr) != 0;
}

int TessanLibrary::Read(int handle, std::span<char> buffer) {
    return SshRead(handle, buffer.data(), ClampedSize(buffer.size()));
}

int TessanLibrary::Write(int handle, std::string_view data) {
    return SshWrite(handle, data.data(), ClampedSize(data.size()));
}

int TessanLibrary::Disconnect(int handle) {
    return SshDisconnect(handle);
}

bool TessanLibrary::Backlogged(int handle) {
    SshSetLastError(0);
    if (SshIsWritable(handle, 0)) return false;
    return SshGetLastError() == 0;
}

std::string TessanLibrary::Fingerprint(int handle) {
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    if (SshGetSecurityInformationA(handle, &info) == 0 || info.lpszFingerprint == nullptr)
        return {};
    return info.lpszFingerprint;
}

std::string TessanLibrary::FingerprintSha256(int handle) {
    SECURITYINFO info{};
    info.dwSize = sizeof info;
    if (SshGetSecurityInformationA(handle, &info) == 0 || info.dwSize < sizeof info ||
        info.lpszFingerprintSha256 == nullptr)
        return {};
    return info.lpszFingerprintSha256;
}

std::string TessanLibrary::LastErrorDetail() {
    const int length = SshGetErrorDetailA(nullptr, 0);
    if (length <= 0) return {};
    std::string detail(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = SshGetErrorDetailA(detail.data(), ClampedSize(detail.size()));
    detail.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return detail;
}

int TessanLibrary::LastError() {
    return static_cast<int>(SshGetLastError());
}

int TessanLibrary::ErrorString(int code, std::span<char> buffer) {
    auto error = static_cast<DWORD>(code);
    if (error != 0 && error <= 0xFFFF) error = KX_ERROR_FROM_SOCKET(error);
    return SshGetErrorStringA(error, buffer.data(), ClampedSize(buffer.size()));
}

}  // namespace ostrel
