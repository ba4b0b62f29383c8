// The handle's state and control calls: SshDisconnect, SshIsBlocking, SshIsConnected,
// SshGetStatus, SshGetTimeout, SshSetTimeout, SshCancel, SshControl, SshGetExitCode and
// SshAttachThread.
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/system.h"
#include "sshlib/api/client.h"
#include "sshlib/transport/blocking_wait.h"

using namespace tessan;

namespace {

constexpr INT kNoExitCode = 0x7FFFFFFF;

}  // namespace

extern "C" {

TESSAN_API INT SSHAPI SshDisconnect(HCLIENT hClient) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    // The session is closed without a disconnect message: the socket's orderly end tells the
    // server.
    DestroyClient(client);
    return 0;
}

// SshIsBlocking, SshGetStatus, SshGetTimeout, SshSetTimeout, SshCancel and SshAttachThread touch
// only fields other threads may use at any time: they need not enter a call of the handle, so a
// free-threaded handle's call in progress on another thread does not refuse them.
TESSAN_API BOOL SSHAPI SshIsBlocking(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    if (!client) return FALSE;
    return client->inBlocking || net::IsInBlockingWait();
}

TESSAN_API BOOL SSHAPI SshIsConnected(HCLIENT hClient) {
    ClientCall call(hClient);
    if (!call) return FALSE;
    const ClientPtr& client = call.Get();
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
    return client ? client->status.load() : SSH_ERROR;
}

TESSAN_API INT SSHAPI SshGetTimeout(HCLIENT hClient) {
    ClientPtr client = FindClient(hClient);
    return client ? client->timeout.load() : SSH_ERROR;
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
    client->cancel = true;
    const DWORD busy = client->busyThread;
    if (busy == PlatformGetCurrentThreadId()) {
        if (client->inBlocking && net::IsInBlockingWait()) net::CancelBlockingWait();
    } else if (busy != 0) {
        // A free-threaded handle in a blocking call on another thread: that wait ends as
        // cancelled. The call may be between two waits when asked, so it is asked again until
        // a wait takes the request or the call is over.
        for (int round = 0; round < 1000 && client->inBlocking && client->busyThread == busy;
             ++round) {
            if (net::CancelWaitOfThread(busy)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return 0;
}

TESSAN_API INT SSHAPI SshControl(HCLIENT hClient, DWORD dwControlCode, LPVOID lpvReserved,
                                 DWORD dwReserved) {
    (void)lpvReserved;
    (void)dwReserved;
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
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
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
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
