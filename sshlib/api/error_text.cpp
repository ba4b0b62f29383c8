// The library's message table and the error-text calls.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sshlib/api/error_text.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"

namespace tessan {
namespace {

struct Message {
    DWORD number;  // the code less 0x80040000
    const char* text;
};

// Sorted by number.
constexpr Message kMessages[] = {
    {10000, "No error"},
    {10001, "Handle not owned by the current thread"},
    {10004, "The blocking operation has been canceled"},
    {10012, "Out of memory"},
    {10013, "Access to the specified resource has been denied"},
    {10014, "Invalid argument passed to function"},
    {10022, "Invalid memory address passed to function"},
    {10023, "The specified buffer is too small"},
    {10024, "Too many sockets have been opened"},
    {10035, "The specified operation would block the current thread"},
    {10036, "A network operation is currently in progress"},
    {10037, "A network operation is already in progress on this socket"},
    {10038, "Invalid handle passed to function"},
    {10039, "A destination address is required"},
    {10040, "The message is too large to be sent"},
    {10041, "Invalid network protocol specified"},
    {10042, "The specified network protocol is not available"},
    {10043, "The specified network protocol is not supported"},
    {10044, "The specified socket type is not supported"},
    {10045, "The specified operation is not supported"},
    {10046, "The specified protocol family is not supported"},
    {10047, "The specified address family is not supported"},
    {10048, "The specified address is already in use"},
    {10049, "The specified address is not available"},
    {10050, "The network is down"},
    {10051, "The network is unreachable"},
    {10052, "The network connection was reset"},
    {10053, "The connection was aborted"},
    {10054, "The connection was reset by the remote host"},
    {10055, "No buffer space is available"},
    {10056, "The socket is already connected"},
    {10057, "No connection established with remote host"},
    {10058, "The connection has been shut down"},
    {10060, "The specified operation has timed out"},
    {10061, "The connection was refused by the remote host"},
    {10064, "The remote host is down"},
    {10065, "The remote host is unreachable"},
    {10067, "Too many processes are using the networking subsystem"},
    {10091, "The networking subsystem is not available on this system"},
    {10092, "This version of the operating system is not supported"},
    {10093, "The networking subsystem has not been initialized"},
    {10101, "The remote host is closing the connection"},
    {11001, "The specified hostname is invalid or could not be resolved"},
    {11002, "The hostname could not be resolved at this time, try again later"},
    {11003, "A non-recoverable error occurred while resolving the hostname"},
    {11004, "The hostname has no network address"},
    {12101, "The key exchange with the server failed"},
    {12102, "The server host key could not be verified"},
    {12103, "Message authentication failed for data from the server"},
    {12205, "Unexpected response code returned from server"},
    {12210, "Invalid proxy server type specified"},
    {12214, "Invalid command specified"},
    {12222, "The specified username is invalid"},
    {12223, "The specified password is invalid"},
    {12230, "Unable to authenticate the specified user"},
    {12256, "Server closed data connection"},
    {12330, "The specified feature is not supported"},
};

}  // namespace

const char* ErrorText(DWORD code) {
    if ((code & 0xFFFF0000UL) != KX_ERROR_BASE) return nullptr;
    DWORD number = code & 0xFFFF;
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), number,
                               [](const Message& m, DWORD n) { return m.number < n; });
    return it != std::end(kMessages) && it->number == number ? it->text : nullptr;
}

}  // namespace tessan

extern "C" {

TESSAN_API INT SSHAPI SshGetErrorStringA(DWORD dwError, LPSTR lpszError, INT nMaxLength) {
    if (!lpszError) {
        nMaxLength = 512;  // measuring: as if a buffer of the largest text size were given
    } else if (nMaxLength > 0) {
        lpszError[0] = 0;
    }
    if (dwError == 0) dwError = SshGetLastError();
    if (dwError == 0) return 0;
    const char* text = tessan::ErrorText(dwError);
    if (!text) return 0;
    size_t length = std::strlen(text);
    if (nMaxLength <= 0 || length + 1 > static_cast<size_t>(nMaxLength)) return 0;
    if (lpszError) std::memcpy(lpszError, text, length + 1);
    return static_cast<INT>(length);
}

TESSAN_API INT SSHAPI SshGetErrorStringW(DWORD dwError, LPWSTR lpszError, INT nMaxLength) {
    if (!lpszError) return SshGetErrorStringA(dwError, nullptr, nMaxLength);
    if (nMaxLength <= 0) return 0;
    std::vector<char> narrow(static_cast<size_t>(nMaxLength));
    INT result = SshGetErrorStringA(dwError, narrow.data(), nMaxLength);
    tessan::CopyUtf8ToWide(std::string_view(narrow.data(), std::strlen(narrow.data())), lpszError,
                           static_cast<size_t>(nMaxLength));
    return result;
}

}  // extern "C"

extern "C" {

TESSAN_API INT SSHAPI SshGetErrorDetailA(LPSTR lpszDetail, INT nMaxLength) {
    if (lpszDetail && nMaxLength > 0) lpszDetail[0] = 0;
    const std::string& detail = tessan::LastErrorDetail();
    if (detail.empty()) return 0;
    if (!lpszDetail) return static_cast<INT>(detail.size());
    if (nMaxLength <= 0 || detail.size() + 1 > static_cast<size_t>(nMaxLength)) return 0;
    std::memcpy(lpszDetail, detail.c_str(), detail.size() + 1);
    return static_cast<INT>(detail.size());
}

TESSAN_API INT SSHAPI SshGetErrorDetailW(LPWSTR lpszDetail, INT nMaxLength) {
    if (lpszDetail && nMaxLength > 0) lpszDetail[0] = 0;
    const std::u16string wide = tessan::Utf8ToWide(tessan::LastErrorDetail());
    if (wide.empty()) return 0;
    if (!lpszDetail) return static_cast<INT>(wide.size());
    if (nMaxLength <= 0 || wide.size() + 1 > static_cast<size_t>(nMaxLength)) return 0;
    std::memcpy(lpszDetail, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
    return static_cast<INT>(wide.size());
}

}  // extern "C"
