// SshRead, SshPeek, SshWrite, SshIsReadable and SshIsWritable.
#include <algorithm>
#include <thread>

#include "sshlib/api/client.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/events.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/trace_records.h"

namespace tessan {
namespace {

// Steps shared by SshRead and SshPeek: false when the call is over (`result` holds its value).
bool CheckReadArguments(const ClientPtr& client, LPVOID buffer, INT size, INT& result) {
    if (!buffer) {
        SshSetLastError(KX_ERROR_INVALID_BUFFER);
        result = SSH_ERROR;
        return false;
    }
    if (size <= 0) {
        SshSetLastError(KX_ERROR_BUFFER_TOO_SMALL);
        result = SSH_ERROR;
        return false;
    }
    if (client->Buffered() == 0 && (client->closed || !client->Alive())) {
        if (!client->closed) MarkClosed(*client);
        result = 0;
        return false;
    }
    return true;
}

}  // namespace

INT FailWait(const ClientPtr& client, DWORD error) {
    client->status = SSH_STATUS_IDLE;
    if (client->destroyed) {
        SshSetLastError(KX_ERROR_INVALID_HANDLE);
        return SSH_ERROR;
    }
    if (error == kErrTimedOut) {
        SshSetLastError(KX_ERROR_OPERATION_TIMEOUT);
        DispatchEvent(client, SSH_EVENT_TIMEOUT, KX_ERROR_OPERATION_TIMEOUT);
        return SSH_ERROR;
    }
    if (error == kErrCancelled || client->cancel) {
        client->cancel = false;
        SshSetLastError(KX_ERROR_OPERATION_CANCELED);
        DispatchEvent(client, SSH_EVENT_CANCEL, KX_ERROR_OPERATION_CANCELED);
        return SSH_ERROR;
    }
    if (error == kErrNotSocket) {
        MarkClosed(*client);
        SshSetLastError(KX_ERROR_CONNECTION_CLOSED);
        return SSH_ERROR;
    }
    SshSetLastError(ApiError(error));
    return SSH_ERROR;
}

INT FailCancelled(const ClientPtr& client) {
    client->cancel = false;
    SshSetLastError(KX_ERROR_OPERATION_CANCELED);
    DispatchEvent(client, SSH_EVENT_CANCEL, KX_ERROR_OPERATION_CANCELED);
    return SSH_ERROR;
}

}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API INT SSHAPI SshRead(HCLIENT hClient, LPVOID lpBuffer, INT cbBuffer) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    INT result = 0;
    if (!CheckReadArguments(client, lpBuffer, cbBuffer, result)) return result;
    if (client->cancel) return FailCancelled(client);
    if (client->Buffered() == 0 && client->EventDriven()) {
        SshSetLastError(KX_ERROR_OPERATION_WOULD_BLOCK);
        return SSH_ERROR;
    }
    if (client->Buffered() == 0) {
        client->status = SSH_STATUS_READ;
        Client* c = client.get();
        DWORD error = RunBlocking(
            *client, [c] { return c->Buffered() > 0; }, client->timeout * 1000);
        if (client->destroyed) return FailWait(client, error);
        client->status = SSH_STATUS_IDLE;
        if (error != 0) return FailWait(client, error);
        if (client->Buffered() == 0) {
            MarkClosed(*client);
            return 0;
        }
    }
    INT count =
        static_cast<INT>(TakeReceived(*client, lpBuffer, static_cast<size_t>(cbBuffer), false));
    if (client->Buffered() > 0) RedispatchRead(client);
    return count;
}

TESSAN_API INT SSHAPI SshPeek(HCLIENT hClient, LPVOID lpBuffer, INT cbBuffer) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    INT result = 0;
    if (!CheckReadArguments(client, lpBuffer, cbBuffer, result)) return result;
    if (client->Buffered() == 0) {
        SshSetLastError(KX_ERROR_OPERATION_WOULD_BLOCK);
        return SSH_ERROR;
    }
    return static_cast<INT>(TakeReceived(*client, lpBuffer, static_cast<size_t>(cbBuffer), true));
}

TESSAN_API INT SSHAPI SshWrite(HCLIENT hClient, LPCVOID lpBuffer, INT cbBuffer) {
    ClientCall call(hClient);
    if (!call) return SSH_ERROR;
    const ClientPtr& client = call.Get();
    if (!lpBuffer) {
        SshSetLastError(KX_ERROR_INVALID_BUFFER);
        return SSH_ERROR;
    }
    if (cbBuffer <= 0) {
        SshSetLastError(KX_ERROR_BUFFER_TOO_SMALL);
        return SSH_ERROR;
    }
    if (client->cancel) return FailCancelled(client);
    if (client->EventDriven() && client->Alive() &&
        OutgoingBacklog(*client) >= kWriteBacklogLimit) {
        client->writeRefused = true;
        SshSetLastError(KX_ERROR_OPERATION_WOULD_BLOCK);
        return SSH_ERROR;
    }
    if (!client->EventDriven() && client->Alive() &&
        OutgoingBacklog(*client) >= kWriteBacklogLimit) {
        client->status = SSH_STATUS_WRITE;
        Client* c = client.get();
        DWORD error = RunBlocking(
            *client, [c] { return OutgoingBacklog(*c) < kWriteBacklogLimit; },
            client->timeout * 1000);
        if (client->destroyed) return FailWait(client, error);
        client->status = SSH_STATUS_IDLE;
        if (error != 0) return FailWait(client, error);
    }
    if (!client->Alive() || !client->session->Write(std::span(static_cast<const uint8_t*>(lpBuffer),
                                                              static_cast<size_t>(cbBuffer)))) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return 0;
    }
    trace::Text(TRACE_INFO, "encrypted %ld bytes of data", static_cast<long>(cbBuffer));
    trace::Data(lpBuffer, static_cast<size_t>(cbBuffer));
    client->link->Flush();
    return cbBuffer;
}

TESSAN_API BOOL SSHAPI SshIsReadable(HCLIENT hClient, INT nTimeout, LPDWORD lpdwAvail) {
    ClientCall call(hClient);
    if (!call) return FALSE;
    const ClientPtr& client = call.Get();
    auto report = [&](BOOL readable) {
        if (lpdwAvail) *lpdwAvail = static_cast<DWORD>(client->Buffered());
        return readable;
    };
    if (!client->session || (!client->link && client->Buffered() == 0)) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return FALSE;
    }
    if (client->Buffered() > 0) return report(TRUE);
    if (client->closed) return report(FALSE);
    if (!client->EventDriven()) {
        Client* c = client.get();
        DWORD error = RunBlocking(
            *client, [c] { return c->Buffered() > 0; }, std::max(nTimeout, 0) * 1000);
        if (client->destroyed) return FALSE;
        if (error == kErrTimedOut && client->Buffered() == 0 && client->Alive()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return report(FALSE);
        }
        // The end of the session is readable: the next read returns 0.
        if (!client->Alive()) return report(TRUE);
    }
    return report(client->Buffered() > 0);
}

TESSAN_API BOOL SSHAPI SshIsWritable(HCLIENT hClient, INT nTimeout) {
    ClientCall call(hClient);
    if (!call) return FALSE;
    const ClientPtr& client = call.Get();
    if (!client->Alive() || !client->session->HasSession()) {
        SshSetLastError(KX_ERROR_NOT_CONNECTED);
        return FALSE;
    }
    if (!client->EventDriven() && OutgoingBacklog(*client) >= kWriteBacklogLimit) {
        Client* c = client.get();
        RunBlocking(
            *client, [c] { return OutgoingBacklog(*c) < kWriteBacklogLimit; },
            std::max(nTimeout, 0) * 1000);
        if (client->destroyed) return FALSE;
    }
    return client->Alive() && client->session->HasSession() &&
           OutgoingBacklog(*client) < kWriteBacklogLimit;
}

}  // extern "C"
