// Montgomery arithmetic modulo an odd number below 2^256 held in four 64-bit limbs: the P-256
// field and group order and the Ed25519 group order. Internal to the curve code.
//
// Mul, Add, Sub, Select and the conversions run in time independent of the values. R = 2^256.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"
#include "crypto/wide_arith.h"

namespace tessan::crypto::mont256 {

struct U256 {
    uint64_t v[4];  // least significant limb first
};

struct Modulus {
    U256 m;
    uint64_t n0;  // -m^-1 mod 2^64
    U256 r2;      // R^2 mod m: Mul(a, r2) puts a into Montgomery form
    U256 one;     // R mod m: 1 in Montgomery form
};

// a - b over four limbs; returns the borrow (0 or 1).
inline uint64_t SubBorrow(U256& out, const U256& a, const U256& b) {
    unsigned char borrow = 0;
    out.v[0] = SubBorrow64(a.v[0], b.v[0], borrow);
    out.v[1] = SubBorrow64(a.v[1], b.v[1], borrow);
    out.v[2] = SubBorrow64(a.v[2], b.v[2], borrow);
    out.v[3] = SubBorrow64(a.v[3], b.v[3], borrow);
    return borrow;
}

// a + b over four limbs; returns the carry (0 or 1).
inline uint64_t AddCarry(U256& out, const U256& a, const U256& b) {
    unsigned char carry = 0;
    out.v[0] = AddCarry64(a.v[0], b.v[0], carry);
    out.v[1] = AddCarry64(a.v[1], b.v[1], carry);
    out.v[2] = AddCarry64(a.v[2], b.v[2], carry);
    out.v[3] = AddCarry64(a.v[3], b.v[3], carry);
    return carry;
}

// `a` when `choose` is 1, `b` when it is 0.
inline U256 Select(uint64_t choose, const U256& a, const U256& b) {
    const uint64_t mask = ValueBarrier(0 - choose);
    return U256{{(a.v[0] & mask) | (b.v[0] & ~mask), (a.v[1] & mask) | (b.v[1] & ~mask),
                 (a.v[2] & mask) | (b.v[2] & ~mask), (a.v[3] & mask) | (b.v[3] & ~mask)}};
}

// value (with `high` as a fifth limb, 0 or 1) reduced once: value - m when value >= m. Requires
// value < 2m.
inline U256 ReduceOnce(const U256& value, uint64_t high, const Modulus& mod) {
    U256 reduced;
    unsigned char borrow = static_cast<unsigned char>(SubBorrow(reduced, value, mod.m));
    SubBorrow64(high, 0, borrow);  // borrow stays 1 only when value < m
    return Select(borrow, value, reduced);
}

// t (five limbs) += a * b, returning the carry out of the top limb.
inline uint64_t MulAddRow(uint64_t t[5], const U256& a, uint64_t b) {
    uint64_t h0, h1, h2, h3;
    const uint64_t l0 = MulWide(a.v[0], b, h0), l1 = MulWide(a.v[1], b, h1);
    const uint64_t l2 = MulWide(a.v[2], b, h2), l3 = MulWide(a.v[3], b, h3);
    unsigned char carry = 0;
    const uint64_t p1 = AddCarry64(h0, l1, carry), p2 = AddCarry64(h1, l2, carry);
    const uint64_t p3 = AddCarry64(h2, l3, carry), p4 = AddCarry64(h3, 0, carry);
    carry = 0;
    t[0] = AddCarry64(t[0], l0, carry);
    t[1] = AddCarry64(t[1], p1, carry);
    t[2] = AddCarry64(t[2], p2, carry);
    t[3] = AddCarry64(t[3], p3, carry);
    t[4] = AddCarry64(t[4], p4, carry);
    return carry;
}

// a * b / R mod m for a < 2^256 and b < m; the result is below m. Each of the four rounds adds
// a * b[i] and then the multiple q m that clears the lowest limb, which is dropped.
inline U256 Mul(const U256& a, const U256& b, const Modulus& mod) {
    uint64_t t[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const uint64_t overflow = MulAddRow(t, a, b.v[i]);
        const uint64_t q = t[0] * mod.n0;
        const uint64_t top = overflow + MulAddRow(t, mod.m, q);
        t[0] = t[1];
        t[1] = t[2];
        t[2] = t[3];
        t[3] = t[4];
        t[4] = top;
    }
    return ReduceOnce(U256{{t[0], t[1], t[2], t[3]}}, t[4], mod);
}

inline U256 Square(const U256& a, const Modulus& mod) {
    return Mul(a, a, mod);
}

// (a + b) mod m and (a - b) mod m for a, b < m.
inline U256 Add(const U256& a, const U256& b, const Modulus& mod) {
    U256 sum;
    const uint64_t carry = AddCarry(sum, a, b);
    return ReduceOnce(sum, carry, mod);
}
inline U256 Sub(const U256& a, const U256& b, const Modulus& mod) {
    U256 difference, corrected;
    const uint64_t borrow = SubBorrow(difference, a, b);
    AddCarry(corrected, difference, mod.m);
    return Select(borrow, corrected, difference);
}

inline U256 ToMontgomery(const U256& a, const Modulus& mod) {
    return Mul(a, mod.r2, mod);
}
inline U256 FromMontgomery(const U256& a, const Modulus& mod) {
    return Mul(a, U256{{1, 0, 0, 0}}, mod);
}

// a^e in Montgomery form for a public exponent e (square-and-multiply, left to right). The
// sequence of operations depends on e only, so a secret `a` is safe.
inline U256 Pow(const U256& a, const U256& e, const Modulus& mod) {
    U256 r = mod.one;
    for (int i = 255; i >= 0; --i) {
        r = Square(r, mod);
        if ((e.v[i / 64] >> (i % 64)) & 1) r = Mul(r, a, mod);
    }
    return r;
}

// 1 or 0, as numbers so that results can be combined with & and | without branches.
inline uint64_t IsZero(const U256& a) {
    return ValueBarrier(a.v[0] | a.v[1] | a.v[2] | a.v[3]) == 0;
}
inline uint64_t Equal(const U256& a, const U256& b) {
    return ValueBarrier((a.v[0] ^ b.v[0]) | (a.v[1] ^ b.v[1]) | (a.v[2] ^ b.v[2]) |
                        (a.v[3] ^ b.v[3])) == 0;
}
inline uint64_t LessThan(const U256& a, const U256& b) {
    U256 ignored;
    return SubBorrow(ignored, a, b);
}

inline U256 FromBigEndian(const uint8_t bytes[32]) {
    return U256{{LoadBe64(bytes + 24), LoadBe64(bytes + 16), LoadBe64(bytes + 8), LoadBe64(bytes)}};
}
inline void ToBigEndian(uint8_t bytes[32], const U256& a) {
    for (int i = 0; i < 4; ++i)
        StoreBe64(bytes + 8 * i, a.v[3 - i]);
}
inline U256 FromLittleEndian(const uint8_t bytes[32]) {
    return U256{{LoadLe64(bytes), LoadLe64(bytes + 8), LoadLe64(bytes + 16), LoadLe64(bytes + 24)}};
}
inline void ToLittleEndian(uint8_t bytes[32], const U256& a) {
    for (int i = 0; i < 4; ++i)
        StoreLe64(bytes + 8 * i, a.v[i]);
}

// The constants of a modulus, computed by the compiler from m alone.
constexpr Modulus MakeModulus(const U256& m) {
    // Newton's iteration doubles the correct low bits of m^-1 mod 2^64 each step.
    uint64_t inverse = 1;
    for (int i = 0; i < 6; ++i)
        inverse *= 2 - m.v[0] * inverse;
    // R mod m and R^2 mod m by doubling 1 modulo m, 256 and then 512 times.
    U256 x{{1, 0, 0, 0}};
    U256 one{};
    for (int i = 0; i < 512; ++i) {
        uint64_t carry = 0;
        U256 doubled{};
        for (int j = 0; j < 4; ++j) {
            doubled.v[j] = (x.v[j] << 1) | carry;
            carry = x.v[j] >> 63;
        }
        U256 reduced{};
        uint64_t borrow = 0;
        for (int j = 0; j < 4; ++j) {
            const uint64_t d = doubled.v[j] - m.v[j] - borrow;
            borrow = (doubled.v[j] < m.v[j] || (doubled.v[j] == m.v[j] && borrow)) ? 1 : 0;
            reduced.v[j] = d;
        }
        x = (carry || !borrow) ? reduced : doubled;
        if (i == 255) one = x;
    }
    return Modulus{m, 0 - inverse, x, one};
}

}  // namespace tessan::crypto::mont256
