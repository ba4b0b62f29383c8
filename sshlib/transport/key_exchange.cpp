#include "sshlib/transport/key_exchange.h"

#include <algorithm>

#include "crypto/bytes.h"
#include "crypto/fingerprint.h"
#include "crypto/random_pool.h"
#include "crypto/wire.h"
#include "sshlib/transport/key_derivation.h"
#include "sshlib/transport/quirks.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/transport_errors.h"

namespace tessan::transport {
namespace {

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

KeyExchange::KeyExchange(KexHost& host, const KexSettings& settings)
    : KeyExchange(host, settings,
                  [](uint8_t* out, size_t length) { crypto::RandomBytes(out, length); }) {}

KeyExchange::KeyExchange(KexHost& host, const KexSettings& settings, RandomSource random)
    : host_(host), settings_(settings), random_(std::move(random)), dh_([this] {
          uint8_t byte;
          random_(&byte, 1);
          return byte;
      }) {}

void KeyExchange::SetPeer(std::string clientLine, std::string serverLine, uint32_t quirks) {
    clientLine_ = std::move(clientLine);
    serverLine_ = std::move(serverLine);
    quirks_ = quirks;
}

bool KeyExchange::SentInThisExchange(uint32_t sequence) const {
    return std::find(sentSequences_.begin(), sentSequences_.end(), sequence) !=
           sentSequences_.end();
}

uint32_t KeyExchange::Send(OutgoingPacket&& packet) {
    uint32_t sequence = host_.SendKexPacket(std::move(packet));
    sentSequences_.push_back(sequence);
    return sequence;
}

void KeyExchange::Fail(uint32_t reason, std::string_view text) {
    Fail(reason, ErrorForReason(reason), text);
}

void KeyExchange::Fail(uint32_t reason, DWORD error, std::string_view text) {
    state_ = State::kIdle;
    running_ = false;
    dh_.Clear();
    agreement_.reset();
    hash_.reset();
    incoming_ = {};
    host_.KeyExchangeFailed(reason, error, text);
}

void KeyExchange::AwaitServerInit() {
    sentSequences_.clear();
    running_ = true;
    state_ = State::kAwaitingServer;
}

void KeyExchange::SendInitUnprompted() {
    if (state_ != State::kAwaitingServer) return;
    // Nothing is known of the server's strictness yet.
    SendKexInit({.firstExchange = true, .strictModesAllowed = false});
}

void KeyExchange::Start() {
    sentSequences_.clear();
    SendKexInit({.firstExchange = !firstDone_, .strictModesAllowed = strict_});
}

void KeyExchange::SendKexInit(const OfferContext& context) {
    running_ = true;
    state_ = State::kInitSent;
    offerContext_ = context;
    uint8_t cookie[16];
    random_(cookie, sizeof cookie);
    OutgoingPacket packet = BuildKexInit(settings_, context, cookie);
    ourInit_.assign(packet.Payload().begin(), packet.Payload().end());
    Send(std::move(packet));
}

void KeyExchange::RequestRekey() {
    if (state_ == State::kEstablished) {
        Start();
    } else {
        rekeyPending_ = true;
    }
}

void KeyExchange::HandlePacket(const IncomingPacket& packet) {
    const uint8_t type = packet.Type();
    if (type == kMsgUnimplemented) {
        Fail(kDisconnectKeyExchangeFailed, "Key exchange message not understood by the server");
        return;
    }
    switch (state_) {
        case State::kAwaitingServer: {
            if (type != kMsgKexInit) break;
            std::optional<KexInitMessage> server = ParseKexInit(packet.Payload());
            const bool serverStrict =
                server && NameListContains(server->lists[kListKex], kStrictKexServer);
            SendKexInit({.firstExchange = true, .strictModesAllowed = serverStrict});
            HandleServerInit(packet);
            return;
        }
        case State::kIdle:
        case State::kEstablished:
            if (type != kMsgKexInit) break;
            Start();
            HandleServerInit(packet);
            return;
        case State::kInitSent:
            if (type != kMsgKexInit) break;
            HandleServerInit(packet);
            return;
        case State::kGroupRequested:
            if (ignoreNextPacket_) {
                ignoreNextPacket_ = false;
                return;
            }
            if (type != kMsgKexGexGroup) break;
            HandleGroup(packet);
            return;
        case State::kReplyWait:
            if (ignoreNextPacket_) {
                ignoreNextPacket_ = false;
                return;
            }
            if (type != replyType_) break;
            HandleReply(packet);
            return;
        case State::kNewKeysWait:
            if (type != kMsgNewKeys) break;
            HandleNewKeys();
            return;
    }
    Fail(kDisconnectProtocolError, "Unexpected message during key exchange");
}

void KeyExchange::HashString(std::span<const uint8_t> bytes) {
    uint8_t length[4];
    crypto::StoreBe32(length, static_cast<uint32_t>(bytes.size()));
    hash_->Update(length, 4);
    hash_->Update(bytes);
}

void KeyExchange::HashUint32(uint32_t value) {
    uint8_t bytes[4];
    crypto::StoreBe32(bytes, value);
    hash_->Update(bytes, 4);
}

void KeyExchange::HashMpint(const crypto::BigNum& value) {
    std::vector<uint8_t> encoded;
    encoded.reserve(value.ByteCount() + 5);  // no reallocation leaves a copy of K behind
    crypto::AppendMpint(encoded, value);
    hash_->Update(encoded.data(), encoded.size());
    SecureWipe(encoded.data(), encoded.size());
}

void KeyExchange::HandleServerInit(const IncomingPacket& packet) {
    std::optional<KexInitMessage> server = ParseKexInit(packet.Payload());
    if (!server) {
        Fail(kDisconnectProtocolError, "Malformed key exchange init");
        return;
    }
    if (!firstDone_ && NameListContains(server->lists[kListKex], kStrictKexServer)) {
        // Our first init always asks for it. A strict server's init is its first packet.
        strict_ = true;
        if (packet.Sequence() != 0) {
            Fail(kDisconnectProtocolError,
                 "Strict key exchange: the server sent other packets before its key exchange init");
            return;
        }
    }
    bool guessRight = false;
    const Offer offer = BuildOffer(settings_, (quirks_ & kQuirkHmacKeys16) != 0, offerContext_);
    NegotiationResult result = Negotiate(offer, settings_.compression, *server, next_, guessRight);
    if (result != NegotiationResult::kOk) {
        Fail(kDisconnectKeyExchangeFailed, NegotiationFailureText(result, *server));
        return;
    }
    ignoreNextPacket_ = server->firstKexPacketFollows && !guessRight;

    const crypto::HashDescriptor& hash = *next_.kex->exchangeHash;
    hash_ = hash.CreateContext();
    HashString(Bytes(clientLine_));
    HashString(Bytes(serverLine_));
    HashString(ourInit_);
    HashString(packet.Payload());

    // The exponent and the group follow the stronger of the two ciphers, up to what the
    // exchange hash can carry.
    keyBits_ = std::max(next_.cipher[0]->keyBits, next_.cipher[1]->keyBits);
    keyBits_ = std::min(keyBits_, hash.digestLength * 8);

    if (next_.kex->IsEllipticCurve()) {
        groupBits_ = 0;
        agreement_ = next_.kex->createAgreement();
        ourPublic_ = agreement_->GenerateKeyPair(random_);
        OutgoingPacket init(kMsgKexEcdhInit);
        init.AddString(ourPublic_);
        replyType_ = kMsgKexEcdhReply;
        state_ = State::kReplyWait;
        Send(std::move(init));
        return;
    }
    if (next_.kex->IsGroupExchange()) {
        groupBits_ = 512u << ((keyBits_ - 1) / 64);
        OutgoingPacket request(kMsgKexGexRequest);
        request.AddUint32(kMinGroupBits).AddUint32(groupBits_).AddUint32(kMaxGroupBits);
        state_ = State::kGroupRequested;
        Send(std::move(request));
        return;
    }
    groupBits_ = 0;
    dh_.SetupGroup(*next_.kex);
    SendInit();
}

void KeyExchange::SendInit() {
    const crypto::BigNum& e = dh_.CreateE(2 * keyBits_);
    bool groupExchange = next_.kex->IsGroupExchange();
    OutgoingPacket init(groupExchange ? kMsgKexGexInit : kMsgKexDhInit);
    init.AddMpint(e);
    replyType_ = groupExchange ? kMsgKexGexReply : kMsgKexDhReply;
    state_ = State::kReplyWait;
    Send(std::move(init));
}

void KeyExchange::HandleGroup(const IncomingPacket& packet) {
    IncomingPacket reader = packet;
    crypto::BigNum p, g;
    if (!reader.ReadMpint(p) || !reader.ReadMpint(g)) {
        Fail(kDisconnectProtocolError, "Malformed group exchange group");
        return;
    }
    if (const std::string problem = crypto::ServerGroupProblem(p, g); !problem.empty()) {
        Fail(kDisconnectKeyExchangeFailed, "Unusable group exchange group: " + problem);
        return;
    }
    dh_.SetupServerGroup(p, g);
    SendInit();
}

void KeyExchange::HandleReply(const IncomingPacket& packet) {
    IncomingPacket reader = packet;
    std::span<const uint8_t> hostKeyBlob, serverPublic, signature;
    crypto::BigNum f;
    const bool ellipticCurve = next_.kex->IsEllipticCurve();
    const bool parsed = reader.ReadString(hostKeyBlob) &&
                        (ellipticCurve ? reader.ReadString(serverPublic) : reader.ReadMpint(f)) &&
                        reader.ReadString(signature);
    if (!parsed) {
        Fail(kDisconnectProtocolError, "Malformed key exchange reply");
        return;
    }
    std::optional<crypto::BigNum> secret;
    if (!ellipticCurve) {
        secret = dh_.FindK(f);
    } else if (std::optional<crypto::SecretBytes> shared = agreement_->SharedSecret(serverPublic)) {
        secret = crypto::BigNum::FromBytes(*shared);
    }
    if (!secret) {
        Fail(kDisconnectKeyExchangeFailed, ellipticCurve ? "Invalid elliptic-curve public value"
                                                         : "Diffie-Hellman value out of range");
        return;
    }
    HashString(hostKeyBlob);
    if (ellipticCurve) {
        HashString(ourPublic_);
        HashString(serverPublic);
    } else {
        if (next_.kex->IsGroupExchange()) {
            HashUint32(kMinGroupBits);
            HashUint32(groupBits_);
            HashUint32(kMaxGroupBits);
            HashMpint(dh_.Prime());
            HashMpint(dh_.Generator());
        }
        HashMpint(dh_.PublicValue());
        HashMpint(f);
    }
    HashMpint(*secret);
    exchangeHash_.assign(next_.kex->exchangeHash->digestLength, 0);
    hash_->Finish(exchangeHash_.data());
    hash_.reset();
    agreement_.reset();

    std::unique_ptr<crypto::HostKey> key = next_.hostKey->FromBlob(hostKeyBlob);
    if (!key) {
        Fail(kDisconnectHostKeyNotVerifiable, "Host key could not be read");
        return;
    }
    if (const std::string weakness = key->Weakness(); !weakness.empty()) {
        Fail(kDisconnectHostKeyNotVerifiable, weakness);
        return;
    }
    if (!key->Verify(signature, exchangeHash_)) {
        Fail(kDisconnectHostKeyNotVerifiable, "Host key signature does not verify");
        return;
    }
    fingerprint_ = key->Fingerprint();
    fingerprintSha256_ = key->Sha256Fingerprint();
    if (!settings_.expectedHostKey.empty() &&
        !crypto::FingerprintMatches(settings_.expectedHostKey, fingerprint_, fingerprintSha256_)) {
        Fail(kDisconnectHostKeyNotVerifiable, kErrHostKeyMismatch,
             "Host key does not match the expected key");
        return;
    }
    if (!firstDone_) sessionId_ = exchangeHash_;

    DirectionKeys outgoing = MakeKeys(0, *secret, 'C', 'A', 'E');
    incoming_ = MakeKeys(1, *secret, 'D', 'B', 'F');
    Send(OutgoingPacket(kMsgNewKeys));
    state_ = State::kNewKeysWait;
    running_ = false;
    host_.InstallOutgoingKeys(std::move(outgoing));
}

DirectionKeys KeyExchange::MakeKeys(int direction, const crypto::BigNum& secret, char cipherKey,
                                    char iv, char macKey) {
    const crypto::HashDescriptor& hash = *next_.kex->exchangeHash;
    const bool omitSecret = (quirks_ & kQuirkDeriveWithoutSecret) != 0;
    uint8_t material[kMaxKeyMaterial];
    DirectionKeys keys;
    keys.cipherDescriptor = next_.cipher[direction];
    if (const crypto::AeadDescriptor* aead = keys.cipherDescriptor->aead) {
        keys.aead = aead->CreateContext();
        DeriveKey(hash, secret, exchangeHash_, cipherKey, sessionId_, omitSecret, material);
        keys.aead->SetKey(material);
        DeriveKey(hash, secret, exchangeHash_, iv, sessionId_, omitSecret, material);
        keys.aead->SetIv(material);
    } else {
        keys.cipher = keys.cipherDescriptor->CreateContext();
        DeriveKey(hash, secret, exchangeHash_, cipherKey, sessionId_, omitSecret, material);
        keys.cipher->SetKey(material);
        DeriveKey(hash, secret, exchangeHash_, iv, sessionId_, omitSecret, material);
        keys.cipher->SetIv(material);
        keys.macDescriptor = next_.mac[direction];
        keys.mac = keys.macDescriptor->CreateContext();
        DeriveKey(hash, secret, exchangeHash_, macKey, sessionId_, omitSecret, material);
        keys.mac->SetKey(material);
    }
    SecureWipe(material, sizeof material);
    keys.compression = next_.compression[direction];
    return keys;
}

void KeyExchange::HandleNewKeys() {
    host_.InstallIncomingKeys(std::move(incoming_));
    incoming_ = {};
    dh_.Clear();
    current_ = next_;
    state_ = State::kEstablished;
    ++completed_;
    bool first = !firstDone_;
    firstDone_ = true;
    host_.KeyExchangeComplete(first);
    if (rekeyPending_ && state_ == State::kEstablished) {
        rekeyPending_ = false;
        Start();
    }
}

}  // namespace tessan::transport
