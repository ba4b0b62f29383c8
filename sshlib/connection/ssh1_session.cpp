#include "sshlib/connection/ssh1_session.h"

#include <algorithm>

#include "sshlib/connection/ssh_connection.h"
#include "sshlib/transport/quirks.h"
#include "sshlib/transport/ssh1_constants.h"

namespace tessan::connection {

namespace ssh1 = transport::ssh1;
using transport::Ssh1IncomingPacket;
using transport::Ssh1OutgoingPacket;

Ssh1Session::Ssh1Session(transport::Transport& transport, const SessionSettings& settings,
                         crypto::CipherPreference ciphers, Ssh1Random random,
                         Ssh1SessionHooks hooks)
    : transport_(transport),
      packets_(*transport.Ssh1()),
      login_(transport, *transport.Ssh1(), settings.user, settings.password, ciphers,
             std::move(random)),
      hooks_(std::move(hooks)),
      noPty_(settings.noPty || !settings.command.empty()),
      noShell_(settings.noShell),
      command_(settings.command),
      terminalType_(settings.terminalType),
      columns_(settings.columns),
      rows_(settings.rows),
      speed_(settings.speed) {}

Ssh1Session::~Ssh1Session() {
    packets_.SetRoutine(nullptr);
    for (uint8_t type : {ssh1::kSmsgStdoutData, ssh1::kSmsgStderrData, ssh1::kSmsgExitStatus,
                         ssh1::kMsgPortOpen}) {
        packets_.SetHandler(type, nullptr);
    }
}

void Ssh1Session::Start() {
    packets_.SetRoutine([this](Ssh1IncomingPacket& packet) { Step(packet); });
}

// The one dispatch point of the step routine.
void Ssh1Session::Step(Ssh1IncomingPacket& packet) {
    switch (phase_) {
        case Phase::kLogin:
            if (login_.Step(packet) == Ssh1Login::State::kLoggedIn) LoggedIn();
            return;
        case Phase::kRequestingPty:
            if (packet.Type() != ssh1::kSmsgSuccess && packet.Type() != ssh1::kSmsgFailure) {
                return Unexpected(packet.Type());
            }
            // Without a terminal the session still goes on.
            terminal_ = packet.Type() == ssh1::kSmsgSuccess;
            StartShell();
            return;
        case Phase::kRunning:
            return Unexpected(packet.Type());
        case Phase::kEnded:
            return;
    }
}

void Ssh1Session::LoggedIn() {
    if (hooks_.loggedIn) hooks_.loggedIn();
    auto data = [this](Ssh1IncomingPacket& packet) {
        std::string_view text;
        if (!packet.ReadString(text)) return Unexpected(packet.Type());
        if (hooks_.data) hooks_.data({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    };
    packets_.SetHandler(ssh1::kSmsgStdoutData, data);
    packets_.SetHandler(ssh1::kSmsgStderrData, data);
    packets_.SetHandler(ssh1::kSmsgExitStatus,
                        [this](Ssh1IncomingPacket& packet) { ExitStatus(packet); });
    packets_.SetHandler(ssh1::kMsgPortOpen,
                        [this](Ssh1IncomingPacket& packet) { PortOpen(packet); });
    if (noShell_) return Running();
    if (noPty_) return StartShell();
    Ssh1OutgoingPacket request(ssh1::kCmsgRequestPty);
    request.AddString(terminalType_).AddUint32(rows_).AddUint32(columns_).AddUint32(0).AddUint32(0);
    request.AddByte(ssh1::kTtyInputSpeed).AddUint32(speed_);
    request.AddByte(ssh1::kTtyOutputSpeed).AddUint32(speed_);
    request.AddByte(ssh1::kTtyEnd);
    packets_.Send(request);
    phase_ = Phase::kRequestingPty;
}

void Ssh1Session::StartShell() {
    if (command_.empty()) {
        packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgExecShell));
    } else {
        packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgExecCommand).AddString(command_));
    }
    Running();
}

void Ssh1Session::Running() {
    phase_ = Phase::kRunning;
    if (pendingEndOfInput_ && !noShell_) {
        pendingEndOfInput_ = false;
        packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgEof));
    }
    if (hooks_.running) hooks_.running();
}

bool Ssh1Session::Write(std::span<const uint8_t> data) {
    if (!HasSession()) return false;
    for (size_t at = 0; at < data.size(); at += kMaxDataMessage) {
        const size_t piece = std::min(kMaxDataMessage, data.size() - at);
        packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgStdinData).AddString(data.subspan(at, piece)));
    }
    return true;
}

void Ssh1Session::Control(uint32_t code) {
    switch (code) {
        case kControlEndOfInput:
            if (HasSession()) {
                packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgEof));
            } else if (phase_ != Phase::kEnded) {
                pendingEndOfInput_ = true;
            }
            return;
        case kControlKeepAlive:
        case kControlNoOp:
            if (phase_ != Phase::kEnded && packets_.Cipher() &&
                !(transport_.Quirks() & transport::kQuirkSsh1ChokesOnIgnore)) {
                packets_.Send(Ssh1OutgoingPacket(ssh1::kMsgIgnore).AddString(std::string_view()));
            }
            return;
        default:
            return;  // break, re-key and signals have no protocol-1 message
    }
}

void Ssh1Session::ExitStatus(Ssh1IncomingPacket& packet) {
    uint32_t code = 0;
    if (!packet.ReadUint32(code)) return Unexpected(packet.Type());
    exitCode_ = code;
    packets_.Send(Ssh1OutgoingPacket(ssh1::kCmsgExitConfirmation));
    phase_ = Phase::kEnded;
    // A clean end: no disconnect message.
    transport_.Disconnect(0, {}, true, 0);
}

void Ssh1Session::PortOpen(Ssh1IncomingPacket& packet) {
    // The host and port that follow are not looked at: no forwarding destination is permitted,
    // so every open is refused.
    uint32_t remoteChannel = 0;
    if (!packet.ReadUint32(remoteChannel)) return Unexpected(packet.Type());
    packets_.Send(Ssh1OutgoingPacket(ssh1::kMsgChannelOpenFailure).AddUint32(remoteChannel));
}

void Ssh1Session::Unexpected(uint8_t type) {
    phase_ = Phase::kEnded;
    transport_.Disconnect(0, "Unexpected packet type " + std::to_string(type), false, kErrProtocol);
}

}  // namespace tessan::connection
