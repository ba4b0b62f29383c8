// Reading and writing the SSH wire encodings (RFC 4251 section 5): uint32, string and mpint.
// The reader never reads past its buffer: every call either succeeds or returns false and leaves
// the position unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "crypto/bignum.h"
#include "crypto/secure_memory.h"

namespace tessan::crypto {

// The largest number accepted from the wire: 16384 bits, bigger than any RSA, DSA or group
// modulus in use, small enough that a hostile peer cannot make us compute for long.
inline constexpr size_t kMaxWireNumberBits = 16384;

class WireReader {
public:
    explicit WireReader(std::span<const uint8_t> data) : data_(data) {}

    bool ReadUint32(uint32_t& value);
    bool ReadString(std::span<const uint8_t>& value);
    // A string that must equal `expected` byte for byte.
    bool ExpectString(std::string_view expected);
    // An mpint read as an unsigned number (a leading byte of 0x80 or more is not treated as a
    // sign). Fails when it is longer than kMaxWireNumberBits allows.
    bool ReadUnsignedMpint(BigNum& value);
    // An mpint that must be non-negative: fails when its first byte is 0x80 or more.
    bool ReadNonNegativeMpint(BigNum& value);

    size_t Remaining() const { return data_.size() - position_; }

private:
    bool ReadMpintBytes(std::span<const uint8_t>& bytes);

    std::span<const uint8_t> data_;
    size_t position_ = 0;
};

// The writers append to a byte vector, plain or wiping (SecureBytes).
void AppendUint32(std::vector<uint8_t>& out, uint32_t value);
void AppendUint32(SecureBytes& out, uint32_t value);
void AppendString(std::vector<uint8_t>& out, std::span<const uint8_t> bytes);
void AppendString(SecureBytes& out, std::span<const uint8_t> bytes);
void AppendString(std::vector<uint8_t>& out, std::string_view text);
void AppendString(SecureBytes& out, std::string_view text);
// Two's-complement mpint of a non-negative number: minimal bytes, with a leading zero byte when
// the top bit is set; zero is the empty string.
void AppendMpint(std::vector<uint8_t>& out, const BigNum& value);
void AppendMpint(SecureBytes& out, const BigNum& value);

}  // namespace tessan::crypto
