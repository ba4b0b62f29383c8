// Unsigned arbitrary-precision integers for the public-key code: Diffie-Hellman, RSA and DSA.
//
// Values are held as 64-bit limbs, least significant first, with no zero limbs at the top. All
// storage goes through an allocator that wipes memory before releasing it, so exponents and
// shared secrets do not linger on the heap. Operations that take a modulus return no value (or
// zero, as documented) for a zero modulus instead of dividing by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "crypto/bytes.h"

namespace tessan::crypto {

class BigNum {
public:
    using Limb = uint64_t;
    using Limbs = std::vector<Limb, WipingAllocator<Limb>>;

    BigNum() = default;
    explicit BigNum(uint64_t value);

    // From big-endian bytes (an empty span is zero).
    static BigNum FromBytes(std::span<const uint8_t> bigEndian);
    static BigNum FromLimbs(const Limb* limbs, size_t count);

    // Writes the low `length` bytes big-endian (leading zeros as needed; higher bytes are cut).
    void ToBytes(uint8_t* out, size_t length) const;
    // The minimal big-endian bytes (empty for zero).
    std::vector<uint8_t> ToBytes() const;

    size_t BitCount() const;
    size_t ByteCount() const { return (BitCount() + 7) / 8; }
    // Byte i counted from the least significant (0); bytes beyond the value read as 0.
    uint8_t Byte(size_t i) const;
    bool Bit(size_t i) const;
    void SetBit(size_t i);
    bool IsZero() const { return limbs_.empty(); }
    bool IsOdd() const { return !limbs_.empty() && (limbs_[0] & 1); }
    bool IsOne() const { return limbs_.size() == 1 && limbs_[0] == 1; }
    const Limbs& LimbArray() const { return limbs_; }

    static int Compare(const BigNum& a, const BigNum& b);
    friend bool operator==(const BigNum& a, const BigNum& b) { return Compare(a, b) == 0; }
    friend bool operator<(const BigNum& a, const BigNum& b) { return Compare(a, b) < 0; }
    friend bool operator<=(const BigNum& a, const BigNum& b) { return Compare(a, b) <= 0; }
    friend bool operator>(const BigNum& a, const BigNum& b) { return Compare(a, b) > 0; }
    friend bool operator>=(const BigNum& a, const BigNum& b) { return Compare(a, b) >= 0; }

    static BigNum Add(const BigNum& a, const BigNum& b);
    // a - b; requires a >= b.
    static BigNum Sub(const BigNum& a, const BigNum& b);
    static BigNum Mul(const BigNum& a, const BigNum& b);
    // Quotient and remainder of a / b (either pointer may be null); false when b is zero.
    static bool DivMod(const BigNum& a, const BigNum& b, BigNum* quotient, BigNum* remainder);

    BigNum ShiftRight(size_t bits) const;
    BigNum ShiftLeft(size_t bits) const;

    // a mod m; zero when m is zero.
    static BigNum Mod(const BigNum& a, const BigNum& m);
    // a * b mod m; zero when m is zero.
    static BigNum ModMul(const BigNum& a, const BigNum& b, const BigNum& m);
    // a^-1 mod m, or nothing when gcd(a, m) != 1 or m < 2.
    static std::optional<BigNum> ModInverse(const BigNum& a, const BigNum& m);

    // base^exponent mod modulus for a public exponent: variable time (zero when modulus is zero,
    // and 1 mod modulus for a zero exponent).
    static BigNum ModExp(const BigNum& base, const BigNum& exponent, const BigNum& modulus);
    // The same for a secret exponent: for an odd modulus the sequence of operations and memory
    // accesses depends only on the sizes of the modulus and of `exponentBits`, never on the
    // exponent's bits. `exponentBits` is a public bound (at least the exponent's bit count).
    static BigNum ModExpSecret(const BigNum& base, const BigNum& exponent, const BigNum& modulus,
                               size_t exponentBits);

    void Wipe();

private:
    void Normalize();

    Limbs limbs_;
};

}  // namespace tessan::crypto
