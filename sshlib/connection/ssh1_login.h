// The SSH-1 login: the server's keys, the session identifier, the session key sent under both
// RSA keys, the cipher, the user name and the password, hidden among ignore messages of every
// nearby length unless the server's quirks forbid it. One state, one dispatch point; a reply
// out of place, unusable keys, no common cipher or a refused password end the connection.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crypto/cipher.h"
#include "crypto/rsa.h"
#include "crypto/ssh1_cipher.h"
#include "sshlib/transport/ssh1_transport.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::connection {

using Ssh1Random = std::function<void(uint8_t* out, size_t length)>;

// The messages that carry the password: the password message among ignore messages whose
// strings have every other length of its group (0 to 15 for a password below 16 bytes, else the
// eight lengths of its multiple of 8), in length order; a single message with the password
// padded to 64 bytes (after a 0 byte) when the server chokes on ignore messages; or the plain
// password when the server needs it so. Random bytes are non-zero.
std::vector<transport::Ssh1OutgoingPacket> PasswordMessages(std::string_view password,
                                                            uint32_t quirks,
                                                            const Ssh1Random& random);

class Ssh1Login {
public:
    enum class State {
        kWaitingForKeys,      // the server's public-key message
        kWaitingForKeyReply,  // success after the session key
        kWaitingForUserReply,
        kWaitingForPasswordReply,
        kLoggedIn,
        kFailed,
    };

    Ssh1Login(transport::Transport& transport, transport::Ssh1Transport& packets, std::string user,
              const std::string& password, crypto::CipherPreference ciphers, Ssh1Random random);
    ~Ssh1Login();  // wipes the password

    // The one dispatch point: every login packet.
    State Step(transport::Ssh1IncomingPacket& packet);
    State GetState() const { return state_; }
    // The host key's fingerprint ("ssh-rsa <bits> <md5>"), once the keys arrived.
    const std::string& Fingerprint() const { return fingerprint_; }

private:
    void ReceiveKeys(transport::Ssh1IncomingPacket& packet);
    void SendPassword();
    void Fail(DWORD error, const std::string& text);
    void Wipe();

    transport::Transport& transport_;
    transport::Ssh1Transport& packets_;
    std::string user_;
    std::string password_;
    crypto::CipherPreference ciphers_;
    Ssh1Random random_;
    State state_ = State::kWaitingForKeys;
    std::string fingerprint_;
};

}  // namespace tessan::connection
