// One SSH-1 connection above its packet layer: the login (ssh1_login.h), then the single
// interactive session: the pseudo-terminal, the shell or command, the data both ways, end of
// input, and the exit status, after which the connection ends cleanly. Port opens from the
// server are refused. A message out of place ends the connection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "sshlib/connection/ssh1_login.h"

namespace tessan::connection {

struct SessionSettings;

struct Ssh1SessionHooks {
    std::function<void(std::span<const uint8_t>)> data;  // standard output and error alike
    std::function<void()> loggedIn;                      // the password is not needed any more
    std::function<void()> running;  // the session runs (without a shell: the connection is up)
};

class Ssh1Session {
public:
    enum class Phase { kLogin, kRequestingPty, kRunning, kEnded };

    // The largest piece of caller data in one message.
    static constexpr size_t kMaxDataMessage = 512;

    Ssh1Session(transport::Transport& transport, const SessionSettings& settings,
                crypto::CipherPreference ciphers, Ssh1Random random, Ssh1SessionHooks hooks);
    ~Ssh1Session();

    // Takes every packet no handler claims (the step routine).
    void Start();

    Phase GetPhase() const { return phase_; }
    bool HasSession() const { return phase_ == Phase::kRunning && !noShell_; }
    bool HasTerminal() const { return terminal_; }
    // Sends the caller's data; false without a running session.
    bool Write(std::span<const uint8_t> data);
    // End of input, keep-alive and no-op; the other control codes do nothing here.
    void Control(uint32_t code);
    // The exit status, -1 until the server sent one.
    int64_t ExitCode() const { return exitCode_; }

    const std::string& Fingerprint() const { return login_.Fingerprint(); }
    const crypto::Ssh1CipherDescriptor* Cipher() const { return packets_.Cipher(); }

private:
    void Step(transport::Ssh1IncomingPacket& packet);
    void LoggedIn();
    void StartShell();
    void Running();
    void ExitStatus(transport::Ssh1IncomingPacket& packet);
    void PortOpen(transport::Ssh1IncomingPacket& packet);
    void Unexpected(uint8_t type);

    transport::Transport& transport_;
    transport::Ssh1Transport& packets_;
    Ssh1Login login_;
    Ssh1SessionHooks hooks_;
    Phase phase_ = Phase::kLogin;
    bool noPty_;
    bool noShell_;
    std::string command_;
    std::string terminalType_;
    uint32_t columns_;
    uint32_t rows_;
    uint32_t speed_;
    bool terminal_ = false;
    bool pendingEndOfInput_ = false;
    int64_t exitCode_ = -1;
};

}  // namespace tessan::connection
