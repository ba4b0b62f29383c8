#include "sshlib/connection/ssh_connection.h"

#include "crypto/bytes.h"
#include "crypto/random_pool.h"
#include "crypto/secure_memory.h"
#include "crypto/wire.h"
#include "sshlib/connection/connection_constants.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/transport_errors.h"

namespace tessan::connection {

using transport::IncomingPacket;
using transport::OutgoingPacket;

namespace {

constexpr uint8_t kTtyOpIspeed = 128;
constexpr uint8_t kTtyOpOspeed = 129;
constexpr uint8_t kTtyOpEnd = 0;

void PoolRandom(uint8_t* out, size_t length) {
    crypto::RandomBytes(out, length);
}

}  // namespace

std::string_view SignalNameForControl(uint32_t code) {
    static constexpr std::string_view kNames[] = {"ABRT", "ALRM", "FPE",  "HUP",  "ILL",
                                                  "INT",  "KILL", "PIPE", "QUIT", "SEGV",
                                                  "TERM", "USR1", "USR2"};
    if (code < kControlFirstSignal || code > kControlLastSignal) return {};
    return kNames[code - kControlFirstSignal];
}

std::string EncodeTerminalModes(uint32_t speed) {
    std::string modes(11, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(modes.data());
    bytes[0] = kTtyOpIspeed;
    crypto::StoreBe32(bytes + 1, speed);
    bytes[5] = kTtyOpOspeed;
    crypto::StoreBe32(bytes + 6, speed);
    bytes[10] = kTtyOpEnd;
    return modes;
}

SshConnection::SshConnection(const transport::TransportSettings& transportSettings,
                             SessionSettings settings, SessionHooks hooks)
    : SshConnection(transportSettings, std::move(settings), std::move(hooks), nullptr, PoolRandom) {
}

SshConnection::SshConnection(const transport::TransportSettings& transportSettings,
                             SessionSettings settings, SessionHooks hooks,
                             transport::Transport::Clock clock, RandomSource random)
    : settings_(std::move(settings)), hooks_(std::move(hooks)), random_(std::move(random)) {
    transport::Transport::Callbacks callbacks;
    callbacks.versionExchanged = [this, ciphers = transportSettings.kex.cipherPreference] {
        if (transport_->Protocol() == 1) StartProtocol1(ciphers);
    };
    callbacks.keysReady = [this] { OnKeysReady(); };
    callbacks.packet = [this](const IncomingPacket& packet) { Step(packet); };
    callbacks.closed = [this](const transport::TransportFailure& f) { OnClosed(f); };
    if (clock) {
        transport_ = std::make_unique<transport::Transport>(transportSettings, std::move(callbacks),
                                                            std::move(clock), random_);
    } else {
        transport_ =
            std::make_unique<transport::Transport>(transportSettings, std::move(callbacks));
    }
}

SshConnection::~SshConnection() {
    ssh1_.reset();
    channels_.reset();
    auth_.reset();
    WipePassword();
}

void SshConnection::WipePassword() {
    SecureWipe(settings_.password);
}

void SshConnection::OnKeysReady() {
    phase_ = Phase::kAuthenticating;
    auth_ = std::make_unique<UserAuth>(*transport_, settings_.user, settings_.password, random_);
    auth_->Start();
}

void SshConnection::StartProtocol1(const crypto::CipherPreference& ciphers) {
    phase_ = Phase::kAuthenticating;
    Ssh1SessionHooks hooks;
    hooks.data = hooks_.data;
    hooks.loggedIn = [this] { WipePassword(); };
    hooks.running = [this] {
        phase_ = Phase::kRunning;
        started_ = true;
    };
    ssh1_ = std::make_unique<Ssh1Session>(*transport_, settings_, ciphers, random_,
                                          std::move(hooks));
    WipePassword();  // the login holds its own copy
    ssh1_->Start();
}

// The one dispatch point of the step routine.
void SshConnection::Step(const IncomingPacket& packet) {
    switch (phase_) {
        case Phase::kHandshake:
        case Phase::kClosed:
            return;
        case Phase::kAuthenticating:
            switch (auth_->Step(packet)) {
                case UserAuth::State::kAuthenticated:
                    OnAuthenticated();
                    return;
                default:
                    return;
            }
        case Phase::kOpeningSession: {
            std::optional<OpenConfirmation> confirmation = ParseOpenConfirmation(packet);
            if (confirmation && channels_->ConfirmSession(*confirmation)) {
                if (settings_.noPty || !settings_.command.empty()) {
                    StartShell();
                } else {
                    RequestPty();
                }
                return;
            }
            if (packet.Type() == kMsgChannelOpenFailure) return Refused("session channel");
            return Unexpected(packet);
        }
        case Phase::kRequestingPty:
        case Phase::kStartingShell: {
            std::optional<uint32_t> recipient = ParseChannelRecipient(packet);
            const bool reply =
                (packet.Type() == kMsgChannelSuccess || packet.Type() == kMsgChannelFailure) &&
                recipient && channels_->Session() && *recipient == channels_->Session()->localId;
            if (!reply) return Unexpected(packet);
            const bool success = packet.Type() == kMsgChannelSuccess;
            if (phase_ == Phase::kRequestingPty) {
                terminal_ = success;  // without a terminal the session still goes on
                StartShell();
            } else if (success) {
                SessionRunning();
            } else {
                Refused(settings_.command.empty() ? "shell" : "command");
            }
            return;
        }
        case Phase::kRunning:
            // Confirmations of opens this side never sent change nothing.
            if (packet.Type() == kMsgChannelOpenConfirmation ||
                packet.Type() == kMsgChannelOpenFailure) {
                return;
            }
            return Unexpected(packet);
    }
}

void SshConnection::OnAuthenticated() {
    // The password is not needed any more.
    auth_.reset();
    WipePassword();
    ChannelHooks hooks;
    hooks.sessionData = hooks_.data;
    hooks.backlog = hooks_.backlog;
    hooks.allClosed = [this] { AllChannelsClosed(); };
    channels_ = std::make_unique<Channels>(*transport_, std::move(hooks));
    channels_->InstallHandlers();
    if (settings_.noShell) {
        phase_ = Phase::kRunning;
        started_ = true;
        return;
    }
    phase_ = Phase::kOpeningSession;
    channels_->OpenSession();
}

void SshConnection::RequestPty() {
    std::vector<uint8_t> fields;
    crypto::AppendString(fields, std::string_view(settings_.terminalType));
    crypto::AppendUint32(fields, settings_.columns);
    crypto::AppendUint32(fields, settings_.rows);
    crypto::AppendUint32(fields, 0);  // pixel width
    crypto::AppendUint32(fields, 0);  // pixel height
    crypto::AppendString(fields, std::string_view(EncodeTerminalModes(settings_.speed)));
    channels_->SendSessionRequest("pty-req", true, fields);
    phase_ = Phase::kRequestingPty;
}

void SshConnection::StartShell() {
    if (settings_.command.empty()) {
        channels_->SendSessionRequest("shell", true);
    } else {
        std::vector<uint8_t> fields;
        crypto::AppendString(fields, std::string_view(settings_.command));
        channels_->SendSessionRequest("exec", true, fields);
    }
    phase_ = Phase::kStartingShell;
}

void SshConnection::SessionRunning() {
    phase_ = Phase::kRunning;
    started_ = true;
    if (pendingEndOfInput_) {
        pendingEndOfInput_ = false;
        channels_->SendSessionEof();
    }
    channels_->TrySend();
}

void SshConnection::AllChannelsClosed() {
    if (settings_.noShell) return;
    endReason_ = "All channels closed";
    if (channels_->ExitCode() < 0) channels_->SetExitCode(0);
    // A clean end: no disconnect message is sent.
    transport_->Disconnect(transport::kDisconnectByApplication, {}, true, 0);
}

void SshConnection::OnClosed(const transport::TransportFailure& failure) {
    phase_ = Phase::kClosed;
    if (endReason_.empty()) endReason_ = failure.text;
    if (hooks_.closed) hooks_.closed(failure);
}

void SshConnection::Unexpected(const IncomingPacket& packet) {
    transport_->Disconnect(transport::kDisconnectProtocolError,
                           "Unexpected packet type " + std::to_string(packet.Type()), false,
                           kErrProtocol);
}

void SshConnection::Refused(std::string_view what) {
    transport_->Disconnect(transport::kDisconnectByApplication,
                           "The server refused the " + std::string(what), false, kErrProtocol);
}

bool SshConnection::Write(std::span<const uint8_t> data) {
    if (phase_ != Phase::kRunning || !HasSession()) return false;
    if (ssh1_) return ssh1_->Write(data);
    channels_->Write(data);
    return true;
}

void SshConnection::DataTaken() {
    if (phase_ == Phase::kRunning && channels_) channels_->UpdateSessionWindow();
}

void SshConnection::Control(uint32_t code) {
    if (ssh1_) return ssh1_->Control(code);
    const bool setUp = phase_ >= Phase::kOpeningSession && phase_ != Phase::kClosed;
    switch (code) {
        case kControlBreak:
            if (setUp && HasSession()) {
                std::vector<uint8_t> length;
                crypto::AppendUint32(length, 0);
                channels_->SendSessionRequest("break", false, length);
            }
            return;
        case kControlKeepAlive:
        case kControlNoOp:
            if (setUp) {
                OutgoingPacket ignore(transport::kMsgIgnore);
                ignore.AddString(std::string_view());
                transport_->SendPacket(std::move(ignore));
            }
            return;
        case kControlEndOfInput:
            if (phase_ == Phase::kRunning) {
                channels_->SendSessionEof();
            } else if (phase_ != Phase::kClosed) {
                pendingEndOfInput_ = true;
            }
            return;
        case kControlRekey:
            if (phase_ != Phase::kClosed && !transport_->KeyExchangeRunning()) {
                transport_->RequestRekey("client request");
            }
            return;
        default:
            break;
    }
    std::string_view signal = SignalNameForControl(code);
    if (signal.empty() || !setUp || !HasSession()) return;
    std::vector<uint8_t> fields;
    crypto::AppendString(fields, signal);
    channels_->SendSessionRequest("signal", false, fields);
}

}  // namespace tessan::connection
