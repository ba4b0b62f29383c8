// Montgomery arithmetic modulo an odd number below 2^256 held in four 64-bit limbs: the P-256
// field and group order and the Ed25519 group order. Internal to the curve code.
//
// Mul, Add, Sub, Select and the conversions run in time independent of the values. R = 2^256.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"

namespace tessan::crypto::mont256 {

using u128 = UInt128;

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
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) {
        const u128 d = u128{a.v[i]} - b.v[i] - borrow;
        out.v[i] = static_cast<uint64_t>(d);
        borrow = static_cast<uint64_t>(d >> 64) & 1;
    }
    return borrow;
}

// a + b over four limbs; returns the carry (0 or 1).
inline uint64_t AddCarry(U256& out, const U256& a, const U256& b) {
    uint64_t carry = 0;
    for (int i = 0; i < 4; ++i) {
        const u128 s = u128{a.v[i]} + b.v[i] + carry;
        out.v[i] = static_cast<uint64_t>(s);
        carry = static_cast<uint64_t>(s >> 64);
    }
    return carry;
}

// `a` when `choose` is 1, `b` when it is 0.
inline U256 Select(uint64_t choose, const U256& a, const U256& b) {
    const uint64_t mask = ValueBarrier(0 - choose);
    U256 r;
    for (int i = 0; i < 4; ++i)
        r.v[i] = (a.v[i] & mask) | (b.v[i] & ~mask);
    return r;
}

// value (with `high` as a fifth limb, 0 or 1) reduced once: value - m when value >= m. Requires
// value < 2m.
inline U256 ReduceOnce(const U256& value, uint64_t high, const Modulus& mod) {
    U256 reduced;
    const uint64_t borrow = SubBorrow(reduced, value, mod.m);
    return Select(high | (borrow ^ 1), reduced, value);
}

// a * b / R mod m for a < 2^256 and b < m; the result is below m.
inline U256 Mul(const U256& a, const U256& b, const Modulus& mod) {
    uint64_t t[6] = {0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < 4; ++j) {
            const u128 product = u128{a.v[j]} * b.v[i] + t[j] + carry;
            t[j] = static_cast<uint64_t>(product);
            carry = static_cast<uint64_t>(product >> 64);
        }
        u128 sum = u128{t[4]} + carry;
        t[4] = static_cast<uint64_t>(sum);
        t[5] = static_cast<uint64_t>(sum >> 64);

        // Add q * m with q chosen so the lowest limb becomes zero, then drop that limb.
        const uint64_t q = t[0] * mod.n0;
        carry = static_cast<uint64_t>((u128{q} * mod.m.v[0] + t[0]) >> 64);
        for (int j = 1; j < 4; ++j) {
            const u128 product = u128{q} * mod.m.v[j] + t[j] + carry;
            t[j - 1] = static_cast<uint64_t>(product);
            carry = static_cast<uint64_t>(product >> 64);
        }
        sum = u128{t[4]} + carry;
        t[3] = static_cast<uint64_t>(sum);
        t[4] = t[5] + static_cast<uint64_t>(sum >> 64);
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

inline bool IsZero(const U256& a) {
    return ValueBarrier(a.v[0] | a.v[1] | a.v[2] | a.v[3]) == 0;
}
inline bool Equal(const U256& a, const U256& b) {
    return ValueBarrier((a.v[0] ^ b.v[0]) | (a.v[1] ^ b.v[1]) | (a.v[2] ^ b.v[2]) |
                        (a.v[3] ^ b.v[3])) == 0;
}
inline bool LessThan(const U256& a, const U256& b) {
    U256 ignored;
    return SubBorrow(ignored, a, b) == 1;
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
