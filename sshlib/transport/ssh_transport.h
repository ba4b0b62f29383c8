// The SSH-2 transport of one connection as a machine without I/O: received bytes go in through
// Feed, bytes to send come out of PendingOutput, and what happens is told through callbacks.
// It runs the identification-line exchange, the binary packet protocol, the key exchange and
// every re-key, and compression. The network layer drives it (socket_link.h); tests drive it
// with a scripted peer, byte by byte.
//
// Seam for the layers above (user authentication, channels, the API):
//   - Callbacks::keysReady fires once, when the first key exchange has completed in both
//     directions: keys are active and packets of any kind may be sent (start with the service
//     request "ssh-userauth"; the transport counts as ready for the user once the server
//     accepts it).
//   - Callbacks::packet receives every packet that no handler claims: before the first exchange
//     completes none reach it; afterwards every message outside 20-49. This is the step routine
//     of authentication and connection.
//   - SetHandler installs a routine for one message number (claims it ahead of the step
//     routine); the initial table answers unknown messages with SSH_MSG_UNIMPLEMENTED and
//     handles disconnect, ignore and debug itself.
//   - SendPacket / DeferPacket + SendDeferred send payloads; while a key exchange runs they are
//     held back and sent, in order, after our new-keys. DisableCompressionForNextPacket,
//     DeferredLength and OutgoingBlockSize serve the length-concealing password send.
//   - Disconnect ends the connection; Callbacks::closed reports every end with its error.
//   - SessionId, Algorithms, Fingerprint and Protocol feed the security information call.
//   - Protocol 1: versionExchanged fires with Protocol() == 1 and Ssh1() the packet layer the
//     login and session run on; the SSH-2 packet calls do nothing then.
//   - MillisecondsToTimer / CheckTimer drive the time-based re-key from the caller's waits or
//     a window timer.
// Callbacks run inside Feed, CheckTimer and the send calls; they may send, set handlers and
// disconnect, but must not destroy the Transport.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sshlib/transport/key_exchange.h"
#include "sshlib/transport/packet.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"
#include "sshlib/transport/quirks.h"
#include "sshlib/transport/ssh1_transport.h"
#include "sshlib/transport/transport_errors.h"
#include "sshlib/transport/version_exchange.h"

namespace tessan::transport {

struct TransportSettings {
    QuirkSettings quirks;
    int protocolPreference = kPreferProtocol2;  // 0, 2 or 3 (version_exchange.h)
    KexSettings kex;
    // Re-key after this much data in either direction: a decimal number, optional blanks and an
    // optional suffix k, m or g (binary multiples); "0" switches the data trigger off.
    std::string rekeyDataLimit = "1G";
    // Re-key after this many minutes; 0 switches the time trigger off.
    uint32_t rekeyMinutes = 60;
};

// How long the first exchange waits for the server's key-exchange-init before sending ours
// unprompted (servers send theirs right after the identification lines; see
// KeyExchange::AwaitServerInit).
inline constexpr uint64_t kServerInitWaitMs = 1000;

// The data limit text as a byte count ("500k" is 512000, "1G" 1073741824); text that does not
// start with a number reads as 0.
uint64_t ParseDataLimit(std::string_view text);

class Transport : private KexHost {
public:
    enum class Phase {
        kVersionExchange,  // waiting for the server's identification line
        kKeyExchange,      // the first key exchange runs
        kOpen,             // keys are active (re-keys may run)
        kClosed,           // ended; input is ignored and nothing more is sent
    };

    using Handler = std::function<void(const IncomingPacket&)>;
    using Clock = std::function<uint64_t()>;  // milliseconds, monotonic

    struct Callbacks {
        std::function<void()> versionExchanged;             // the client line has been queued
        std::function<void()> keysReady;                    // the first key exchange completed
        std::function<void(const IncomingPacket&)> packet;  // the step routine (see above)
        std::function<void(const TransportFailure&)> closed;
        std::function<void()> keyExchangeComplete;  // every exchange, the first included
    };

    Transport(const TransportSettings& settings, Callbacks callbacks);
    // With a clock and a random source of their own (tests).
    Transport(const TransportSettings& settings, Callbacks callbacks, Clock clock,
              PacketBuilder::RandomSource random);
    ~Transport() override;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // --- bytes in and out ---
    // Hands over bytes received from the server (any split). Ignored once closed.
    void Feed(const uint8_t* data, size_t length);
    // The same for bytes the caller lets the transport overwrite: whole packets among them are
    // decrypted where they lie (the bytes then hold plaintext).
    void FeedInPlace(uint8_t* data, size_t length);
    // The server closed the connection (`socketError` 0) or it broke (the socket error).
    void PeerClosed(DWORD socketError);
    // Bytes waiting to be written, in order; the caller writes a prefix and consumes it.
    std::span<const uint8_t> PendingOutput() const;
    void ConsumeOutput(size_t count);
    // Written bytes in total (for tests and traces).
    uint64_t OutputWritten() const { return outputConsumed_; }

    // --- packets ---
    // Builds and queues a packet (after an ignore message when the cipher is CBC, in the same
    // write). Held back while a key exchange runs; dropped once closed.
    void SendPacket(OutgoingPacket&& packet);
    // Builds a packet into the deferred batch (an ignore message first when the batch is empty
    // and the cipher is CBC) ...
    void DeferPacket(OutgoingPacket&& packet);
    // ... and queues the batch as one write.
    void SendDeferred();
    // Bytes of framed packets in the deferred batch.
    size_t DeferredLength() const { return deferred_.size(); }
    // The outgoing cipher's block size (8 without a cipher) and whether a cipher is active.
    size_t OutgoingBlockSize() const { return builder_.BlockSize(); }
    bool OutgoingCipherActive() const { return builder_.CipherActive(); }
    // Makes the compressor send the next packet's payload uncompressed; returns the bytes of
    // framing that adds (0 without compression).
    size_t DisableCompressionForNextPacket();
    // Installs (or, with an empty function, removes) the routine for one message number.
    void SetHandler(uint8_t type, Handler handler);
    // Restores the initial entry for a message number.
    void ResetHandler(uint8_t type);

    // --- ending ---
    // Sends a disconnect message with `reason` and `text` (nothing when `text` is empty), marks
    // the connection closed and reports it with `error` (0: a deliberate end).
    void Disconnect(uint32_t reason, std::string_view text, bool clean, DWORD error = 0);
    // True once closed: the owner writes what is pending (best effort) and closes the socket.
    bool IsClosed() const { return phase_ == Phase::kClosed; }
    const TransportFailure& Failure() const { return failure_; }

    // --- re-keying ---
    // Starts a re-key now (or after the exchange under way); with the no-rekey quirk the
    // counters and the timer are reset instead.
    void RequestRekey(std::string_view reason);
    // Milliseconds until the time trigger (or the end of the wait for the server's first
    // key-exchange-init) is due (-1: none scheduled); call CheckTimer then.
    int64_t MillisecondsToTimer() const;
    void CheckTimer();

    // --- state ---
    Phase GetPhase() const { return phase_; }
    int Protocol() const { return protocol_; }
    uint32_t Quirks() const { return quirks_; }
    // The identification lines without their line endings.
    const std::string& ServerVersionLine() const { return versionReader_.Line(); }
    const std::string& ClientVersionLine() const { return clientLine_; }
    bool KeyExchangeRunning() const { return kex_.Running(); }
    int CompletedKeyExchanges() const { return kex_.CompletedExchanges(); }
    const std::vector<uint8_t>& SessionId() const { return kex_.SessionId(); }
    const std::string& Fingerprint() const { return kex_.Fingerprint(); }
    const std::string& FingerprintSha256() const { return kex_.FingerprintSha256(); }
    // The host key the caller expects (empty: any verified key), for the protocol-1 login.
    const std::string& ExpectedHostKey() const { return settings_.kex.expectedHostKey; }
    const NegotiatedAlgorithms& Algorithms() const { return kex_.Algorithms(); }
    const KeyExchange& Kex() const { return kex_; }
    // The protocol-1 packet layer once the server was found to speak protocol 1 (else NULL).
    Ssh1Transport* Ssh1() { return ssh1_.get(); }
    const Ssh1Transport* Ssh1() const { return ssh1_.get(); }
    uint64_t IncomingBytes() const { return incomingBytes_; }
    uint64_t OutgoingBytes() const { return outgoingBytes_; }
    uint64_t DataLimit() const { return dataLimit_; }
    std::string_view LastRekeyReason() const { return lastRekeyReason_; }

private:
    struct HeldPacket {
        OutgoingPacket packet;
        bool endsBatch;
    };

    // KexHost
    uint32_t SendKexPacket(OutgoingPacket&& packet) override;
    void InstallOutgoingKeys(DirectionKeys&& keys) override;
    void InstallIncomingKeys(DirectionKeys&& keys) override;
    void KeyExchangeComplete(bool first) override;
    void KeyExchangeFailed(uint32_t reason, DWORD error, std::string_view text) override;

    void FeedVersion(const uint8_t* data, size_t length, size_t& consumed);
    void StartProtocol1();
    void FeedBytes(const uint8_t* data, uint8_t* writable, size_t length);
    void FeedPackets(const uint8_t* data, uint8_t* writable, size_t length);
    void Dispatch(const IncomingPacket& packet);
    void InstallInitialHandlers();
    void Unimplemented(const IncomingPacket& packet);
    void HandlePeerDisconnect(const IncomingPacket& packet);
    void Close(TransportFailure failure);
    void Fail(uint32_t reason, std::string_view text);
    void Queue(OutgoingPacket&& packet);
    void AppendOutput(std::span<const uint8_t> bytes);
    void CheckDataLimit();
    void ScheduleTimer();
    void FlushHeld();

    TransportSettings settings_;
    Callbacks callbacks_;
    Clock clock_;
    PacketBuilder::RandomSource random_;
    Phase phase_ = Phase::kVersionExchange;
    ServerLineReader versionReader_;
    std::string clientLine_;
    int protocol_ = 0;
    uint32_t quirks_ = 0;

    PacketReader reader_;
    PacketBuilder builder_;
    std::unique_ptr<Ssh1Transport> ssh1_;
    KeyExchange kex_;
    std::array<Handler, 256> handlers_;

    // Framed packets: plaintext passes through them before it is encrypted in place.
    SecureBytes output_;
    size_t outputStart_ = 0;
    uint64_t outputConsumed_ = 0;
    SecureBytes deferred_;
    size_t deferredCounted_ = 0;
    std::deque<HeldPacket> held_;

    uint64_t incomingBytes_ = 0;
    uint64_t outgoingBytes_ = 0;
    uint64_t dataLimit_ = 0;
    bool timerScheduled_ = false;
    uint64_t timerDue_ = 0;
    uint64_t serverInitDue_ = 0;
    std::string lastRekeyReason_;
    TransportFailure failure_;
};

}  // namespace tessan::transport
