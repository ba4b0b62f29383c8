#include "sshlib/transport/ssh1_packet.h"

#include <algorithm>
#include <cstring>

#include "crypto/crc_attack_detector.h"
#include "crypto/secure_memory.h"

namespace tessan::transport {
namespace {

constexpr size_t kBlock = 8;
constexpr size_t kCheckLength = 4;

void PutUint32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value >> 24);
    out[1] = static_cast<uint8_t>(value >> 16);
    out[2] = static_cast<uint8_t>(value >> 8);
    out[3] = static_cast<uint8_t>(value);
}

uint32_t GetUint32(const uint8_t* in) {
    return (uint32_t{in[0]} << 24) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 8) | in[3];
}

size_t PaddingFor(size_t length) {
    return kBlock - length % kBlock;
}

}  // namespace

// --- outgoing ---

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddByte(uint8_t value) {
    payload_.push_back(value);
    return *this;
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddUint32(uint32_t value) {
    uint8_t bytes[4];
    PutUint32(bytes, value);
    return AddBytes(bytes);
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddBytes(std::span<const uint8_t> bytes) {
    payload_.insert(payload_.end(), bytes.begin(), bytes.end());
    return *this;
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddString(std::string_view text) {
    return AddString(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddString(std::span<const uint8_t> bytes) {
    AddUint32(static_cast<uint32_t>(bytes.size()));
    return AddBytes(bytes);
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddBigNum(const crypto::BigNum& value) {
    const std::vector<uint8_t> bytes = value.ToBytes();
    return AddBigNumBytes(static_cast<uint16_t>(value.BitCount()), bytes);
}

Ssh1OutgoingPacket& Ssh1OutgoingPacket::AddBigNumBytes(uint16_t bits,
                                                       std::span<const uint8_t> bytes) {
    payload_.push_back(static_cast<uint8_t>(bits >> 8));
    payload_.push_back(static_cast<uint8_t>(bits));
    return AddBytes(bytes);
}

void Ssh1OutgoingPacket::Wipe() {
    SecureWipe(payload_.data(), payload_.size());
}

size_t FrameSsh1Packet(const Ssh1OutgoingPacket& packet, crypto::Ssh1CipherContext* cipher,
                       const Ssh1RandomSource& random, std::vector<uint8_t>& out) {
    const std::span<const uint8_t> payload = packet.Payload();
    const size_t length = payload.size() + kCheckLength;
    const size_t padding = PaddingFor(length);
    const size_t start = out.size();
    out.resize(start + 4 + padding + length);
    uint8_t* frame = out.data() + start;
    PutUint32(frame, static_cast<uint32_t>(length));
    uint8_t* body = frame + 4;
    random(body, padding);
    std::memcpy(body + padding, payload.data(), payload.size());
    const size_t checked = padding + payload.size();
    PutUint32(body + checked, crypto::Ssh1Crc32(body, checked));
    if (cipher) cipher->Encrypt(body, checked + kCheckLength);
    return out.size() - start;
}

// --- incoming ---

Ssh1IncomingPacket::Ssh1IncomingPacket(std::span<const uint8_t> payload)
    : payload_(payload.begin(), payload.end()) {}

bool Ssh1IncomingPacket::ReadByte(uint8_t& value) {
    if (position_ >= payload_.size()) return false;
    value = payload_[position_++];
    return true;
}

bool Ssh1IncomingPacket::ReadUint32(uint32_t& value) {
    if (position_ > payload_.size() || payload_.size() - position_ < 4) return false;
    value = GetUint32(payload_.data() + position_);
    position_ += 4;
    return true;
}

bool Ssh1IncomingPacket::ReadBytes(size_t count, std::span<const uint8_t>& bytes) {
    if (position_ > payload_.size() || payload_.size() - position_ < count) return false;
    bytes = std::span(payload_.data() + position_, count);
    position_ += count;
    return true;
}

bool Ssh1IncomingPacket::ReadString(std::string_view& text) {
    const size_t saved = position_;
    uint32_t length = 0;
    std::span<const uint8_t> bytes;
    if (!ReadUint32(length) || !ReadBytes(length, bytes)) {
        position_ = saved;
        return false;
    }
    text = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
}

bool Ssh1IncomingPacket::ReadBigNum(crypto::BigNum& value) {
    if (position_ > payload_.size() || payload_.size() - position_ < 2) return false;
    const size_t bits = (size_t{payload_[position_]} << 8) | payload_[position_ + 1];
    const size_t bytes = (bits + 7) / 8;
    if (bits > kSsh1MaxBigNumBits || payload_.size() - position_ - 2 < bytes) return false;
    value = crypto::BigNum::FromBytes(std::span(payload_.data() + position_ + 2, bytes));
    position_ += 2 + bytes;
    return true;
}

Ssh1PacketReader::Result Ssh1PacketReader::Feed(const uint8_t* data, size_t length,
                                                size_t& consumed) {
    consumed = 0;
    for (;;) {
        const size_t take = std::min(needed_ - buffer_.size(), length - consumed);
        buffer_.insert(buffer_.end(), data + consumed, data + consumed + take);
        consumed += take;
        if (buffer_.size() < needed_) return Result::kNeedMore;
        if (!haveLength_) {
            length_ = GetUint32(buffer_.data());
            if (length_ < 5 || length_ > kSsh1MaxPacketLength) return Result::kBadLength;
            haveLength_ = true;
            buffer_.clear();
            needed_ = length_ + PaddingFor(length_);
            continue;
        }
        break;
    }
    // The whole packet after its length field is in buffer_.
    uint8_t* body = buffer_.data();
    const size_t size = buffer_.size();
    if (cipher_) {
        if (crypto::CompensationAttackDetected(body, size, chaining_)) return Result::kAttack;
        std::memcpy(chaining_, body + size - kBlock, kBlock);
        cipher_->Decrypt(body, size);
    }
    const size_t checked = size - kCheckLength;
    if (crypto::Ssh1Crc32(body, checked) != GetUint32(body + checked)) return Result::kBadCheck;
    const size_t padding = PaddingFor(length_);
    packet_.emplace(std::span<const uint8_t>(body + padding, checked - padding));
    SecureWipe(body, size);
    buffer_.clear();
    haveLength_ = false;
    needed_ = 4;
    return Result::kPacket;
}

}  // namespace tessan::transport
