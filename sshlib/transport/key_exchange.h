// The SSH-2 key exchange (RFC 4253 sections 7 and 8, RFC 4419): our key-exchange-init, the
// negotiation, Diffie-Hellman with a fixed group or a group the server chooses, the exchange
// hash, the host-key signature, key derivation and the switch to new keys, for the first
// exchange and every re-key. It receives one packet at a time and acts through its host (the
// transport), so it does no I/O of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/dh.h"
#include "crypto/hash.h"
#include "crypto/key_agreement.h"
#include "platform/platform_types.h"
#include "sshlib/transport/kex_init.h"
#include "sshlib/transport/packet.h"

namespace tessan::transport {

// The keys of one direction, ready to use: a cipher and a MAC, or (an authenticated cipher)
// an AEAD context alone.
struct DirectionKeys {
    const crypto::CipherDescriptor* cipherDescriptor = nullptr;
    std::unique_ptr<crypto::CipherContext> cipher;
    std::unique_ptr<crypto::AeadContext> aead;
    const crypto::MacDescriptor* macDescriptor = nullptr;  // null with an AEAD
    std::unique_ptr<crypto::MacContext> mac;
    const CompressionDescriptor* compression = nullptr;
};

// What the key exchange needs from the packet layer.
class KexHost {
public:
    virtual ~KexHost() = default;
    // Sends a key-exchange packet at once (never held back); returns its sequence number.
    virtual uint32_t SendKexPacket(OutgoingPacket&& packet) = 0;
    // New-keys went out: later packets use these keys; packets held back meanwhile may go.
    virtual void InstallOutgoingKeys(DirectionKeys&& keys) = 0;
    // The server's new-keys arrived: the packets after it use these keys.
    virtual void InstallIncomingKeys(DirectionKeys&& keys) = 0;
    // An exchange completed in both directions (`first`: the connection's first one).
    virtual void KeyExchangeComplete(bool first) = 0;
    // The exchange failed: disconnect with `reason` and `text`, report `error`.
    virtual void KeyExchangeFailed(uint32_t reason, DWORD error, std::string_view text) = 0;
};

class KeyExchange {
public:
    enum class State {
        kIdle,            // nothing sent yet
        kAwaitingServer,  // first exchange: our init waits for the server's (see AwaitServerInit)
        kInitSent,        // our key-exchange-init sent, waiting for the server's
        kGroupRequested,  // group exchange: waiting for the server's group
        kReplyWait,       // our e sent, waiting for the reply with f and the signature
        kNewKeysWait,     // our new-keys sent, waiting for the server's
        kEstablished,     // keys in use; waiting for a re-key
    };

    // Group-exchange request bounds (RFC 4419).
    static constexpr uint32_t kMinGroupBits = 1024;
    static constexpr uint32_t kMaxGroupBits = 8192;

    using RandomSource = std::function<void(uint8_t* out, size_t length)>;

    KeyExchange(KexHost& host, const KexSettings& settings);
    // Tests may supply the random bytes of the cookie and the private exponent.
    KeyExchange(KexHost& host, const KexSettings& settings, RandomSource random);

    // Both identification lines without line endings, and the peer quirks; before Start.
    void SetPeer(std::string clientLine, std::string serverLine, uint32_t quirks);

    // The first exchange: our key-exchange-init waits for the server's, whose lists tell whether
    // the exchange will be strict and so whether the modes that need it may be offered.
    // Servers send theirs right after the identification lines; SendInitUnprompted ends the
    // wait for one that waits for ours.
    void AwaitServerInit();
    bool AwaitingServerInit() const { return state_ == State::kAwaitingServer; }
    void SendInitUnprompted();
    // Sends our key-exchange-init and marks an exchange as running.
    void Start();
    // Handles a packet the transport routed here (any message before the first exchange
    // completed; messages 20-49 afterwards).
    void HandlePacket(const IncomingPacket& packet);
    // A re-key without a packet: starts at once when keys are in use, otherwise as soon as the
    // running exchange completes.
    void RequestRekey();

    // Our key-exchange-init has gone out and our new-keys not yet (other packets wait).
    bool Running() const { return running_; }
    State GetState() const { return state_; }
    bool FirstDone() const { return firstDone_; }
    // Both sides asked for strict key exchange in the first exchange: sequence numbers restart
    // at every new-keys, and the first exchange admits nothing but its own messages.
    bool Strict() const { return strict_; }
    int CompletedExchanges() const { return completed_; }
    // Whether `sequence` is one of our packets of the exchange under way.
    bool SentInThisExchange(uint32_t sequence) const;

    // The exchange hash of the first exchange (empty before it).
    const std::vector<uint8_t>& SessionId() const { return sessionId_; }
    // "<algorithm> <bits> <md5 hex>" of the latest host key (empty before the first reply).
    const std::string& Fingerprint() const { return fingerprint_; }
    // "SHA256:" and the unpadded Base64 SHA-256 of the latest host key blob (ssh-keygen -l's
    // form; empty before the first reply).
    const std::string& FingerprintSha256() const { return fingerprintSha256_; }
    // The algorithms of the latest completed exchange.
    const NegotiatedAlgorithms& Algorithms() const { return current_; }
    // Of the exchange under way (or the latest): the key length in bits that sized the group and
    // the exponent, and the group size requested in a group exchange (0 for fixed groups).
    size_t KeyBits() const { return keyBits_; }
    uint32_t RequestedGroupBits() const { return groupBits_; }
    const std::vector<uint8_t>& ExchangeHash() const { return exchangeHash_; }

private:
    void Fail(uint32_t reason, std::string_view text);
    void Fail(uint32_t reason, DWORD error, std::string_view text);
    uint32_t Send(OutgoingPacket&& packet);
    void HandleServerInit(const IncomingPacket& packet);
    void HandleGroup(const IncomingPacket& packet);
    void HandleReply(const IncomingPacket& packet);
    void HandleNewKeys();
    void SendInit();
    void SendKexInit(const OfferContext& context);
    void HashString(std::span<const uint8_t> bytes);
    void HashMpint(const crypto::BigNum& value);
    void HashUint32(uint32_t value);
    DirectionKeys MakeKeys(int direction, const crypto::BigNum& secret, char cipherKey, char iv,
                           char macKey);

    KexHost& host_;
    KexSettings settings_;
    RandomSource random_;
    std::string clientLine_, serverLine_;
    uint32_t quirks_ = 0;

    State state_ = State::kIdle;
    bool running_ = false;
    bool firstDone_ = false;
    bool rekeyPending_ = false;
    bool strict_ = false;
    OfferContext offerContext_;
    bool ignoreNextPacket_ = false;
    int completed_ = 0;
    std::vector<uint32_t> sentSequences_;

    std::vector<uint8_t> ourInit_;
    NegotiatedAlgorithms next_;
    NegotiatedAlgorithms current_;
    size_t keyBits_ = 0;
    uint32_t groupBits_ = 0;
    uint8_t replyType_ = 0;
    crypto::DiffieHellman dh_;
    std::unique_ptr<crypto::KeyAgreement> agreement_;
    std::vector<uint8_t> ourPublic_;  // Q_C
    std::unique_ptr<crypto::HashContext> hash_;
    std::vector<uint8_t> exchangeHash_;
    std::vector<uint8_t> sessionId_;
    std::string fingerprint_;
    std::string fingerprintSha256_;
    DirectionKeys incoming_;
};

}  // namespace tessan::transport
