// Poly1305 on AVX2, four blocks per step. With the blocks m_0 .. m_{n-1} (n a multiple of 4)
//     h' = h r^n + m_0 r^n + m_1 r^(n-1) + ... + m_{n-1} r,
// so lane j can run Horner's rule with r^4 over the blocks j, j + 4, j + 8, ... (lane 0 starting
// from h + m_0), and at the end lane j is multiplied by r^(4 - j) and the lanes are added.
//
// Numbers are five 26-bit limbs (radix 2^26) in 64-bit lanes, so the 32 x 32 -> 64-bit vector
// multiply forms every partial product; 2^130 = 5 (mod p) folds limb products at 2^130 and up
// back down times 5. Limbs stay below 2^27 going into a product and the five-term sums below 2^60.
#include "crypto/poly1305.h"

#include "crypto/bytes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define TESSAN_AVX2_TARGET __attribute__((target("avx2")))
// The helpers must melt into the loop: as calls they pass every vector through memory.
#define TESSAN_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace tessan::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr uint64_t kMask26 = (uint64_t{1} << 26) - 1;

struct Limbs {
    uint64_t v[5];
};

// Propagates carries so every limb is below 2^26 (the top one folding back times 5), twice so the
// fold's own carry is absorbed.
void Carry(uint64_t d[5]) {
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 4; ++i) {
            d[i + 1] += d[i] >> 26;
            d[i] &= kMask26;
        }
        d[0] += 5 * (d[4] >> 26);
        d[4] &= kMask26;
    }
    d[1] += d[0] >> 26;
    d[0] &= kMask26;
}

Limbs Multiply(const Limbs& a, const Limbs& b) {
    uint64_t d[5] = {};
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            const uint64_t product = a.v[i] * b.v[j];
            d[(i + j) % 5] += i + j >= 5 ? 5 * product : product;
        }
    }
    Carry(d);
    return {{d[0], d[1], d[2], d[3], d[4]}};
}

// A number below 2^131 given as h0 + h1 2^64 + h2 2^128.
Limbs FromWords(uint64_t h0, uint64_t h1, uint64_t h2) {
    return {{h0 & kMask26, (h0 >> 26) & kMask26, ((h0 >> 52) | (h1 << 12)) & kMask26,
             (h1 >> 14) & kMask26, (h1 >> 40) | (h2 << 24)}};
}

struct Vector5 {
    __m256i v[5];
};

TESSAN_AVX2_INLINE Vector5 Broadcast(const Limbs& a) {
    Vector5 out;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i)
        out.v[i] = _mm256_set1_epi64x(static_cast<long long>(a.v[i]));
    return out;
}

// Four blocks from memory as limbs, with the 2^128 bit. The lanes come out in block order
// 0, 2, 1, 3 (the unpacks work within 128-bit halves); the final powers follow that order.
TESSAN_AVX2_INLINE Vector5 LoadBlocks(const uint8_t* p) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const __m256i lo = _mm256_unpacklo_epi64(a, b);
    const __m256i hi = _mm256_unpackhi_epi64(a, b);
    const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(kMask26));
    Vector5 m;
    m.v[0] = _mm256_and_si256(lo, mask);
    m.v[1] = _mm256_and_si256(_mm256_srli_epi64(lo, 26), mask);
    m.v[2] = _mm256_and_si256(_mm256_or_si256(_mm256_srli_epi64(lo, 52), _mm256_slli_epi64(hi, 12)),
                              mask);
    m.v[3] = _mm256_and_si256(_mm256_srli_epi64(hi, 14), mask);
    m.v[4] = _mm256_or_si256(_mm256_srli_epi64(hi, 40), _mm256_set1_epi64x(1 << 24));
    return m;
}

TESSAN_AVX2_INLINE __m256i Mul(__m256i x, __m256i y) {
    return _mm256_mul_epu32(x, y);
}
TESSAN_AVX2_INLINE __m256i Add(__m256i x, __m256i y) {
    return _mm256_add_epi64(x, y);
}

// h * r per lane, with s = 5 r precomputed; carries once through, enough for the next round.
TESSAN_AVX2_INLINE Vector5 MultiplyLanes(const Vector5& h, const Vector5& r, const Vector5& s) {
    __m256i d[5];
    d[0] = Add(Add(Mul(h.v[0], r.v[0]), Mul(h.v[1], s.v[4])),
               Add(Add(Mul(h.v[2], s.v[3]), Mul(h.v[3], s.v[2])), Mul(h.v[4], s.v[1])));
    d[1] = Add(Add(Mul(h.v[0], r.v[1]), Mul(h.v[1], r.v[0])),
               Add(Add(Mul(h.v[2], s.v[4]), Mul(h.v[3], s.v[3])), Mul(h.v[4], s.v[2])));
    d[2] = Add(Add(Mul(h.v[0], r.v[2]), Mul(h.v[1], r.v[1])),
               Add(Add(Mul(h.v[2], r.v[0]), Mul(h.v[3], s.v[4])), Mul(h.v[4], s.v[3])));
    d[3] = Add(Add(Mul(h.v[0], r.v[3]), Mul(h.v[1], r.v[2])),
               Add(Add(Mul(h.v[2], r.v[1]), Mul(h.v[3], r.v[0])), Mul(h.v[4], s.v[4])));
    d[4] = Add(Add(Mul(h.v[0], r.v[4]), Mul(h.v[1], r.v[3])),
               Add(Add(Mul(h.v[2], r.v[2]), Mul(h.v[3], r.v[1])), Mul(h.v[4], r.v[0])));
    const __m256i mask = _mm256_set1_epi64x(static_cast<long long>(kMask26));
    Vector5 out;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        d[i + 1] = Add(d[i + 1], _mm256_srli_epi64(d[i], 26));
        d[i] = _mm256_and_si256(d[i], mask);
    }
    const __m256i top = _mm256_srli_epi64(d[4], 26);
    d[4] = _mm256_and_si256(d[4], mask);
    d[0] = Add(d[0], Add(top, _mm256_slli_epi64(top, 2)));
    d[1] = Add(d[1], _mm256_srli_epi64(d[0], 26));
    d[0] = _mm256_and_si256(d[0], mask);
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i)
        out.v[i] = d[i];
    return out;
}

TESSAN_AVX2_INLINE Vector5 FiveTimes(const Vector5& r) {
    Vector5 s;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i)
        s.v[i] = _mm256_add_epi64(r.v[i], _mm256_slli_epi64(r.v[i], 2));
    return s;
}

}  // namespace

TESSAN_AVX2_TARGET void Poly1305Avx2Blocks(uint64_t h[3], uint64_t r0, uint64_t r1,
                                           const uint8_t* data, size_t blocks) {
    Limbs r = FromWords(r0, r1, 0);
    Limbs r2 = Multiply(r, r);
    Limbs r3 = Multiply(r2, r);
    Limbs r4 = Multiply(r3, r);
    const Vector5 power4 = Broadcast(r4);
    const Vector5 five4 = FiveTimes(power4);

    Vector5 acc = LoadBlocks(data);
    const Limbs start = FromWords(h[0], h[1], h[2]);
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) {
        acc.v[i] = _mm256_add_epi64(acc.v[i],
                                    _mm256_set_epi64x(0, 0, 0, static_cast<long long>(start.v[i])));
    }
    for (size_t done = 4; done < blocks; done += 4) {
        acc = MultiplyLanes(acc, power4, five4);
        const Vector5 m = LoadBlocks(data + 16 * done);
#pragma GCC unroll 5
        for (int i = 0; i < 5; ++i)
            acc.v[i] = _mm256_add_epi64(acc.v[i], m.v[i]);
    }
    // Lanes hold blocks 0, 2, 1, 3 of each group of four: powers r^4, r^2, r^3, r.
    Vector5 last;
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) {
        last.v[i] =
            _mm256_set_epi64x(static_cast<long long>(r.v[i]), static_cast<long long>(r3.v[i]),
                              static_cast<long long>(r2.v[i]), static_cast<long long>(r4.v[i]));
    }
    acc = MultiplyLanes(acc, last, FiveTimes(last));

    uint64_t d[5];
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) {
        alignas(32) uint64_t lanes[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc.v[i]);
        d[i] = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
    Carry(d);
    // Back to 64-bit words by addition (a limb may sit just at 2^26). The value is below 2^130
    // plus a little, so h[2] stays within what the scalar code expects of its accumulator.
    Wide w = Wide{d[0]} + (Wide{d[1]} << 26) + (Wide{d[2]} << 52);
    h[0] = static_cast<uint64_t>(w);
    w = (w >> 64) + (Wide{d[3]} << 14) + (Wide{d[4]} << 40);
    h[1] = static_cast<uint64_t>(w);
    h[2] = static_cast<uint64_t>(w >> 64);
    SecureWipe(&r, sizeof(r));
    SecureWipe(&r2, sizeof(r2));
    SecureWipe(&r3, sizeof(r3));
    SecureWipe(&r4, sizeof(r4));
}

}  // namespace tessan::crypto

#else  // not x86: never called, UseAvx2() is false.

namespace tessan::crypto {
void Poly1305Avx2Blocks(uint64_t*, uint64_t, uint64_t, const uint8_t*, size_t) {}
}  // namespace tessan::crypto

#endif
