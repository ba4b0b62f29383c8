// Arithmetic modulo p = 2^255 - 19, shared by X25519 and Ed25519. Internal to those two.
//
// An element is five 51-bit limbs, least significant first, value = sum v[i] * 2^(51 i). Limbs
// may exceed 51 bits between operations. Mul, Square, MulSmall, Sub, Carry and FromBytes return
// "normal" limbs (below 2^52); Add of two normal elements gives limbs below 2^53. Mul, Square,
// MulSmall and the minuend of Sub accept limbs below 2^54, the subtrahend of Sub limbs below
// 2^53. Every function runs in time independent of the values: no branch or memory index depends
// on an element.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"

namespace tessan::crypto::f25519 {

using u128 = UInt128;

struct Fe {
    uint64_t v[5];
};

inline constexpr uint64_t kMask51 = (uint64_t{1} << 51) - 1;

inline Fe Zero() {
    return Fe{{0, 0, 0, 0, 0}};
}
inline Fe One() {
    return Fe{{1, 0, 0, 0, 0}};
}
inline Fe Small(uint64_t value) {  // value < 2^51
    return Fe{{value, 0, 0, 0, 0}};
}

inline Fe Add(const Fe& a, const Fe& b) {
    return Fe{
        {a.v[0] + b.v[0], a.v[1] + b.v[1], a.v[2] + b.v[2], a.v[3] + b.v[3], a.v[4] + b.v[4]}};
}

// Brings 128-bit column sums (each below 2^115) back to limbs below 2^52: the carry out of the
// top limb is worth 2^255 = 19 (mod p).
inline Fe CarryWide(u128 r0, u128 r1, u128 r2, u128 r3, u128 r4) {
    r1 += static_cast<uint64_t>(r0 >> 51);
    r2 += static_cast<uint64_t>(r1 >> 51);
    r3 += static_cast<uint64_t>(r2 >> 51);
    r4 += static_cast<uint64_t>(r3 >> 51);
    const u128 low =
        u128{static_cast<uint64_t>(r4 >> 51)} * 19 + (static_cast<uint64_t>(r0) & kMask51);
    return Fe{{static_cast<uint64_t>(low) & kMask51,
               (static_cast<uint64_t>(r1) & kMask51) + static_cast<uint64_t>(low >> 51),
               static_cast<uint64_t>(r2) & kMask51, static_cast<uint64_t>(r3) & kMask51,
               static_cast<uint64_t>(r4) & kMask51}};
}

// Normal limbs again, for a value whose limbs grew through additions (each below 2^63).
inline Fe Carry(const Fe& a) {
    uint64_t v0 = a.v[0], v1 = a.v[1], v2 = a.v[2], v3 = a.v[3], v4 = a.v[4];
    v1 += v0 >> 51;
    v0 &= kMask51;
    v2 += v1 >> 51;
    v1 &= kMask51;
    v3 += v2 >> 51;
    v2 &= kMask51;
    v4 += v3 >> 51;
    v3 &= kMask51;
    v0 += 19 * (v4 >> 51);
    v4 &= kMask51;
    return Fe{{v0, v1, v2, v3, v4}};
}

// a + 8p - b, normalised: 8p in this radix is 2^54 - 152 in the lowest limb and 2^54 - 8 in the
// others, more than any subtrahend limb, so no limb goes negative.
inline Fe Sub(const Fe& a, const Fe& b) {
    constexpr uint64_t kLow = (uint64_t{1} << 54) - 152;
    constexpr uint64_t kHigh = (uint64_t{1} << 54) - 8;
    return Carry(Fe{{a.v[0] + kLow - b.v[0], a.v[1] + kHigh - b.v[1], a.v[2] + kHigh - b.v[2],
                     a.v[3] + kHigh - b.v[3], a.v[4] + kHigh - b.v[4]}});
}

inline Fe Negate(const Fe& a) {
    return Sub(Zero(), a);
}

inline Fe Mul(const Fe& a, const Fe& b) {
    const uint64_t b1 = b.v[1] * 19, b2 = b.v[2] * 19, b3 = b.v[3] * 19, b4 = b.v[4] * 19;
    const u128 r0 = u128{a.v[0]} * b.v[0] + u128{a.v[1]} * b4 + u128{a.v[2]} * b3 +
                    u128{a.v[3]} * b2 + u128{a.v[4]} * b1;
    const u128 r1 = u128{a.v[0]} * b.v[1] + u128{a.v[1]} * b.v[0] + u128{a.v[2]} * b4 +
                    u128{a.v[3]} * b3 + u128{a.v[4]} * b2;
    const u128 r2 = u128{a.v[0]} * b.v[2] + u128{a.v[1]} * b.v[1] + u128{a.v[2]} * b.v[0] +
                    u128{a.v[3]} * b4 + u128{a.v[4]} * b3;
    const u128 r3 = u128{a.v[0]} * b.v[3] + u128{a.v[1]} * b.v[2] + u128{a.v[2]} * b.v[1] +
                    u128{a.v[3]} * b.v[0] + u128{a.v[4]} * b4;
    const u128 r4 = u128{a.v[0]} * b.v[4] + u128{a.v[1]} * b.v[3] + u128{a.v[2]} * b.v[2] +
                    u128{a.v[3]} * b.v[1] + u128{a.v[4]} * b.v[0];
    return CarryWide(r0, r1, r2, r3, r4);
}

inline Fe Square(const Fe& a) {
    const uint64_t d0 = a.v[0] * 2, d1 = a.v[1] * 2, d2 = a.v[2] * 2 * 19, d4 = a.v[4] * 19;
    const uint64_t d3 = a.v[3] * 19;
    const u128 r0 = u128{a.v[0]} * a.v[0] + u128{d4} * (a.v[1] * 2) + u128{d2} * a.v[3];
    const u128 r1 = u128{d0} * a.v[1] + u128{d4} * (a.v[2] * 2) + u128{d3} * a.v[3];
    const u128 r2 = u128{d0} * a.v[2] + u128{a.v[1]} * a.v[1] + u128{d4} * (a.v[3] * 2);
    const u128 r3 = u128{d0} * a.v[3] + u128{d1} * a.v[2] + u128{d4} * a.v[4];
    const u128 r4 = u128{d0} * a.v[4] + u128{d1} * a.v[3] + u128{a.v[2]} * a.v[2];
    return CarryWide(r0, r1, r2, r3, r4);
}

// a squared n times in a row (n >= 1).
inline Fe SquareTimes(Fe a, int n) {
    for (int i = 0; i < n; ++i)
        a = Square(a);
    return a;
}

inline Fe MulSmall(const Fe& a, uint32_t k) {
    return CarryWide(u128{a.v[0]} * k, u128{a.v[1]} * k, u128{a.v[2]} * k, u128{a.v[3]} * k,
                     u128{a.v[4]} * k);
}

// Swaps a and b when `swap` is 1, leaves them when 0, with the same operations either way.
inline void ConditionalSwap(Fe& a, Fe& b, uint64_t swap) {
    const uint64_t mask = ValueBarrier(0 - swap);
    for (int i = 0; i < 5; ++i) {
        const uint64_t t = mask & (a.v[i] ^ b.v[i]);
        a.v[i] ^= t;
        b.v[i] ^= t;
    }
}

// The canonical little-endian encoding (value fully reduced below p).
void ToBytes(uint8_t out[32], const Fe& a);
// The low 255 bits of `in`, little-endian (bit 255 is ignored; values up to 2^255 - 1 are taken
// as they are, so a non-canonical encoding is not reduced here).
Fe FromBytes(const uint8_t in[32]);

// a^(p-2) = 1/a (0 for 0).
Fe Invert(const Fe& a);
// a^((p-5)/8), the core of the square root (RFC 8032 section 5.1.3).
Fe PowP58(const Fe& a);

bool IsZero(const Fe& a);
// The lowest bit of the canonical value (the "sign" of x in Ed25519).
bool IsNegative(const Fe& a);
bool Equal(const Fe& a, const Fe& b);

}  // namespace tessan::crypto::f25519
