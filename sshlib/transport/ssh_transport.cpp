#include "sshlib/transport/ssh_transport.h"

#include <chrono>

#include "crypto/random_pool.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/trace_records.h"

namespace tessan::transport {
namespace {

uint64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void PoolRandom(uint8_t* out, size_t length) {
    crypto::RandomBytes(out, length);
}

// Messages that keep their empty entry (they reach the key exchange or the step routine):
// 3, 5, 6, 20, 21, 30-33, 50-53, 60, 61, 80-82, 90-100.
bool RoutedByDefault(int type) {
    return type == 3 || type == 5 || type == 6 || type == 20 || type == 21 ||
           (type >= 30 && type <= 33) || (type >= 50 && type <= 53) || type == 60 || type == 61 ||
           (type >= 80 && type <= 82) || (type >= 90 && type <= 100);
}

constexpr size_t kCompactThreshold = 64 * 1024;

}  // namespace

uint64_t ParseDataLimit(std::string_view text) {
    uint64_t value = 0;
    size_t i = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
        ++i;
    }
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    uint64_t multiplier = 1;
    if (i < text.size()) {
        switch (text[i]) {
            case 'k':
            case 'K':
                multiplier = 1024;
                break;
            case 'm':
            case 'M':
                multiplier = 1024 * 1024;
                break;
            case 'g':
            case 'G':
                multiplier = 1024 * 1024 * 1024;
                break;
            default:
                break;
        }
    }
    return value > UINT64_MAX / multiplier ? UINT64_MAX : value * multiplier;
}

Transport::Transport(const TransportSettings& settings, Callbacks callbacks)
    : Transport(settings, std::move(callbacks), SteadyMilliseconds, PoolRandom) {}

Transport::Transport(const TransportSettings& settings, Callbacks callbacks, Clock clock,
                     PacketBuilder::RandomSource random)
    : settings_(settings),
      callbacks_(std::move(callbacks)),
      clock_(std::move(clock)),
      random_(random),
      builder_(random),
      kex_(*this, settings.kex, random) {
    crypto::RandomAddReference();
    dataLimit_ = ParseDataLimit(settings_.rekeyDataLimit);
    InstallInitialHandlers();
}

Transport::~Transport() {
    crypto::RandomDropReference();
}

void Transport::InstallInitialHandlers() {
    for (int type = 0; type < 256; ++type)
        ResetHandler(static_cast<uint8_t>(type));
}

void Transport::ResetHandler(uint8_t type) {
    switch (type) {
        case kMsgDisconnect:
            handlers_[type] = [this](const IncomingPacket& p) { HandlePeerDisconnect(p); };
            return;
        case kMsgIgnore:
            handlers_[type] = [](const IncomingPacket&) {};
            return;
        case kMsgDebug:
            // The always-display flag and the message are read and dropped.
            handlers_[type] = [](const IncomingPacket&) {};
            return;
        default:
            if (RoutedByDefault(type)) {
                handlers_[type] = nullptr;
            } else {
                handlers_[type] = [this](const IncomingPacket& p) { Unimplemented(p); };
            }
    }
}

void Transport::SetHandler(uint8_t type, Handler handler) {
    handlers_[type] = std::move(handler);
}

// --- input ---

void Transport::Feed(const uint8_t* data, size_t length) {
    FeedBytes(data, nullptr, length);
}

void Transport::FeedInPlace(uint8_t* data, size_t length) {
    FeedBytes(data, data, length);
}

void Transport::FeedBytes(const uint8_t* data, uint8_t* writable, size_t length) {
    if (IsClosed()) return;
    size_t offset = 0;
    if (phase_ == Phase::kVersionExchange) {
        FeedVersion(data, length, offset);
        if (phase_ == Phase::kVersionExchange || IsClosed()) return;
    }
    FeedPackets(data + offset, writable ? writable + offset : nullptr, length - offset);
}

void Transport::FeedVersion(const uint8_t* data, size_t length, size_t& consumed) {
    switch (versionReader_.Feed(data, length, consumed)) {
        case ServerLineReader::Result::kNeedMore:
            return;
        case ServerLineReader::Result::kTooLong:
            Close({kErrProtocol, 0, "Server identification line too long", true, false});
            return;
        case ServerLineReader::Result::kDone:
            break;
    }
    std::optional<int> protocol =
        ChooseProtocol(settings_.protocolPreference, versionReader_.ProtocolVersion());
    if (!protocol) {
        Close({kErrProtocolNotSupported, 0, "Protocol version not supported", true, false});
        return;
    }
    quirks_ = DetectQuirks(settings_.quirks, versionReader_.SoftwareVersion());
    if (*protocol == 1) {
        StartProtocol1();
        return;
    }
    protocol_ = 2;
    std::string line = ClientLine(2, versionReader_.ProtocolVersion());
    output_.insert(output_.end(), line.begin(), line.end());
    clientLine_ = line.substr(0, line.size() - 2);  // without CR LF, for the exchange hash
    kex_.SetPeer(clientLine_, versionReader_.Line(), quirks_);
    phase_ = Phase::kKeyExchange;
    if (callbacks_.versionExchanged) callbacks_.versionExchanged();
    if (IsClosed()) return;
    kex_.AwaitServerInit();
    serverInitDue_ = clock_() + kServerInitWaitMs;
}

void Transport::StartProtocol1() {
    protocol_ = 1;
    std::string line = ClientLine(1, versionReader_.ProtocolVersion());
    output_.insert(output_.end(), line.begin(), line.end());
    clientLine_ = line.substr(0, line.size() - 1);
    Ssh1Transport::Hooks hooks;
    hooks.output = [this](const std::vector<uint8_t>& bytes) {
        if (!IsClosed()) AppendOutput(bytes);
    };
    hooks.failed = [this](TransportFailure failure) { Close(std::move(failure)); };
    ssh1_ = std::make_unique<Ssh1Transport>(std::move(hooks), random_);
    phase_ = Phase::kKeyExchange;
    if (callbacks_.versionExchanged) callbacks_.versionExchanged();
}

void Transport::FeedPackets(const uint8_t* data, uint8_t* writable, size_t length) {
    if (ssh1_) {
        ssh1_->Feed(data, length);
        return;
    }
    size_t offset = 0;
    while (offset < length && !IsClosed()) {
        size_t consumed = 0;
        PacketReader::Result result =
            writable ? reader_.FeedInPlace(writable + offset, length - offset, consumed)
                     : reader_.Feed(data + offset, length - offset, consumed);
        offset += consumed;
        switch (result) {
            case PacketReader::Result::kNeedMore:
                break;
            case PacketReader::Result::kPacket:
                // Numbering that wraps before the first exchange is over would let 2^32 packets
                // slipped in ahead of it go unnoticed by the strict check of the server's first
                // packet: no server needs that many, so none gets them.
                if (!kex_.FirstDone() && reader_.NextSequence() == 0) {
                    Fail(kDisconnectProtocolError, "Sequence number wrapped before the keys");
                    break;
                }
                incomingBytes_ += reader_.PacketWireLength();
                Dispatch(reader_.Packet());
                CheckDataLimit();
                break;
            case PacketReader::Result::kBadLength:
                // Before keys are active a bad first block is skipped; afterwards the stream is
                // out of step for good.
                if (reader_.KeysActive()) Fail(kDisconnectProtocolError, "Invalid packet length");
                break;
            case PacketReader::Result::kBadMac:
                Fail(kDisconnectMacError, "Corrupted MAC on input");
                break;
            case PacketReader::Result::kBadCompression:
                Fail(kDisconnectCompressionError, "Invalid compressed data");
                break;
        }
    }
}

void Transport::Dispatch(const IncomingPacket& packet) {
    if (IsClosed()) return;
    const uint8_t type = packet.Type();
    trace::Packet(2, false, type, packet.Payload().size());
    // A strict first exchange admits only its own messages (and the server's disconnect): an
    // ignore or debug message slipped in there is how a prefix-truncation attack hides.
    if (kex_.Strict() && !kex_.FirstDone() && type != kMsgDisconnect &&
        (type < kFirstKexMessage || type > kLastKexMessage)) {
        Fail(kDisconnectProtocolError,
             "Strict key exchange: unexpected message during the key exchange");
        return;
    }
    if (handlers_[type]) {
        handlers_[type](packet);
        return;
    }
    if (!kex_.FirstDone() || (type >= kFirstKexMessage && type <= kLastKexMessage)) {
        kex_.HandlePacket(packet);
        return;
    }
    if (type == kMsgUnimplemented && kex_.GetState() != KeyExchange::State::kEstablished) {
        // A refusal of one of our key-exchange messages ends the exchange.
        IncomingPacket reader = packet;
        uint32_t sequence;
        if (reader.ReadUint32(sequence) && kex_.SentInThisExchange(sequence)) {
            kex_.HandlePacket(packet);
            return;
        }
    }
    if (callbacks_.packet) callbacks_.packet(packet);
}

void Transport::Unimplemented(const IncomingPacket& packet) {
    OutgoingPacket reply(kMsgUnimplemented);
    reply.AddUint32(packet.Sequence());
    SendKexPacket(std::move(reply));
}

void Transport::HandlePeerDisconnect(const IncomingPacket& packet) {
    IncomingPacket reader = packet;
    uint32_t reason = 0;
    std::string_view description;
    reader.ReadUint32(reason);
    reader.ReadString(description);
    Close({kErrConnectionClosed, reason, std::string(description), true, false});
}

void Transport::PeerClosed(DWORD socketError) {
    if (IsClosed()) return;
    Close({socketError ? socketError : kErrConnectionClosed, 0, {}, true, false});
}

// --- output ---

std::span<const uint8_t> Transport::PendingOutput() const {
    return {output_.data() + outputStart_, output_.size() - outputStart_};
}

void Transport::ConsumeOutput(size_t count) {
    count = std::min(count, output_.size() - outputStart_);
    outputStart_ += count;
    outputConsumed_ += count;
    if (outputStart_ == output_.size()) {
        output_.clear();
        outputStart_ = 0;
    } else if (outputStart_ > kCompactThreshold && outputStart_ > output_.size() / 2) {
        output_.erase(output_.begin(), output_.begin() + static_cast<ptrdiff_t>(outputStart_));
        outputStart_ = 0;
    }
}

void Transport::AppendOutput(std::span<const uint8_t> bytes) {
    output_.insert(output_.end(), bytes.begin(), bytes.end());
}

void Transport::SendPacket(OutgoingPacket&& packet) {
    if (IsClosed() || phase_ == Phase::kVersionExchange) return;
    if (kex_.Running()) {
        held_.push_back({std::move(packet), true});
        return;
    }
    if (builder_.Cbc()) {
        DeferPacket(std::move(packet));
        SendDeferred();
        return;
    }
    trace::Packet(2, true, packet.Type(), packet.Payload().size());
    outgoingBytes_ += builder_.Build(packet, output_);
    CheckDataLimit();
}

void Transport::DeferPacket(OutgoingPacket&& packet) {
    if (IsClosed() || phase_ == Phase::kVersionExchange) return;
    if (kex_.Running()) {
        held_.push_back({std::move(packet), false});
        return;
    }
    // A batch under CBC never starts with data the peer chose: an ignore message leads.
    if (deferred_.empty() && builder_.Cbc()) {
        OutgoingPacket ignore(kMsgIgnore);
        ignore.AddString(std::string_view());
        deferredCounted_ += builder_.Build(ignore, deferred_);
    }
    trace::Packet(2, true, packet.Type(), packet.Payload().size());
    deferredCounted_ += builder_.Build(packet, deferred_);
}

void Transport::SendDeferred() {
    if (IsClosed()) return;
    if (kex_.Running() && !held_.empty()) {
        held_.back().endsBatch = true;
        return;
    }
    if (deferred_.empty()) return;
    AppendOutput(deferred_);
    outgoingBytes_ += deferredCounted_;
    deferred_.clear();
    deferredCounted_ = 0;
    CheckDataLimit();
}

size_t Transport::DisableCompressionForNextPacket() {
    ZlibCompressor* compressor = builder_.Compressor();
    return compressor ? compressor->DisableCompression() : 0;
}

uint32_t Transport::SendKexPacket(OutgoingPacket&& packet) {
    // Packets must leave in sequence order: a batch built earlier goes first.
    if (!deferred_.empty()) {
        AppendOutput(deferred_);
        outgoingBytes_ += deferredCounted_;
        deferred_.clear();
        deferredCounted_ = 0;
    }
    if (builder_.Cbc()) {
        OutgoingPacket ignore(kMsgIgnore);
        ignore.AddString(std::string_view());
        outgoingBytes_ += builder_.Build(ignore, output_);
    }
    uint32_t sequence = builder_.NextSequence();
    trace::Packet(2, true, packet.Type(), packet.Payload().size());
    outgoingBytes_ += builder_.Build(packet, output_);
    return sequence;
}

void Transport::FlushHeld() {
    std::deque<HeldPacket> held;
    held.swap(held_);
    while (!held.empty() && !IsClosed()) {
        HeldPacket item = std::move(held.front());
        held.pop_front();
        if (kex_.Running()) {
            // A re-key started while flushing: the rest waits for it.
            held_.push_back(std::move(item));
            continue;
        }
        DeferPacket(std::move(item.packet));
        if (item.endsBatch) SendDeferred();
    }
}

// --- key exchange ---

void Transport::InstallOutgoingKeys(DirectionKeys&& keys) {
    const crypto::CipherDescriptor& cipher = *keys.cipherDescriptor;
    if (cipher.aead) {
        builder_.SetAeadKeys(std::move(keys.aead), cipher.blockSize, cipher.aead->tagLength,
                             keys.compression->CreateCompressor());
    } else {
        builder_.SetKeys(std::move(keys.cipher), cipher.blockSize, cipher.cbc, std::move(keys.mac),
                         keys.macDescriptor->macLength, keys.compression->CreateCompressor(),
                         keys.macDescriptor->encryptThenMac);
    }
    // Strict mode: numbering restarts after each new-keys we send.
    if (kex_.Strict()) builder_.SetNextSequence(0);
    outgoingBytes_ = 0;
    FlushHeld();
}

void Transport::InstallIncomingKeys(DirectionKeys&& keys) {
    const crypto::CipherDescriptor& cipher = *keys.cipherDescriptor;
    if (cipher.aead) {
        reader_.SetAeadKeys(std::move(keys.aead), cipher.blockSize, cipher.aead->tagLength,
                            keys.compression->CreateDecompressor());
    } else {
        reader_.SetKeys(std::move(keys.cipher), cipher.blockSize, std::move(keys.mac),
                        keys.macDescriptor->macLength, keys.compression->CreateDecompressor(),
                        keys.macDescriptor->encryptThenMac);
    }
    // Strict mode: numbering restarts after each new-keys received.
    if (kex_.Strict()) reader_.SetNextSequence(0);
    incomingBytes_ = 0;
}

void Transport::KeyExchangeComplete(bool first) {
    phase_ = Phase::kOpen;
    ScheduleTimer();
    if (callbacks_.keyExchangeComplete) callbacks_.keyExchangeComplete();
    if (first && !IsClosed() && callbacks_.keysReady) callbacks_.keysReady();
}

void Transport::KeyExchangeFailed(uint32_t reason, DWORD error, std::string_view text) {
    Disconnect(reason, text, false, error);
}

// --- ending ---

void Transport::Fail(uint32_t reason, std::string_view text) {
    Disconnect(reason, text, false, ErrorForReason(reason));
}

void Transport::Disconnect(uint32_t reason, std::string_view text, bool clean, DWORD error) {
    if (IsClosed()) return;
    if (ssh1_ && !text.empty()) {
        ssh1_->SendDisconnect(text);
    } else if (!text.empty() && phase_ != Phase::kVersionExchange) {
        OutgoingPacket message(kMsgDisconnect);
        message.AddUint32(reason).AddString(text).AddString(std::string_view("en"));
        SendKexPacket(std::move(message));
    }
    Close({error, reason, std::string(text), false, clean});
}

void Transport::Close(TransportFailure failure) {
    if (IsClosed()) return;
    phase_ = Phase::kClosed;
    failure_ = std::move(failure);
    held_.clear();
    deferred_.clear();
    deferredCounted_ = 0;
    timerScheduled_ = false;
    if (callbacks_.closed) callbacks_.closed(failure_);
}

// --- re-keying ---

void Transport::RequestRekey(std::string_view reason) {
    if (phase_ != Phase::kOpen) return;
    lastRekeyReason_ = std::string(reason);
    if (quirks_ & kQuirkNoRekey) {
        incomingBytes_ = 0;
        outgoingBytes_ = 0;
        ScheduleTimer();
        return;
    }
    kex_.RequestRekey();
}

void Transport::CheckDataLimit() {
    if (dataLimit_ == 0 || phase_ != Phase::kOpen || kex_.Running() ||
        kex_.GetState() != KeyExchange::State::kEstablished) {
        return;
    }
    if (incomingBytes_ > dataLimit_ || outgoingBytes_ > dataLimit_) RequestRekey("data overflow");
}

void Transport::ScheduleTimer() {
    timerScheduled_ = settings_.rekeyMinutes != 0;
    if (timerScheduled_) timerDue_ = clock_() + uint64_t{settings_.rekeyMinutes} * 60000;
}

int64_t Transport::MillisecondsToTimer() const {
    if (IsClosed()) return -1;
    uint64_t due;
    if (kex_.AwaitingServerInit()) {
        due = serverInitDue_;
    } else if (timerScheduled_) {
        due = timerDue_;
    } else {
        return -1;
    }
    uint64_t now = clock_();
    return now >= due ? 0 : static_cast<int64_t>(due - now);
}

void Transport::CheckTimer() {
    if (IsClosed()) return;
    if (kex_.AwaitingServerInit()) {
        if (clock_() >= serverInitDue_) kex_.SendInitUnprompted();
        return;
    }
    if (!timerScheduled_ || clock_() < timerDue_) return;
    if (kex_.Running() || kex_.GetState() != KeyExchange::State::kEstablished) return;
    timerScheduled_ = false;
    RequestRekey("operation timeout");
}

}  // namespace tessan::transport
