#include "sshlib/connection/channels.h"

#include <algorithm>
#include <string>

#include "sshlib/connection/connection_constants.h"
#include "sshlib/connection/open_refusal.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/transport_errors.h"

namespace tessan::connection {

using transport::IncomingPacket;
using transport::OutgoingPacket;

namespace {

constexpr uint8_t kHandledTypes[] = {
    kMsgGlobalRequest,       kMsgChannelOpen, kMsgChannelWindowAdjust, kMsgChannelData,
    kMsgChannelExtendedData, kMsgChannelEof,  kMsgChannelClose,        kMsgChannelRequest};

}  // namespace

Channels::Channels(transport::Transport& transport, ChannelHooks hooks, uint32_t sessionWindow)
    : transport_(transport), hooks_(std::move(hooks)), sessionWindow_(sessionWindow) {}

Channels::~Channels() {
    if (!installed_) return;
    for (uint8_t type : kHandledTypes)
        transport_.ResetHandler(type);
}

void Channels::InstallHandlers() {
    installed_ = true;
    using Member = void (Channels::*)(const IncomingPacket&);
    auto install = [this](uint8_t type, Member member) {
        transport_.SetHandler(type,
                              [this, member](const IncomingPacket& p) { (this->*member)(p); });
    };
    install(kMsgChannelWindowAdjust, &Channels::OnWindowAdjust);
    install(kMsgChannelData, &Channels::OnData);
    install(kMsgChannelExtendedData, &Channels::OnData);
    install(kMsgChannelEof, &Channels::OnEof);
    install(kMsgChannelClose, &Channels::OnClose);
    install(kMsgChannelRequest, &Channels::OnChannelRequest);
    install(kMsgGlobalRequest, &Channels::OnGlobalRequest);
    install(kMsgChannelOpen, &Channels::OnChannelOpen);
}

void Channels::Malformed(const IncomingPacket& packet) {
    transport_.Disconnect(transport::kDisconnectProtocolError,
                          "Malformed packet of type " + std::to_string(packet.Type()), false,
                          kErrProtocol);
}

// --- the session channel ---

void Channels::OpenSession() {
    pending_ = std::make_unique<Channel>();
    pending_->localId = table_.NextLocalId();
    pending_->kind = 0;
    pending_->awaitingConfirmation = true;
    pending_->localWindow = sessionWindow_;
    OutgoingPacket open(kMsgChannelOpen);
    open.AddString(std::string_view("session"))
        .AddUint32(pending_->localId)
        .AddUint32(sessionWindow_)
        .AddUint32(kSessionMaxPacket);
    transport_.SendPacket(std::move(open));
}

bool Channels::ConfirmSession(const OpenConfirmation& confirmation) {
    if (!pending_ || confirmation.recipient != pending_->localId) return false;
    pending_->remoteId = confirmation.sender;
    pending_->remoteWindow = confirmation.window;
    pending_->remoteMaxPacket = confirmation.maxPacket;
    pending_->awaitingConfirmation = false;
    session_ = &table_.Insert(std::move(pending_));
    return true;
}

void Channels::SendSessionRequest(std::string_view type, bool wantReply,
                                  std::span<const uint8_t> fields) {
    if (!session_ || session_->closeSent) return;
    OutgoingPacket request(kMsgChannelRequest);
    request.AddUint32(session_->remoteId).AddString(type).AddBool(wantReply).AddRaw(fields);
    transport_.SendPacket(std::move(request));
}

void Channels::SendSessionEof() {
    if (!session_ || session_->closeSent) return;
    OutgoingPacket eof(kMsgChannelEof);
    eof.AddUint32(session_->remoteId);
    transport_.SendPacket(std::move(eof));
}

// --- sending ---

size_t Channels::Write(std::span<const uint8_t> data) {
    if (!session_) return 0;
    session_->outgoing.Append(data);
    TrySend();
    return QueuedForSession();
}

void Channels::TrySend() {
    for (const std::unique_ptr<Channel>& channel : table_.Channels()) {
        if (transport_.IsClosed()) return;
        if (!channel->closeSent) SendOn(*channel);
    }
}

void Channels::SendOn(Channel& channel) {
    while (channel.remoteWindow > 0 && !channel.outgoing.Empty() && !transport_.IsClosed()) {
        std::span<const uint8_t> block = channel.outgoing.Front();
        const size_t n = std::min({block.size(), size_t{channel.remoteWindow},
                                   size_t{channel.remoteMaxPacket}, size_t{kLargestDataPayload}});
        if (n == 0) return;  // a server that allows packets of 0 bytes gets nothing
        OutgoingPacket data(kMsgChannelData);
        data.AddUint32(channel.remoteId).AddString(block.first(n));
        transport_.SendPacket(std::move(data));
        channel.outgoing.Consume(n);
        channel.remoteWindow -= static_cast<uint32_t>(n);
    }
}

// --- receiving ---

void Channels::OnWindowAdjust(const IncomingPacket& packet) {
    std::optional<WindowAdjust> m = ParseWindowAdjust(packet);
    if (!m) return Malformed(packet);
    Channel* channel = table_.Find(m->recipient);
    if (!channel || channel->closeSent) return;
    // The window never exceeds 2^32 - 1 bytes (RFC 4254 5.2).
    channel->remoteWindow = static_cast<uint32_t>(
        std::min<uint64_t>(uint64_t{channel->remoteWindow} + m->bytes, UINT32_MAX));
    SendOn(*channel);
}

void Channels::OnData(const IncomingPacket& packet) {
    std::optional<ChannelData> m = ParseChannelData(packet);
    if (!m) return Malformed(packet);
    Channel* channel = table_.Find(m->recipient);
    if (!channel) return;
    if (packet.Type() == kMsgChannelExtendedData && m->dataType != kExtendedDataStderr) return;
    if (m->data.empty()) return;
    // Beyond the window, at most one maximum packet is let through (a server may round its last
    // packet up); more, and the server is flooding us: it is cut off before the data go
    // anywhere, so what we hold stays bounded by the window.
    if (m->data.size() > channel->localWindow) {
        const size_t beyond = m->data.size() - channel->localWindow + channel->overrun;
        if (beyond > kSessionMaxPacket) {
            transport_.Disconnect(transport::kDisconnectProtocolError,
                                  "Data beyond the channel window", false, kErrProtocol);
            return;
        }
        channel->overrun = static_cast<uint32_t>(beyond);
        channel->localWindow = 0;
    } else {
        channel->localWindow -= static_cast<uint32_t>(m->data.size());
    }
    if (channel == session_ && hooks_.sessionData) hooks_.sessionData(m->data);
    // The hook may have ended the connection; the channel is still ours (only OnClose frees).
    OfferWindow(*channel);
}

void Channels::OfferWindow(Channel& channel) {
    if (channel.closeSent || transport_.IsClosed()) return;
    const size_t backlog = hooks_.backlog ? hooks_.backlog() : 0;
    if (backlog >= sessionWindow_) return;
    const uint32_t wanted = sessionWindow_ - static_cast<uint32_t>(backlog);
    // Adjust only when at least half the window was used: one adjustment per half window.
    if (wanted <= 2 * uint64_t{channel.localWindow}) return;
    OutgoingPacket adjust(kMsgChannelWindowAdjust);
    adjust.AddUint32(channel.remoteId).AddUint32(wanted - channel.localWindow);
    transport_.SendPacket(std::move(adjust));
    channel.localWindow = wanted;
    channel.overrun = 0;
}

void Channels::UpdateSessionWindow() {
    if (session_) OfferWindow(*session_);
}

void Channels::OnEof(const IncomingPacket& packet) {
    // End of the server's data needs no action: the close follows.
    if (!ParseChannelRecipient(packet)) Malformed(packet);
}

void Channels::OnClose(const IncomingPacket& packet) {
    std::optional<uint32_t> recipient = ParseChannelRecipient(packet);
    if (!recipient) return Malformed(packet);
    Channel* channel = table_.Find(*recipient);
    if (!channel || channel->awaitingConfirmation) return;
    if (channel == session_) session_ = nullptr;
    if (!channel->closeSent) {
        channel->closeSent = true;
        OutgoingPacket close(kMsgChannelClose);
        close.AddUint32(channel->remoteId);
        transport_.SendPacket(std::move(close));
    }
    table_.Remove(*recipient);
    if (table_.Empty() && hooks_.allClosed) hooks_.allClosed();
}

void Channels::Reply(const Channel& channel, bool success) {
    OutgoingPacket reply(success ? kMsgChannelSuccess : kMsgChannelFailure);
    reply.AddUint32(channel.remoteId);
    transport_.SendPacket(std::move(reply));
}

void Channels::OnChannelRequest(const IncomingPacket& packet) {
    IncomingPacket rest = packet;
    std::optional<ChannelRequest> m = ParseChannelRequest(packet, rest);
    if (!m) return Malformed(packet);
    Channel* channel = table_.Find(m->recipient);
    if (!channel) {
        transport_.Disconnect(
            transport::kDisconnectProtocolError,
            "Received channel request for nonexistent channel " + std::to_string(m->recipient),
            false, kErrProtocol);
        return;
    }
    bool accepted = false;
    if (channel == session_) {
        if (m->type == "exit-status") {
            std::optional<uint32_t> code = ParseExitStatus(rest);
            if (!code) return Malformed(packet);
            exitCode_ = *code;
            accepted = true;
        } else if (m->type == "exit-signal") {
            exitCode_ = ExitCodeFromSignal(rest);
            accepted = true;
        }
    }
    if (m->wantReply) Reply(*channel, accepted);
}

void Channels::OnGlobalRequest(const IncomingPacket& packet) {
    std::optional<GlobalRequest> m = ParseGlobalRequest(packet);
    if (!m) return Malformed(packet);
    if (!m->wantReply) return;
    OutgoingPacket reply(kMsgRequestFailure);
    transport_.SendPacket(std::move(reply));
}

void Channels::OnChannelOpen(const IncomingPacket& packet) {
    std::optional<ChannelOpen> m = ParseChannelOpen(packet);
    if (!m) return Malformed(packet);
    transport_.SendPacket(BuildOpenRefusal(*m));
}

}  // namespace tessan::connection
