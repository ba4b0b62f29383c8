// The handle's state and control calls: SshDisconnect, SshIsBlocking, SshIsConnected,
// SshGetStatus, SshGetTimeout, SshSetTimeout, SshCancel, SshControl, SshGetExitCode and
// SshAttachThread.
#include <algorithm>

#include "platform/system.h"
#include "sshlib/api/client.h"
#include "sshlib/transport/blocking_wait.h"

using namespace tessan;

namespace {

constexpr INT kNoExitCode = 0x7FFFFFFF;

}  // namespace

extern "C" {

TESSAN_API INT SSHAPI SshDisconnect(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return SSH_ERROR;
    // The session is closed without a disconnect message: the socket's orderly end tells the
    // server.
    DestroyClient(client);
    return 0;
}

TESSAN_API BOOL SSHAPI SshIsBlocking(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return FALSE;
    return client->inBlocking || net::IsInBlockingWait();
}

TESSAN_API BOOL SSHAPI SshIsConnected(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return FALSE;
    if (client->Buffered() > 0 || client->Alive()) return TRUE;
    if (client->session && (client->closed || !client->Alive())) {
        SshSetLastError(KX_ERROR_CONNECTION_CLOSED);
        return FALSE;
    }
    SshSetLastError(KX_ERROR_NOT_CONNECTED);
    return FALSE;
}

TESSAN_API INT SSHAPI SshGetStatus(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    return client ? client->status : SSH_ERROR;
}

TESSAN_API INT SSHAPI SshGetTimeout(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    return client ? client->timeout : SSH_ERROR;
}

TESSAN_API INT SSHAPI SshSetTimeout(HCLIENT hClient, INT nTimeout) {
    ClientPtr client = FindClient(hClient);
    if (!client) return SSH_ERROR;
    if (nTimeout < 0) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return SSH_ERROR;
    }
    client->timeout = std::min(nTimeout, kMaxTimeoutSeconds);
    return 0;
}

TESSAN_API INT SSHAPI SshCancel(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return SSH_ERROR;
    if (client->inBlocking && net::IsInBlockingWait()) net::CancelBlockingWait();
    client->cancel = true;
    return 0;
}

TESSAN_API INT SSHAPI SshControl(HCLIENT hClient, DWORD dwControlCode, LPVOID lpvReserved,
                                 DWORD dwReserved) {
    (void)lpvReserved;
    (void)dwReserved;
    ClientPtr client = FindClient(hClient);
    if (!client) return SSH_ERROR;
    if (client->Alive()) {
        client->session->Control(dwControlCode);
        client->link->Flush();
    }
    if (!client->Alive()) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return SSH_ERROR;
    }
    return 0;
}

TESSAN_API INT SSHAPI SshGetExitCode(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return SSH_ERROR;
    if (!client->session) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return SSH_ERROR;
    }
    if (client->Alive()) return SSH_ERROR;
    const int64_t code = client->session->ExitCode();
    return code < 0 ? kNoExitCode : static_cast<INT>(static_cast<uint32_t>(code));
}

TESSAN_API DWORD SSHAPI SshAttachThread(HCLIENT hClient, DWORD dwThreadId) {
    ClientPtr client = FindClient(hClient, false);
    if (!client) return static_cast<DWORD>(SSH_ERROR);
    const DWORD previous = client->owner;
    client->owner = dwThreadId ? dwThreadId : PlatformGetCurrentThreadId();
    return previous;
}

}  // extern "C"
