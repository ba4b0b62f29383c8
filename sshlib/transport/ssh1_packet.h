// SSH-1 packets: the payload of an outgoing packet built field by field, the field readers of
// an incoming one, and the framing both ways. On the wire a packet is a 32-bit length L (message
// number, data and the 4-byte check), 8 − L mod 8 bytes of random padding, the message number,
// the data and a CRC-32 (big-endian, SSH-1's form) over padding, message number and data.
// Everything after the length is encrypted once a cipher runs; ciphertext is checked for the
// compensation attack before it is decrypted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/secure_memory.h"
#include "crypto/ssh1_cipher.h"

namespace tessan::transport {

// The largest length field accepted (message number, data and check).
inline constexpr size_t kSsh1MaxPacketLength = 262144;
// The largest integer a field may hold, in bits.
inline constexpr size_t kSsh1MaxBigNumBits = 16384;

class Ssh1OutgoingPacket {
public:
    explicit Ssh1OutgoingPacket(uint8_t type) : payload_{type} {}
    // With room for `capacity` bytes of data, so that a secret is never copied by growth.
    Ssh1OutgoingPacket(uint8_t type, size_t capacity) {
        payload_.reserve(1 + capacity);
        payload_.push_back(type);
    }

    Ssh1OutgoingPacket& AddByte(uint8_t value);
    Ssh1OutgoingPacket& AddUint32(uint32_t value);
    Ssh1OutgoingPacket& AddBytes(std::span<const uint8_t> bytes);  // raw, no length
    Ssh1OutgoingPacket& AddString(std::string_view text);          // 32-bit length, bytes
    Ssh1OutgoingPacket& AddString(std::span<const uint8_t> bytes);
    // An integer: its 16-bit bit count, then its bytes.
    Ssh1OutgoingPacket& AddBigNum(const crypto::BigNum& value);
    // An integer given as big-endian bytes with the bit count to announce (bytes × 8 for the
    // session key).
    Ssh1OutgoingPacket& AddBigNumBytes(uint16_t bits, std::span<const uint8_t> bytes);

    uint8_t Type() const { return payload_[0]; }
    // Message number and data.
    std::span<const uint8_t> Payload() const { return payload_; }
    // Wipes the payload (packets that carried a password); blocks the payload gives back as it
    // grows are wiped in any case.
    void Wipe();

private:
    SecureBytes payload_;
};

class Ssh1IncomingPacket {
public:
    // `payload`: message number and data (copied).
    explicit Ssh1IncomingPacket(std::span<const uint8_t> payload);

    uint8_t Type() const { return payload_.empty() ? 0 : payload_[0]; }
    std::span<const uint8_t> Payload() const { return payload_; }

    // Each reader advances and returns false (nothing consumed) when the packet is too short.
    bool ReadByte(uint8_t& value);
    bool ReadUint32(uint32_t& value);
    bool ReadBytes(size_t count, std::span<const uint8_t>& bytes);
    bool ReadString(std::string_view& text);
    // Also false for an integer above kSsh1MaxBigNumBits.
    bool ReadBigNum(crypto::BigNum& value);

private:
    SecureBytes payload_;
    size_t position_ = 1;
};

using Ssh1RandomSource = std::function<void(uint8_t* out, size_t length)>;

// Frames `packet` onto `out`: length, random padding, payload, check, encrypted with `cipher`
// when given. Returns the bytes appended.
size_t FrameSsh1Packet(const Ssh1OutgoingPacket& packet, crypto::Ssh1CipherContext* cipher,
                       const Ssh1RandomSource& random, std::vector<uint8_t>& out);

// Reads packets from the byte stream at any split.
class Ssh1PacketReader {
public:
    enum class Result {
        kNeedMore,
        kPacket,     // Packet() holds it
        kBadLength,  // a length field below 5 or above kSsh1MaxPacketLength
        kBadCheck,   // the CRC-32 does not match
        kAttack,     // the ciphertext holds the compensation attack's pattern
    };

    // Decrypts from now on with `cipher` (not owned; shared with the sending side), checking
    // every packet for the attack first.
    void SetCipher(crypto::Ssh1CipherContext* cipher) { cipher_ = cipher; }

    // Consumes bytes up to the end of the next packet at most; `consumed` tells how many.
    // After any result other than kNeedMore and kPacket the stream cannot be read on.
    Result Feed(const uint8_t* data, size_t length, size_t& consumed);
    const Ssh1IncomingPacket& Packet() const { return *packet_; }

private:
    crypto::Ssh1CipherContext* cipher_ = nullptr;
    uint8_t chaining_[8] = {};  // the last ciphertext block read
    SecureBytes buffer_;        // decrypted in place
    size_t needed_ = 4;         // bytes of the current stage (length field, then the rest)
    bool haveLength_ = false;
    uint32_t length_ = 0;
    std::optional<Ssh1IncomingPacket> packet_;
};

}  // namespace tessan::transport
