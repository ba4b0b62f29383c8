// The curve P-256 (FIPS 186-4 appendix D.1.2.3, SEC 2 section 2.4.2): y^2 = x^3 - 3x + b over
// the prime p = 2^256 - 2^224 + 2^192 + 2^96 - 1, with a base point G of prime order n.
// Internal to the P-256 key agreement and ECDSA verification.
//
// Field elements are kept in Montgomery form; points in Jacobian coordinates (x = X/Z^2,
// y = Y/Z^3), Z = 0 standing for the point at infinity. Field operations and the functions
// marked constant-time run in time independent of the values.
#pragma once

#include <cstdint>

#include "crypto/mont256.h"

namespace tessan::crypto::p256 {

using mont256::U256;

inline constexpr mont256::Modulus kField = mont256::MakeModulus(
    U256{{0xffffffffffffffff, 0x00000000ffffffff, 0x0000000000000000, 0xffffffff00000001}});
inline constexpr mont256::Modulus kOrder = mont256::MakeModulus(
    U256{{0xf3b9cac2fc632551, 0xbce6faada7179e84, 0xffffffffffffffff, 0xffffffff00000000}});

// a b / 2^256 mod p for a, b < p: Montgomery multiplication with the reduction specialised to
// this p. -p^-1 mod 2^64 is 1, so the multiple of p that clears the lowest limb t0 is q = t0,
// and adding q p = q (2^64 - 1) + q (2^32 - 1) 2^64 + q (2^64 - 2^32 + 1) 2^192 turns limb 0
// into a carry of q, which with the second term adds q 2^32 at limb 1; the third term adds
// q (2^64 - 2^32 + 1) at limb 3. One multiplication per round instead of four.
inline U256 Mul(const U256& a, const U256& b) {
    uint64_t t[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        const uint64_t overflow = mont256::MulAddRow(t, a, b.v[i]);
        const uint64_t q = t[0];
        uint64_t qmHigh;
        const uint64_t qmLow = MulWide(q, 0xffffffff00000001, qmHigh);
        unsigned char carry = 0;
        t[0] = AddCarry64(t[1], q << 32, carry);
        t[1] = AddCarry64(t[2], q >> 32, carry);
        t[2] = AddCarry64(t[3], qmLow, carry);
        t[3] = AddCarry64(t[4], qmHigh, carry);
        t[4] = overflow + carry;
    }
    return mont256::ReduceOnce(U256{{t[0], t[1], t[2], t[3]}}, t[4], kField);
}

// a^2 / 2^256 mod p: the six cross products once and doubled, the four squares, then the
// same reduction as Mul applied to the low half, with the high half added at the end (the sum
// stays below 2p).
inline U256 Square(const U256& a) {
    uint64_t h01, h02, h03, h12, h13, h23;
    const uint64_t l01 = MulWide(a.v[0], a.v[1], h01), l02 = MulWide(a.v[0], a.v[2], h02);
    const uint64_t l03 = MulWide(a.v[0], a.v[3], h03), l12 = MulWide(a.v[1], a.v[2], h12);
    const uint64_t l13 = MulWide(a.v[1], a.v[3], h13), l23 = MulWide(a.v[2], a.v[3], h23);
    // Cross products: limbs 1..6 of sum a_i a_j 2^(64(i+j)) for i < j.
    unsigned char c = 0;
    uint64_t t1 = l01;
    uint64_t t2 = AddCarry64(h01, l02, c);
    uint64_t t3 = AddCarry64(h02, l03, c);
    uint64_t t4 = AddCarry64(h03, 0, c);
    c = 0;
    t3 = AddCarry64(t3, l12, c);
    t4 = AddCarry64(t4, h12, c);
    uint64_t t5 = c;
    c = 0;
    t4 = AddCarry64(t4, l13, c);
    t5 = AddCarry64(t5, h13, c);
    uint64_t t6 = c;
    c = 0;
    t5 = AddCarry64(t5, l23, c);
    t6 = AddCarry64(t6, h23, c);
    // Doubled (limb 7 receives the top bit), then the squares on the diagonal.
    const uint64_t t7 = t6 >> 63;
    t6 = (t6 << 1) | (t5 >> 63);
    t5 = (t5 << 1) | (t4 >> 63);
    t4 = (t4 << 1) | (t3 >> 63);
    t3 = (t3 << 1) | (t2 >> 63);
    t2 = (t2 << 1) | (t1 >> 63);
    t1 <<= 1;
    uint64_t s0h, s1h, s2h, s3h;
    const uint64_t s0 = MulWide(a.v[0], a.v[0], s0h), s1 = MulWide(a.v[1], a.v[1], s1h);
    const uint64_t s2 = MulWide(a.v[2], a.v[2], s2h), s3 = MulWide(a.v[3], a.v[3], s3h);
    c = 0;
    uint64_t r0 = s0;
    uint64_t r1 = AddCarry64(t1, s0h, c);
    uint64_t r2 = AddCarry64(t2, s1, c);
    uint64_t r3 = AddCarry64(t3, s1h, c);
    const uint64_t high0 = AddCarry64(t4, s2, c);
    const uint64_t high1 = AddCarry64(t5, s2h, c);
    const uint64_t high2 = AddCarry64(t6, s3, c);
    const uint64_t high3 = AddCarry64(t7, s3h, c);

    for (int i = 0; i < 4; ++i) {
        const uint64_t q = r0;
        uint64_t qmHigh;
        const uint64_t qmLow = MulWide(q, 0xffffffff00000001, qmHigh);
        c = 0;
        r0 = AddCarry64(r1, q << 32, c);
        r1 = AddCarry64(r2, q >> 32, c);
        r2 = AddCarry64(r3, qmLow, c);
        r3 = qmHigh + c;
    }
    c = 0;
    r0 = AddCarry64(r0, high0, c);
    r1 = AddCarry64(r1, high1, c);
    r2 = AddCarry64(r2, high2, c);
    r3 = AddCarry64(r3, high3, c);
    return mont256::ReduceOnce(U256{{r0, r1, r2, r3}}, c, kField);
}

inline U256 Add(const U256& a, const U256& b) {
    return mont256::Add(a, b, kField);
}
inline U256 Sub(const U256& a, const U256& b) {
    return mont256::Sub(a, b, kField);
}
// 1/a (0 for 0) by Fermat's little theorem; constant-time.
U256 Invert(const U256& a);

struct JacobianPoint {
    U256 x, y, z;
};

struct AffinePoint {
    U256 x, y;  // Montgomery form
};

const AffinePoint& Generator();

inline bool IsInfinity(const JacobianPoint& p) {
    return mont256::IsZero(p.z);
}
inline JacobianPoint FromAffine(const AffinePoint& p) {
    return JacobianPoint{p.x, p.y, kField.one};
}

// Constant-time; infinity stays infinity.
JacobianPoint Double(const JacobianPoint& p);
// p + q in constant time, right for either input at infinity and for p = -q. p = q is right
// only with `mayBeEqual`, which computes the doubling too and chooses it by mask; the flag must
// depend only on public facts (such as the position in a scalar multiplication).
JacobianPoint AddSecret(const JacobianPoint& p, const JacobianPoint& q, bool mayBeEqual);
// p + q, p = q and infinities handled by branching: for public points only.
JacobianPoint AddPublic(const JacobianPoint& p, const JacobianPoint& q);
// p + q for an affine q (not infinity), branching like AddPublic.
JacobianPoint AddMixedPublic(const JacobianPoint& p, const AffinePoint& q);

// 04 || X || Y with X, Y below p and the point on the curve; false otherwise. Every point so
// encoded has order n (the cofactor is 1).
bool DecodeUncompressed(AffinePoint& out, const uint8_t encoded[65]);
// False for infinity.
bool ToAffine(AffinePoint& out, const JacobianPoint& p);
void EncodeUncompressed(uint8_t out[65], const AffinePoint& p);

}  // namespace tessan::crypto::p256
