// One SSH-2 connection above the transport: user authentication, then the session channel
// with its pseudo-terminal and shell or command, the caller's data in both directions, the
// control operations and the exit code. When the server speaks only protocol 1, the
// protocol-1 login and session (ssh1_session.h) take the place of all this behind the same
// calls. A machine without I/O like the transport it owns: the
// owner feeds received bytes to Transport() and writes out its pending output (socket_link.h).
//
// The step routine (one state, one dispatch point) receives every packet that neither the
// transport nor a channel handler claims. A packet it does not expect ends the connection with
// a protocol-error disconnect and KX_ERROR_UNEXPECTED_SERVER_RESPONSE, during authentication,
// during the session start and while the session runs alike; so does a refused session open,
// shell or command. A refused pseudo-terminal lets the session go on without one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "sshlib/connection/channels.h"
#include "sshlib/connection/concealed_send.h"
#include "sshlib/connection/ssh1_session.h"
#include "sshlib/connection/user_auth.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::connection {

// What the step routine needs of the connection settings.
struct SessionSettings {
    std::string user;
    std::string password;  // wiped once authentication is over and on destruction
    bool noPty = false;    // no pseudo-terminal (also when a command runs)
    bool noShell = false;  // no session channel at all: the connection only stays up
    std::string command;   // run instead of a shell when not empty
    std::string terminalType = "unknown";
    uint32_t columns = 80;
    uint32_t rows = 25;
    uint32_t speed = 38400;  // input and output speed announced with the pseudo-terminal
};

struct SessionHooks {
    std::function<void(std::span<const uint8_t>)> data;  // session data as it arrives
    std::function<size_t()> backlog;                     // data received and not yet taken
    std::function<void(const transport::TransportFailure&)> closed;  // the connection ended
};

// Control operations (SshControl codes).
enum ControlCode : uint32_t {
    kControlBreak = 1,
    kControlKeepAlive = 2,
    kControlEndOfInput = 3,
    kControlNoOp = 4,
    kControlRekey = 5,
    kControlFirstSignal = 6,  // 6..18: ABRT ALRM FPE HUP ILL INT KILL PIPE QUIT SEGV TERM USR1 USR2
    kControlLastSignal = 18,
};

// The signal name of control code 6..18 ("" for other codes).
std::string_view SignalNameForControl(uint32_t code);

// The eleven bytes of terminal modes sent with the pseudo-terminal request: input and output
// speed, then the end marker.
std::string EncodeTerminalModes(uint32_t speed);

class SshConnection {
public:
    enum class Phase {
        kHandshake,       // identification lines and the first key exchange
        kAuthenticating,  // service request and user authentication
        kOpeningSession,  // the session channel's open awaits confirmation
        kRequestingPty,   // the pseudo-terminal request awaits its reply
        kStartingShell,   // the shell or command request awaits its reply
        kRunning,         // the session runs (or, without a shell, the connection is up)
        kClosed,          // the connection ended
    };

    SshConnection(const transport::TransportSettings& transportSettings, SessionSettings settings,
                  SessionHooks hooks);
    // With the transport's clock and a random source of their own (tests).
    SshConnection(const transport::TransportSettings& transportSettings, SessionSettings settings,
                  SessionHooks hooks, transport::Transport::Clock clock, RandomSource random);
    ~SshConnection();
    SshConnection(const SshConnection&) = delete;
    SshConnection& operator=(const SshConnection&) = delete;

    transport::Transport& Transport() { return *transport_; }
    const transport::Transport& Transport() const { return *transport_; }
    Phase GetPhase() const { return phase_; }
    // The session runs (the connect call is complete).
    bool Established() const { return phase_ == Phase::kRunning; }
    // The session ran at some point (a command may have ended in the same burst it started).
    bool Started() const { return started_; }
    bool Alive() const { return phase_ != Phase::kClosed; }
    bool HasSession() const {
        return ssh1_ ? ssh1_->HasSession() : channels_ && channels_->Session() != nullptr;
    }
    bool HasTerminal() const { return ssh1_ ? ssh1_->HasTerminal() : terminal_; }

    // Queues session data; returns false (nothing queued) without a running session.
    bool Write(std::span<const uint8_t> data);
    // Bytes accepted and not yet handed to the transport.
    size_t QueuedOutgoing() const { return channels_ ? channels_->QueuedForSession() : 0; }
    // After the caller took received data: offers the server more window when due.
    void DataTaken();
    // Performs control code 1..18; other codes do nothing.
    void Control(uint32_t code);
    // The recorded exit code, -1 while none was received.
    int64_t ExitCode() const {
        return ssh1_ ? ssh1_->ExitCode() : channels_ ? channels_->ExitCode() : -1;
    }
    // Why the connection ended ("All channels closed" for the clean end of the session).
    const std::string& EndReason() const { return endReason_; }
    const UserAuth* Auth() const { return auth_.get(); }
    // The protocol-1 login and session when the server speaks protocol 1 (else NULL).
    const Ssh1Session* Ssh1() const { return ssh1_.get(); }

private:
    void OnKeysReady();
    void StartProtocol1(const crypto::CipherPreference& ciphers);
    void Step(const transport::IncomingPacket& packet);
    void OnAuthenticated();
    void RequestPty();
    void StartShell();
    void SessionRunning();
    void AllChannelsClosed();
    void OnClosed(const transport::TransportFailure& failure);
    void Unexpected(const transport::IncomingPacket& packet);
    void Refused(std::string_view what);
    void WipePassword();

    SessionSettings settings_;
    SessionHooks hooks_;
    RandomSource random_;
    std::unique_ptr<transport::Transport> transport_;
    std::unique_ptr<UserAuth> auth_;
    std::unique_ptr<Channels> channels_;
    std::unique_ptr<Ssh1Session> ssh1_;
    Phase phase_ = Phase::kHandshake;
    bool terminal_ = false;
    bool started_ = false;
    bool pendingEndOfInput_ = false;
    std::string endReason_;
};

}  // namespace tessan::connection
