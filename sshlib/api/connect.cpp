// SshAsyncConnectA/W and SshConnectA/W: argument checks in their order, the connection
// settings, opening the connection and waiting until the session runs.
#include <chrono>
#include <cstring>

#include "crypto/secure_memory.h"
#include "platform/messages.h"
#include "platform/system.h"
#include "sshlib/api/client.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/error_text.h"
#include "sshlib/api/events.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/transport/host_lookup.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan {
namespace {

constexpr size_t kMaxHostLength = 255;
constexpr size_t kMaxUserLength = 63;
constexpr size_t kMaxPasswordLength = 63;
constexpr size_t kMaxHostKeyLength = 255;
constexpr int kMaxTerminalSize = 512;
constexpr DWORD kOptionsSize = 952;
constexpr DWORD kWideOptionsSize = 1880;

size_t BoundedLength(const char* text, size_t capacity) {
    return text ? strnlen(text, capacity) : 0;
}

// Text of a fixed-size field (it need not be terminated).
std::string Field(const char* text, size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

transport::QuirkSetting Forced(DWORD options, DWORD bit, transport::QuirkSetting otherwise) {
    return (options & bit) ? transport::QuirkSetting::kAlwaysOn : otherwise;
}

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ": the server presented <MD5 form> <SHA-256 form>" for the detail of a host key mismatch.
std::string PresentedKey(const connection::SshConnection& ssh) {
    const connection::Ssh1Session* ssh1 = ssh.Ssh1();
    std::string text = ": the server presented ";
    text += ssh1 ? ssh1->Fingerprint() : ssh.Transport().Fingerprint();
    if (!ssh1) text += " " + ssh.Transport().FingerprintSha256();
    return text;
}

// The host key the credentials expect, or "" (none, or a record too short to hold the field).
std::string ExpectedHostKey(const SECURITYCREDENTIALS* credentials) {
    constexpr size_t kFieldEnd =
        offsetof(SECURITYCREDENTIALS, lpszHostKey) + sizeof(credentials->lpszHostKey);
    if (!credentials || credentials->dwSize < kFieldEnd || !credentials->lpszHostKey) return {};
    return std::string(credentials->lpszHostKey,
                       strnlen(credentials->lpszHostKey, kMaxHostKeyLength));
}

// Fails a connect in progress: the handle goes, the error stays.
HCLIENT Fail(const ClientPtr& client, DWORD error) {
    DestroyClient(client);
    SshSetLastError(ApiError(error));
    return INVALID_CLIENT;
}

// Steps 8 to 17 of the connect call, after the argument checks.
HCLIENT ConnectChecked(const char* host, int port, const char* user, const char* password,
                       UINT timeoutSeconds, DWORD options, const SSHOPTIONS* record,
                       const SECURITYCREDENTIALS* credentials, HWND eventWindow,
                       UINT eventMessage) {
    ClientPtr client = CreateClient();
    if (!client) return INVALID_CLIENT;
    ClientCall call(client);  // the connect is the handle's first call
    if (!call) return INVALID_CLIENT;
    client->options = options;
    client->timeout = timeoutSeconds == 0
                          ? kDefaultTimeoutSeconds
                          : static_cast<int>(std::min<UINT>(timeoutSeconds, kMaxTimeoutSeconds));
    client->status = SSH_STATUS_CONNECT;

    transport::TransportSettings transportSettings;
    transport::QuirkSettings& quirks = transportSettings.quirks;
    quirks.ssh1ChokesOnRsa = Forced(options, SSH_OPTION_NOAUTHRSA, quirks.ssh1ChokesOnRsa);
    quirks.ssh1PlainPassword = Forced(options, SSH_OPTION_NOPWDNUL, quirks.ssh1PlainPassword);
    quirks.noRekey = Forced(options, SSH_OPTION_NOREKEY, quirks.noRekey);
    quirks.publicKeySidLength = Forced(options, SSH_OPTION_COMPATSID, quirks.publicKeySidLength);
    quirks.hmacKeys16 = Forced(options, SSH_OPTION_COMPATHMAC, quirks.hmacKeys16);
    transportSettings.kex.modernFirst = (options & SSH_OPTION_PREFERMODERN) != 0;
    transportSettings.kex.expectedHostKey = ExpectedHostKey(credentials);

    connection::SessionSettings session;
    net::ProxySettings proxy;
    // The copies of the passwords are wiped on every way out, whether the connect fails here,
    // fails later or hands the session its own copy (the moved-from string is wiped then).
    ScopedWipe wipePassword(session.password);
    ScopedWipe wipeProxyPassword(proxy.password);
    session.user.assign(user, BoundedLength(user, kMaxUserLength));
    session.password.assign(password, BoundedLength(password, kMaxPasswordLength));
    session.noPty = (options & SSH_OPTION_NOPTY) != 0;
    session.noShell = (options & SSH_OPTION_NOSHELL) != 0;

    if (credentials) {
        switch (credentials->dwProtocol) {
            case SECURITY_PROTOCOL_DEFAULT:
            case 10:
            case SECURITY_PROTOCOL_SSH:
                transportSettings.protocolPreference = transport::kPreferProtocol2;
                break;
            case SECURITY_PROTOCOL_SSH1:
                transportSettings.protocolPreference = transport::kPreferProtocol1Only;
                break;
            case SECURITY_PROTOCOL_SSH2:
                transportSettings.protocolPreference = transport::kPreferProtocol2Only;
                break;
            default:
                return Fail(client, KX_ERROR_INVALID_PROTOCOL);
        }
    }

    if (record) {
        if (options & SSH_OPTION_PROXYSERVER) {
            if (record->dwProxyType > SSH_PROXY_TELNET) {
                return Fail(client, KX_ERROR_INVALID_PROXY_TYPE);
            }
            proxy.type = static_cast<int>(record->dwProxyType);
            proxy.port = static_cast<int>(record->dwProxyPort);
            proxy.host = Field(record->szProxyHost, sizeof record->szProxyHost);
            proxy.user = Field(record->szProxyUser, sizeof record->szProxyUser);
            proxy.password = Field(record->szProxyPassword, sizeof record->szProxyPassword);
        }
        if (options & SSH_OPTION_TERMINAL) {
            if (record->nTermCols > 0)
                session.columns =
                    static_cast<uint32_t>(std::min(record->nTermCols, kMaxTerminalSize));
            if (record->nTermRows > 0)
                session.rows = static_cast<uint32_t>(std::min(record->nTermRows, kMaxTerminalSize));
            std::string type = Field(record->szTermType, sizeof record->szTermType);
            if (!type.empty()) session.terminalType = type;
        }
        if (options & SSH_OPTION_COMMAND) {
            size_t length = strnlen(record->szCommandLine, sizeof record->szCommandLine);
            if (length == 0 || length >= sizeof record->szCommandLine) {
                return Fail(client, KX_ERROR_INVALID_COMMAND);
            }
            session.command.assign(record->szCommandLine, length);
            session.noPty = true;
        }
    }

    // Name lookup, socket, proxy: bounded by the same time-out as the whole connect.
    const int64_t deadline = NowMs() + int64_t{client->timeout} * 1000;
    net::ConnectRequest request;
    request.host.assign(host, BoundedLength(host, kMaxHostLength));
    request.port = port;
    request.proxy = &proxy;
    request.timeoutMs = client->timeout * 1000;
    net::Connection connection;
    DWORD error = 0;
    int opened = net::OpenConnection(request, connection, &error);
    SecureWipe(proxy.password);
    if (client->destroyed) {
        // Torn down (SshUninitialize) by a window procedure while the connect waited.
        if (opened == 0) net::CloseSocket(connection.socket);
        SshSetLastError(KX_ERROR_OPERATION_CANCELED);
        return INVALID_CLIENT;
    }
    if (opened != 0) return Fail(client, error ? error : kErrConnectionClosed);
    AttachSession(*client, transportSettings, std::move(session), connection.socket);
    client->status = SSH_STATUS_AUTHENTICATE;

    const int remaining = static_cast<int>(std::max<int64_t>(deadline - NowMs(), 0));
    connection::SshConnection& ssh = *client->session;
    error = RunBlocking(
        *client, [&ssh] { return ssh.Started(); }, remaining);
    if (client->destroyed) {
        SshSetLastError(KX_ERROR_OPERATION_CANCELED);
        return INVALID_CLIENT;
    }
    // A command that ended in the burst that started it still counts: its output is buffered.
    if (!ssh.Started()) {
        if (error == 0 || error == kErrConnectionClosed) {
            DWORD failure = ssh.Transport().Failure().error;
            error = failure ? failure : kErrConnectionClosed;
        }
        // What the key exchange found wrong, or what the server said when it ended the
        // connection, is the error's detail: the code alone does not tell it. A time-out ends
        // the connection without a disconnect message.
        const transport::TransportFailure& failure = ssh.Transport().Failure();
        const bool told = failure.byPeer || failure.error == kErrKeyExchangeFailed ||
                          failure.error == kErrHostKeyNotVerified ||
                          failure.error == kErrHostKeyMismatch;
        std::string detail = told ? failure.text : std::string();
        if (failure.error == kErrHostKeyMismatch) detail += PresentedKey(ssh);
        Fail(client, error);
        SetLastErrorDetail(detail);
        return INVALID_CLIENT;
    }

    if (eventWindow) {
        if (SshEnableEventsEx(client->handle, eventWindow, eventMessage, static_cast<UINT>(-1)) !=
            0) {
            return Fail(client, SshGetLastError());
        }
    }
    client->status = SSH_STATUS_IDLE;
    SshSetLastError(0);
    if (eventWindow) {
        DispatchEvent(client, SSH_EVENT_CONNECT, 0);
        if (client->destroyed) return INVALID_CLIENT;
        // Data (or the end) that arrived with the session's start come with no notification of
        // their own: announce them through the window.
        if (client->Buffered() > 0 || !client->Alive()) AnnounceBufferedData(*client);
    }
    return client->handle;
}

}  // namespace
}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API HCLIENT SSHAPI SshAsyncConnectA(LPCSTR lpszHostName, INT nRemotePort,
                                           LPCSTR lpszUserName, LPCSTR lpszPassword, UINT nTimeout,
                                           DWORD dwOptions, LPSSHOPTIONS lpOptions,
                                           LPSECURITYCREDENTIALS lpCredentials, HWND hEventWnd,
                                           UINT uEventMsg) {
    auto fail = [](DWORD error) {
        SshSetLastError(error);
        return INVALID_CLIENT;
    };
    if (!lpszHostName || !*lpszHostName ||
        BoundedLength(lpszHostName, kMaxHostLength + 1) > kMaxHostLength) {
        return fail(KX_ERROR_INVALID_HOSTNAME);
    }
    if ((dwOptions & SSH_OPTION_IPV6) && !net::IsIpv6Available()) {
        return fail(KX_ERROR_PROTOCOL_NOT_AVAILABLE);
    }
    if (!lpszUserName || !*lpszUserName ||
        BoundedLength(lpszUserName, kMaxUserLength + 1) > kMaxUserLength) {
        return fail(KX_ERROR_INVALID_USERNAME);
    }
    if (!lpszPassword || !*lpszPassword ||
        BoundedLength(lpszPassword, kMaxPasswordLength + 1) > kMaxPasswordLength) {
        return fail(KX_ERROR_INVALID_PASSWORD);
    }
    if (nRemotePort == 0) nRemotePort = SSH_PORT_DEFAULT;
    if (lpCredentials && lpCredentials->lpszUserName && *lpCredentials->lpszUserName) {
        return fail(KX_ERROR_FEATURE_NOT_SUPPORTED);
    }
    if ((lpOptions && lpOptions->dwSize != kOptionsSize) ||
        (hEventWnd && (!PlatformIsWindow(hEventWnd) || uEventMsg < WM_USER))) {
        return fail(KX_ERROR_INVALID_PARAMETER);
    }
    if (nRemotePort < 0 || nRemotePort > 65535) return fail(KX_ERROR_INVALID_PARAMETER);
    return ConnectChecked(lpszHostName, nRemotePort, lpszUserName, lpszPassword, nTimeout,
                          dwOptions, lpOptions, lpCredentials, hEventWnd, uEventMsg);
}

TESSAN_API HCLIENT SSHAPI SshConnectA(LPCSTR lpszHostName, INT nRemotePort, LPCSTR lpszUserName,
                                      LPCSTR lpszPassword, UINT nTimeout, DWORD dwOptions,
                                      LPSSHOPTIONS lpOptions, LPSECURITYCREDENTIALS lpCredentials) {
    return SshAsyncConnectA(lpszHostName, nRemotePort, lpszUserName, lpszPassword, nTimeout,
                            dwOptions, lpOptions, lpCredentials, nullptr, 0);
}

TESSAN_API HCLIENT SSHAPI SshAsyncConnectW(LPCWSTR lpszHostName, INT nRemotePort,
                                           LPCWSTR lpszUserName, LPCWSTR lpszPassword,
                                           UINT nTimeout, DWORD dwOptions, LPSSHOPTIONSW lpOptions,
                                           LPSECURITYCREDENTIALS lpCredentials, HWND hEventWnd,
                                           UINT uEventMsg) {
    if (lpOptions && lpOptions->dwSize != kWideOptionsSize) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return INVALID_CLIENT;
    }
    auto wide = [](LPCWSTR text, size_t capacity) {
        std::u16string_view view;
        if (text) {
            size_t n = 0;
            while (n < capacity && text[n])
                ++n;
            view = std::u16string_view(text, n);
        }
        return WideToUtf8(view);
    };
    // Lengths are checked by the A form on the converted text; an over-long argument is cut
    // one character past its limit so that the check still sees it.
    std::string host = wide(lpszHostName, kMaxHostLength + 1);
    std::string user = wide(lpszUserName, kMaxUserLength + 1);
    std::string password = wide(lpszPassword, kMaxPasswordLength + 1);
    ScopedWipe wipePassword(password);
    SSHOPTIONS narrow{};
    if (lpOptions) {
        narrow.dwSize = kOptionsSize;
        narrow.dwReserved = lpOptions->dwReserved;
        narrow.dwProxyType = lpOptions->dwProxyType;
        narrow.dwProxyPort = lpOptions->dwProxyPort;
        narrow.nTermCols = lpOptions->nTermCols;
        narrow.nTermRows = lpOptions->nTermRows;
        auto copy = [&wide](const WCHAR* from, size_t count, char* to, size_t capacity) {
            std::string text = wide(from, count);
            // A command that does not fit stays over-long so the A form refuses it.
            std::memcpy(to, text.data(), std::min(text.size(), capacity));
        };
        copy(lpOptions->szProxyHost, SSH_MAXPROXYHOSTLEN, narrow.szProxyHost,
             SSH_MAXPROXYHOSTLEN - 1);
        copy(lpOptions->szProxyUser, SSH_MAXPROXYUSERLEN, narrow.szProxyUser,
             SSH_MAXPROXYUSERLEN - 1);
        copy(lpOptions->szProxyPassword, SSH_MAXPROXYPASSLEN, narrow.szProxyPassword,
             SSH_MAXPROXYPASSLEN - 1);
        copy(lpOptions->szTermType, SSH_MAXTERMTYPELEN, narrow.szTermType, SSH_MAXTERMTYPELEN - 1);
        copy(lpOptions->szCommandLine, SSH_MAXCOMMANDLEN, narrow.szCommandLine, SSH_MAXCOMMANDLEN);
    }
    HCLIENT result = SshAsyncConnectA(
        lpszHostName ? host.c_str() : nullptr, nRemotePort, lpszUserName ? user.c_str() : nullptr,
        lpszPassword ? password.c_str() : nullptr, nTimeout, dwOptions,
        lpOptions ? &narrow : nullptr, lpCredentials, hEventWnd, uEventMsg);
    SecureWipe(narrow.szProxyPassword, sizeof narrow.szProxyPassword);
    return result;
}

TESSAN_API HCLIENT SSHAPI SshConnectW(LPCWSTR lpszHostName, INT nRemotePort, LPCWSTR lpszUserName,
                                      LPCWSTR lpszPassword, UINT nTimeout, DWORD dwOptions,
                                      LPSSHOPTIONSW lpOptions,
                                      LPSECURITYCREDENTIALS lpCredentials) {
    return SshAsyncConnectW(lpszHostName, nRemotePort, lpszUserName, lpszPassword, nTimeout,
                            dwOptions, lpOptions, lpCredentials, nullptr, 0);
}

}  // extern "C"
