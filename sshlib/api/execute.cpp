// SshExecuteA/W: connect, run one command, collect its whole output, disconnect.
#include <cstring>
#include <string>

#include "crypto/secure_memory.h"
#include "sshlib/api/client.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/global_buffer.h"
#include "sshlib/api/text_convert.h"

namespace tessan {
namespace {

constexpr size_t kReadPiece = 8192;

// Reads the session's data until its end. False when a read fails with another error than the
// end of the connection (the error stays set).
bool CollectOutput(HCLIENT client, GlobalBuffer& output) {
    char piece[kReadPiece];
    for (;;) {
        const INT count = SshRead(client, piece, sizeof piece);
        if (count == 0) return true;
        if (count < 0) return SshGetLastError() == KX_ERROR_CONNECTION_CLOSED;
        if (!output.Append(piece, static_cast<size_t>(count))) return false;
    }
}

bool Empty(const char* text) {
    return !text || !*text;
}

INT Fail(DWORD error) {
    SshSetLastError(ApiError(error));
    return SSH_ERROR;
}

}  // namespace
}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API INT SSHAPI SshExecuteA(LPCSTR lpszHostName, INT nRemotePort, LPCSTR lpszUserName,
                                  LPCSTR lpszPassword, LPCSTR lpszCommandLine, UINT nTimeout,
                                  DWORD dwOptions, LPVOID lpvBuffer, LPDWORD lpdwLength,
                                  LPSECURITYCREDENTIALS lpCredentials) {
    if (Empty(lpszHostName)) return Fail(KX_ERROR_INVALID_HOSTNAME);
    if (Empty(lpszUserName)) return Fail(KX_ERROR_INVALID_USERNAME);
    if (Empty(lpszPassword)) return Fail(KX_ERROR_INVALID_PASSWORD);
    SSHOPTIONS options{};
    options.dwSize = sizeof options;
    const size_t commandLength =
        lpszCommandLine ? strnlen(lpszCommandLine, sizeof options.szCommandLine) : 0;
    if (commandLength == 0 || commandLength >= sizeof options.szCommandLine) {
        return Fail(KX_ERROR_INVALID_COMMAND);
    }
    if (!lpvBuffer) return Fail(KX_ERROR_INVALID_BUFFER);
    if (!lpdwLength) return Fail(KX_ERROR_INVALID_PARAMETER);
    std::memcpy(options.szCommandLine, lpszCommandLine, commandLength);

    const DWORD connectOptions = (dwOptions & ~DWORD{SSH_OPTION_TERMINAL}) | SSH_OPTION_COMMAND;
    const HCLIENT client =
        SshAsyncConnectA(lpszHostName, nRemotePort, lpszUserName, lpszPassword, nTimeout,
                         connectOptions, &options, lpCredentials, nullptr, 0);
    if (client == INVALID_CLIENT) return SSH_ERROR;

    GlobalBuffer output;
    if (!CollectOutput(client, output) || !output.ConvertLineEnds()) {
        SshDisconnect(client);  // keeps the error
        return SSH_ERROR;
    }
    const INT exitCode = SshGetExitCode(client);
    SshDisconnect(client);

    if (output.Size() > 0) {
        if (*lpdwLength != 0) {
            *lpdwLength = static_cast<DWORD>(output.CopyTo(lpvBuffer, *lpdwLength));
        } else {
            const size_t size = output.Size();
            HGLOBAL block = output.Release();
            if (!block) return SSH_ERROR;
            *static_cast<HGLOBAL*>(lpvBuffer) = block;
            *lpdwLength = static_cast<DWORD>(size);
        }
    }
    SshSetLastError(0);
    return exitCode;
}

TESSAN_API INT SSHAPI SshExecuteW(LPCWSTR lpszHostName, INT nRemotePort, LPCWSTR lpszUserName,
                                  LPCWSTR lpszPassword, LPCWSTR lpszCommandLine, UINT nTimeout,
                                  DWORD dwOptions, LPVOID lpvBuffer, LPDWORD lpdwLength,
                                  LPSECURITYCREDENTIALS lpCredentials) {
    const std::string host = WideToUtf8(lpszHostName);
    const std::string user = WideToUtf8(lpszUserName);
    std::string password = WideToUtf8(lpszPassword);
    ScopedWipe wipePassword(password);
    const std::string command = WideToUtf8(lpszCommandLine);
    const INT result = SshExecuteA(host.c_str(), nRemotePort, user.c_str(), password.c_str(),
                                   lpszCommandLine ? command.c_str() : nullptr, nTimeout, dwOptions,
                                   lpvBuffer, lpdwLength, lpCredentials);
    return result;
}

}  // extern "C"
