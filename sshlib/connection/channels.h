// The channel machinery of a connection after authentication: the channel table, the server's
// channel messages (window adjustments, data, end of data, close, channel and global requests,
// channel opens), flow control in both directions and the session channel's exit code.
//
// Handlers for the server's messages are installed in the transport's table, so they run
// whatever the step routine is waiting for. A message of these kinds that does not parse ends
// the connection with a protocol-error disconnect (KX_ERROR_UNEXPECTED_SERVER_RESPONSE).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "sshlib/connection/channel_messages.h"
#include "sshlib/connection/channel_table.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::connection {

// Window and maximum packet this side offers for the session channel. The window is topped up
// when half of it is used and shrinks by what the caller has not read yet, so memory stays
// bounded by it. It must cover what a fast server sends while the adjustment travels back and
// while the caller is busy elsewhere: at 64 KiB a loopback server spends about half its time
// waiting for window. The client itself holds little of it: blocking reads take from the socket
// only as much as the caller asks for, event-driven handles stop reading at 256 KiB unread, and
// the rest waits in the socket. A server may overshoot a window by less than one maximum
// packet; beyond that it is cut off with a protocol error, so unread data never exceed the
// window plus one maximum packet.
inline constexpr uint32_t kSessionWindow = 2 * 1024 * 1024;
inline constexpr uint32_t kSessionMaxPacket = 32768;
// The largest data payload sent in one message, whatever the server allows (RFC 4253 6.1
// promises only 32768 bytes of uncompressed payload).
inline constexpr uint32_t kLargestDataPayload = 32768;

struct ChannelHooks {
    // Session data (standard output and standard error mixed in arrival order).
    std::function<void(std::span<const uint8_t>)> sessionData;
    // Bytes received and not yet taken by the caller; the window offered shrinks by them.
    std::function<size_t()> backlog;
    // The last channel was closed.
    std::function<void()> allClosed;
};

class Channels {
public:
    Channels(transport::Transport& transport, ChannelHooks hooks,
             uint32_t sessionWindow = kSessionWindow);
    ~Channels();
    Channels(const Channels&) = delete;
    Channels& operator=(const Channels&) = delete;

    void InstallHandlers();

    // Sends CHANNEL_OPEN "session"; the record waits for its confirmation outside the table.
    void OpenSession();
    // Takes the confirmation of the pending session open: true when it names the pending id
    // (the record then joins the table as the session channel).
    bool ConfirmSession(const OpenConfirmation& confirmation);
    bool SessionPending() const { return pending_ != nullptr; }
    uint32_t PendingId() const { return pending_ ? pending_->localId : 0; }
    Channel* Session() const { return session_; }

    // A request on the session channel with the given fields after its head.
    void SendSessionRequest(std::string_view type, bool wantReply,
                            std::span<const uint8_t> fields = {});
    void SendSessionEof();

    // Queues data on the session channel and sends what the windows allow; returns the bytes
    // still queued for it.
    size_t Write(std::span<const uint8_t> data);
    // Sends queued data on every channel within the server's windows.
    void TrySend();
    // Offers the server more window if the caller has taken data since.
    void UpdateSessionWindow();
    size_t QueuedForSession() const { return session_ ? session_->outgoing.Size() : 0; }

    // The exit code recorded from "exit-status" or "exit-signal" (-1: none yet).
    int64_t ExitCode() const { return exitCode_; }
    void SetExitCode(int64_t code) { exitCode_ = code; }
    const ChannelTable& Table() const { return table_; }

private:
    void OnWindowAdjust(const transport::IncomingPacket& packet);
    void OnData(const transport::IncomingPacket& packet);
    void OnEof(const transport::IncomingPacket& packet);
    void OnClose(const transport::IncomingPacket& packet);
    void OnChannelRequest(const transport::IncomingPacket& packet);
    void OnGlobalRequest(const transport::IncomingPacket& packet);
    void OnChannelOpen(const transport::IncomingPacket& packet);
    void SendOn(Channel& channel);
    void OfferWindow(Channel& channel);
    void Reply(const Channel& channel, bool success);
    void Malformed(const transport::IncomingPacket& packet);

    transport::Transport& transport_;
    ChannelHooks hooks_;
    uint32_t sessionWindow_;
    ChannelTable table_;
    std::unique_ptr<Channel> pending_;
    Channel* session_ = nullptr;
    int64_t exitCode_ = -1;
    bool installed_ = false;
};

}  // namespace tessan::connection
