// SSH-2 packets as the layers above see them: an outgoing packet is written field by field after
// room for the framing; an incoming packet is a payload read field by field.
//
// Field encodings are those of RFC 4251 section 5: byte, boolean (one byte, non-zero is true),
// uint32 big-endian, string (uint32 length and the bytes) and mpint.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/secure_memory.h"

namespace tessan::transport {

// An outgoing packet: the 4-byte packet length and the padding-length byte are reserved at the
// front (Length() starts at 5), the payload follows from the message number on. The transport
// frames it in place: padding, MAC and encryption are added when it is sent.
class OutgoingPacket {
public:
    static constexpr size_t kHeaderLength = 5;

    explicit OutgoingPacket(uint8_t type);
    ~OutgoingPacket();
    OutgoingPacket(OutgoingPacket&& other) noexcept;
    OutgoingPacket& operator=(OutgoingPacket&& other) noexcept;
    OutgoingPacket(const OutgoingPacket&) = delete;
    OutgoingPacket& operator=(const OutgoingPacket&) = delete;

    OutgoingPacket& AddByte(uint8_t value);
    OutgoingPacket& AddBool(bool value);
    OutgoingPacket& AddUint32(uint32_t value);
    OutgoingPacket& AddString(std::span<const uint8_t> bytes);
    OutgoingPacket& AddString(std::string_view text);
    // A string written in pieces: StartString, then any number of AppendString; the length field
    // is kept up to date, so the packet is complete after every piece.
    OutgoingPacket& StartString();
    OutgoingPacket& AppendString(std::span<const uint8_t> bytes);
    OutgoingPacket& AppendString(std::string_view text);
    // Two's-complement mpint of a non-negative number (minimal, zero is empty).
    OutgoingPacket& AddMpint(const crypto::BigNum& value);
    // Bytes with no length in front (for payloads assembled elsewhere).
    OutgoingPacket& AddRaw(std::span<const uint8_t> bytes);

    uint8_t Type() const { return data_[kHeaderLength]; }
    // The payload from the message number on.
    std::span<const uint8_t> Payload() const {
        return {data_.data() + kHeaderLength, data_.size() - kHeaderLength};
    }
    // Bytes in use: the framing room plus the payload.
    size_t Length() const { return data_.size(); }

    // When non-zero, the padding grows so that Length() plus the padding reaches at least this
    // many bytes (hides the length of a password).
    void SetMinimumPaddedLength(size_t length) { minimumPaddedLength_ = length; }
    size_t MinimumPaddedLength() const { return minimumPaddedLength_; }

    // The buffer is wiped when the packet is released (for packets carrying a password). Every
    // block the buffer gives back as it grows is wiped in any case.
    void MarkSecret() { secret_ = true; }
    bool IsSecret() const { return secret_; }

    // The whole buffer, framing room included (for the packet builder).
    SecureBytes& Buffer() { return data_; }

private:
    void Release();

    SecureBytes data_;
    size_t stringStart_ = 0;  // offset of the length field of the string being written
    size_t minimumPaddedLength_ = 0;
    bool secret_ = false;
};

// A received packet: the payload (from the message number on) and its sequence number. Every
// reader advances past the field it reads; a field that does not fit in the rest of the packet
// yields false, a zero or empty value, and leaves the position unchanged.
class IncomingPacket {
public:
    IncomingPacket(std::span<const uint8_t> payload, uint32_t sequence)
        : payload_(payload), position_(payload.empty() ? 0 : 1), sequence_(sequence) {}

    // The message number (0 for an empty payload, which the reader never delivers).
    uint8_t Type() const { return payload_.empty() ? 0 : payload_[0]; }
    uint32_t Sequence() const { return sequence_; }
    std::span<const uint8_t> Payload() const { return payload_; }
    size_t Remaining() const { return payload_.size() - position_; }
    // Moves the read position back to just after the message number.
    void Rewind() { position_ = payload_.empty() ? 0 : 1; }

    bool ReadByte(uint8_t& value);
    bool ReadBool(bool& value);
    bool ReadUint32(uint32_t& value);
    // A string whose length has its top bit set, or runs past the packet, yields nothing.
    bool ReadString(std::span<const uint8_t>& value);
    bool ReadString(std::string_view& value);
    bool ReadRaw8(std::array<uint8_t, 8>& value);
    // A non-negative mpint of at most crypto::kMaxWireNumberBits bits.
    bool ReadMpint(crypto::BigNum& value);

private:
    std::span<const uint8_t> payload_;
    size_t position_;
    uint32_t sequence_;
};

}  // namespace tessan::transport
