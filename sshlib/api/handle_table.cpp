// The handle table, creation, lookup and destruction of client records.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "crypto/secure_memory.h"
#include "platform/system.h"
#include "sshlib/api/client.h"
#include "sshlib/api/error_codes.h"
#include "sshlib/api/events.h"
#include "sshlib/api/lifecycle.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/trace_records.h"

namespace tessan {
namespace {

constexpr size_t kTableGrowth = 256;
constexpr size_t kReceiveCapacityStep = 65535;
// An event-driven caller that has this much unread holds the rest of the window back in the
// socket (the blocking calls read only as far as they need anyway).
constexpr size_t kEventReadLimit = 256 * 1024;

// Under the library lock.
std::vector<ClientPtr>& Table() {
    static auto* table = new std::vector<ClientPtr>;
    return *table;
}

}  // namespace

bool Client::Alive() const {
    return link && link->SocketOpen() && session && session->Alive();
}

ClientPtr CreateClient() {
    std::lock_guard lock(LibraryLock());
    if (InitializationCount() == 0) {
        SshSetLastError(KX_ERROR_NETWORK_NOT_INITIALIZED);
        return nullptr;
    }
    try {
        std::vector<ClientPtr>& table = Table();
        auto freeSlot = std::find(table.begin(), table.end(), nullptr);
        size_t index = static_cast<size_t>(freeSlot - table.begin());
        if (freeSlot == table.end()) table.resize(table.size() + kTableGrowth);
        auto client = std::make_shared<Client>();
        client->index = index;
        client->handle = static_cast<HCLIENT>(HandleBase() + index);
        client->owner = PlatformGetCurrentThreadId();
        client->receive.reserve(kReceiveCapacityStep);
        table[index] = client;
        return client;
    } catch (const std::bad_alloc&) {
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return nullptr;
    }
}

ClientPtr FindClient(HCLIENT handle, bool checkOwner) {
    ClientPtr client;
    {
        std::lock_guard lock(LibraryLock());
        const std::vector<ClientPtr>& table = Table();
        const int64_t index = static_cast<int64_t>(handle) - static_cast<int64_t>(HandleBase());
        if (index >= 0 && static_cast<size_t>(index) < table.size()) {
            client = table[static_cast<size_t>(index)];
        }
    }
    if (!client) {
        SshSetLastError(KX_ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (checkOwner && !client->FreeThreaded() && client->owner != PlatformGetCurrentThreadId()) {
        SshSetLastError(KX_ERROR_NOT_HANDLE_OWNER);
        return nullptr;
    }
    return client;
}

bool TryEnterCall(Client& client) {
    if (client.teardown) return false;
    const DWORD me = PlatformGetCurrentThreadId();
    DWORD busy = 0;
    if (!client.busyThread.compare_exchange_strong(busy, me) && busy != me) return false;
    ++client.busyDepth;
    return true;
}

void LeaveCall(Client& client) {
    if (--client.busyDepth > 0) return;
    for (;;) {
        client.busyThread = 0;
        // Notifications the owner thread set aside while this call ran go to its window now
        // (unless another thread has entered meanwhile: its call ends the same way).
        if (client.deferredSocketEvents == 0 || !TryEnterCall(client)) return;
        PostDeferredSocketEvents(client);
        --client.busyDepth;
    }
}

ClientCall::ClientCall(HCLIENT handle, bool checkOwner)
    : ClientCall(FindClient(handle, checkOwner)) {}

ClientCall::ClientCall(ClientPtr client) : client_(std::move(client)) {
    if (!client_) return;
    if (!TryEnterCall(*client_)) {
        SshSetLastError(client_->teardown ? KX_ERROR_INVALID_HANDLE : KX_ERROR_HANDLE_IN_USE);
        client_ = nullptr;
    }
}

ClientCall::~ClientCall() {
    if (client_) LeaveCall(*client_);
}

void AwaitCallsOfOtherThreads(Client& client) {
    const DWORD me = PlatformGetCurrentThreadId();
    for (;;) {
        const DWORD busy = client.busyThread;
        if (busy == 0 || busy == me) return;
        // Asked again each round: the call may be between two waits when first asked.
        net::CancelWaitOfThread(busy);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::vector<ClientPtr> AllClients() {
    std::lock_guard lock(LibraryLock());
    std::vector<ClientPtr> live;
    for (const ClientPtr& c : Table())
        if (c) live.push_back(c);
    return live;
}

void DestroyClient(const ClientPtr& client) {
    if (client->destroyed) return;
    const DWORD savedError = SshGetLastError();
    client->status = SSH_STATUS_DISCONNECT;
    client->destroyed = true;
    ReleaseNotificationWindow(*client);
    // Closing the socket also ends a wait of this thread that may be waiting for it.
    if (client->link) client->link->CloseSocket();
    {
        std::lock_guard lock(LibraryLock());
        std::vector<ClientPtr>& table = Table();
        if (client->index < table.size() && table[client->index] == client) {
            table[client->index] = nullptr;
        }
    }
    SecureWipe(client->receive.data(), client->receive.size());
    client->receive.clear();
    client->receiveStart = 0;
    client->status = SSH_STATUS_UNUSED;
    SshSetLastError(savedError);
}

void AttachSession(Client& client, const transport::TransportSettings& transportSettings,
                   connection::SessionSettings sessionSettings, int socket) {
    Client* self = &client;
    connection::SessionHooks hooks;
    hooks.data = [self](std::span<const uint8_t> data) {
        trace::Text(TRACE_INFO, "decrypted %ld bytes of data", static_cast<long>(data.size()));
        trace::Data(data.data(), data.size());
        SecureBytes& buffer = self->receive;
        // Grow in steps of about 64 KiB; first move the unread bytes to the front.
        if (self->receiveStart > 0 && buffer.size() + data.size() > buffer.capacity()) {
            buffer.erase(buffer.begin(),
                         buffer.begin() + static_cast<ptrdiff_t>(self->receiveStart));
            self->receiveStart = 0;
        }
        if (buffer.size() + data.size() > buffer.capacity()) {
            size_t needed = buffer.size() + data.size();
            buffer.reserve((needed + kReceiveCapacityStep - 1) / kReceiveCapacityStep *
                           kReceiveCapacityStep);
        }
        // A vector with its own allocator inserts byte by byte; growing it, then copying the
        // block, is several times faster.
        const size_t end = buffer.size();
        buffer.resize(end + data.size());
        std::memcpy(buffer.data() + end, data.data(), data.size());
    };
    // The window offered to the server shrinks by what the caller has not read yet, so a
    // caller that does not read holds the server back instead of filling memory.
    hooks.backlog = [self] { return self->Buffered(); };
    client.session = std::make_unique<connection::SshConnection>(
        transportSettings, std::move(sessionSettings), std::move(hooks));
    client.link = std::make_unique<transport::SocketLink>(client.session->Transport(), socket);
    client.link->SetReadLimit([self] { return self->Buffered() >= kEventReadLimit; });
}

DWORD RunBlocking(Client& client, const std::function<bool()>& done, int timeoutMs) {
    if (!client.link) return kErrNotConnected;
    client.inBlocking = true;
    connection::SshConnection* session = client.session.get();
    DWORD error = client.link->RunUntil(
        [&] { return client.teardown || done() || !session->Alive() || client.destroyed; },
        timeoutMs);
    client.inBlocking = false;
    // The last SshUninitialize on another thread ends the wait as a cancellation.
    if (client.teardown && !client.destroyed) return kErrCancelled;
    return error;
}

size_t OutgoingBacklog(const Client& client) {
    if (!client.session) return 0;
    return client.session->QueuedOutgoing() + client.session->Transport().PendingOutput().size();
}

size_t TakeReceived(Client& client, void* out, size_t size, bool peek) {
    size_t n = std::min(size, client.Buffered());
    std::copy_n(client.receive.data() + client.receiveStart, n, static_cast<uint8_t*>(out));
    if (peek || n == 0) return n;
    client.receiveStart += n;
    if (client.receiveStart == client.receive.size()) {
        client.receive.clear();
        client.receiveStart = 0;
    }
    if (client.session) {
        client.session->DataTaken();
        if (client.link) {
            client.link->Flush();
            client.link->ResumeReading();
        }
    }
    return n;
}

void MarkClosed(Client& client) {
    client.closed = true;
    if (client.link) client.link->CloseSocket();
}

}  // namespace tessan
