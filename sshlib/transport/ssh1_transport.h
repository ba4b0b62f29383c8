// The SSH-1 packet layer of one connection, a machine without I/O like the SSH-2 transport that
// owns it (ssh_transport.h): received bytes go in through Feed, framed packets come out through
// the output hook. Disconnect and ignore messages are handled here, debug messages dropped; a
// packet with a handler for its message number goes there, any other to the step routine (the
// login, then the session). A stream that breaks (a bad length, a failed check, the
// compensation attack) ends the connection through the failure hook.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "crypto/ssh1_cipher.h"
#include "sshlib/transport/ssh1_packet.h"
#include "sshlib/transport/transport_errors.h"

namespace tessan::transport {

class Ssh1Transport {
public:
    using Handler = std::function<void(Ssh1IncomingPacket&)>;

    struct Hooks {
        std::function<void(const std::vector<uint8_t>& bytes)> output;  // framed packets
        // The connection must end: a broken stream, or the server's disconnect message.
        std::function<void(TransportFailure failure)> failed;
    };

    Ssh1Transport(Hooks hooks, Ssh1RandomSource random);
    ~Ssh1Transport();

    void Feed(const uint8_t* data, size_t length);

    // Frames and hands over one packet.
    void Send(const Ssh1OutgoingPacket& packet);
    // Frames a packet into the batch that SendDeferred hands over in one piece.
    void Defer(const Ssh1OutgoingPacket& packet);
    void SendDeferred();
    // A disconnect message with `text` (the connection is ended by the caller).
    void SendDisconnect(std::string_view text);

    // Encrypts and decrypts from now on, keyed with the 32-byte session key.
    void StartEncryption(const crypto::Ssh1CipherDescriptor& cipher, const uint8_t* sessionKey);
    const crypto::Ssh1CipherDescriptor* Cipher() const { return descriptor_; }

    void SetHandler(uint8_t type, Handler handler);  // an empty handler: to the step routine
    void SetRoutine(Handler routine) { routine_ = std::move(routine); }

private:
    void Dispatch(Ssh1IncomingPacket& packet);
    void Fail(DWORD error, std::string_view text);

    Hooks hooks_;
    Ssh1RandomSource random_;
    Ssh1PacketReader reader_;
    std::unique_ptr<crypto::Ssh1CipherContext> cipher_;
    const crypto::Ssh1CipherDescriptor* descriptor_ = nullptr;
    std::array<Handler, 256> handlers_;
    Handler routine_;
    std::vector<uint8_t> deferred_;
    bool broken_ = false;
};

}  // namespace tessan::transport
