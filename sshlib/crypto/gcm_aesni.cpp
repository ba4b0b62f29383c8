// The bulk of GCM on the AES and carry-less multiply instructions: eight counter blocks are
// encrypted side by side and the eight ciphertext blocks hashed with one reduction. The AES and
// the multiply run on different execution units, and the two chains of work within one pass
// are independent, so the processor overlaps them.
#include "crypto/gcm.h"

#include "crypto/bytes.h"

#if defined(__x86_64__) || defined(__i386__)
#include "crypto/aes_ni_rounds.h"
#include "crypto/ghash_clmul_core.h"

#define TESSAN_GCM_TARGET __attribute__((target("aes,pclmul,sse4.1,ssse3")))

namespace tessan::crypto {
namespace {

using aesni::kLanes;
using aesni::LoadBlock;
using aesni::StoreBlock;

// Swaps the last four bytes of a counter block, so that the 32-bit counter GCM increments
// (big-endian, bytes 12-15) becomes a little-endian lane 3 that vector adds can step; the same
// shuffle turns it back.
TESSAN_GCM_TARGET inline __m128i CounterSwap(__m128i v) {
    return _mm_shuffle_epi8(v, _mm_set_epi8(12, 13, 14, 15, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0));
}

struct Bulk {
    __m128i powers[GhashKey::kPowers];
    __m128i counter;  // swapped form
    __m128i y;
};

TESSAN_GCM_TARGET inline void Load(Bulk& s, const GhashKey& key, const uint8_t* counter,
                                   const GhashElement& y) {
    for (int i = 0; i < GhashKey::kPowers; ++i)
        s.powers[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&key.powers[i]));
    s.counter = CounterSwap(LoadBlock(counter));
    s.y = _mm_set_epi64x(static_cast<long long>(y.hi), static_cast<long long>(y.lo));
}

TESSAN_GCM_TARGET inline void Save(const Bulk& s, uint8_t* counter, GhashElement& y) {
    StoreBlock(counter, CounterSwap(s.counter));
    y = {static_cast<uint64_t>(_mm_cvtsi128_si64(s.y)),
         static_cast<uint64_t>(_mm_extract_epi64(s.y, 1))};
}

// The next `n` counter blocks (inc32 each), ready for AES.
TESSAN_GCM_TARGET inline void NextCounters(Bulk& s, __m128i* b, int n) {
    for (int j = 0; j < n; ++j)
        b[j] = CounterSwap(_mm_add_epi32(s.counter, _mm_set_epi32(j, 0, 0, 0)));
    s.counter = _mm_add_epi32(s.counter, _mm_set_epi32(n, 0, 0, 0));
}

// Encrypts the next eight counter blocks while hashing the eight ciphertext blocks of the
// previous round of the loop (in register form in h): one block's multiply between two AES
// rounds, so both units work at once. The eighth product and the reduction follow the rounds.
template <int R>
TESSAN_GCM_TARGET inline void EncryptLanesHashing(Bulk& s, const __m128i* k, __m128i* b,
                                                  const __m128i* h) {
    constexpr int n = GhashKey::kPowers;
    static_assert(R - 1 >= n - 1, "every multiply but the first finds a round to share");
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_xor_si128(b[j], k[0]);
    clmul::Product sum = clmul::Multiply(_mm_xor_si128(s.y, h[0]), s.powers[n - 1]);
#pragma GCC unroll 16
    for (int i = 1; i < R; ++i) {
        const __m128i key = _mm_load_si128(k + i);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j)
            b[j] = _mm_aesenc_si128(b[j], key);
        if (i < n) clmul::Accumulate(sum, h[i], s.powers[n - 1 - i]);
    }
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_aesenclast_si128(b[j], k[R]);
    s.y = clmul::Reduce(sum);
}

template <int R>
TESSAN_GCM_TARGET void Encrypt(Bulk& s, const __m128i* k, const uint8_t* in, uint8_t* out,
                               size_t blocks) {
    __m128i b[kLanes], h[kLanes];
    bool hashPending = false;  // h holds ciphertext not yet hashed
    while (blocks >= kLanes) {
        NextCounters(s, b, kLanes);
        if (hashPending) {
            EncryptLanesHashing<R>(s, k, b, h);
        } else {
            aesni::EncryptLanes<R>(k, b);
        }
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j) {
            const __m128i c = _mm_xor_si128(LoadBlock(in + 16 * j), b[j]);
            StoreBlock(out + 16 * j, c);
            h[j] = clmul::ByteReverse(c);
        }
        hashPending = true;
        in += 16 * kLanes;
        out += 16 * kLanes;
        blocks -= kLanes;
    }
    if (hashPending) s.y = clmul::HashBlocks(s.y, h, kLanes, s.powers);
    if (blocks == 0) return;
    const int n = static_cast<int>(blocks);
    NextCounters(s, b, n);
    for (int j = 0; j < n; ++j) {
        const __m128i c = _mm_xor_si128(LoadBlock(in + 16 * j), aesni::EncryptOne<R>(k, b[j]));
        StoreBlock(out + 16 * j, c);
        h[j] = clmul::ByteReverse(c);
    }
    s.y = clmul::HashBlocks(s.y, h, n, s.powers);
}

template <int R>
TESSAN_GCM_TARGET void Decrypt(Bulk& s, const __m128i* k, const uint8_t* in, uint8_t* out,
                               size_t blocks) {
    __m128i b[kLanes], c[kLanes], h[kLanes];
    while (blocks >= kLanes) {
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j) {
            c[j] = LoadBlock(in + 16 * j);
            h[j] = clmul::ByteReverse(c[j]);
        }
        NextCounters(s, b, kLanes);
        EncryptLanesHashing<R>(s, k, b, h);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j)
            StoreBlock(out + 16 * j, _mm_xor_si128(c[j], b[j]));
        in += 16 * kLanes;
        out += 16 * kLanes;
        blocks -= kLanes;
    }
    if (blocks == 0) return;
    const int n = static_cast<int>(blocks);
    for (int j = 0; j < n; ++j) {
        c[j] = LoadBlock(in + 16 * j);
        h[j] = clmul::ByteReverse(c[j]);
    }
    s.y = clmul::HashBlocks(s.y, h, n, s.powers);
    NextCounters(s, b, n);
    for (int j = 0; j < n; ++j)
        StoreBlock(out + 16 * j, _mm_xor_si128(c[j], aesni::EncryptOne<R>(k, b[j])));
}

template <bool kEncrypt>
TESSAN_GCM_TARGET void Run(const uint8_t* roundKeys, int rounds, const GhashKey& key,
                           uint8_t counter[16], const uint8_t* in, uint8_t* out, size_t blocks,
                           GhashElement& y) {
    Bulk s;
    Load(s, key, counter, y);
    const auto* k = reinterpret_cast<const __m128i*>(roundKeys);
    switch (rounds) {
        case 10:
            kEncrypt ? Encrypt<10>(s, k, in, out, blocks) : Decrypt<10>(s, k, in, out, blocks);
            break;
        case 12:
            kEncrypt ? Encrypt<12>(s, k, in, out, blocks) : Decrypt<12>(s, k, in, out, blocks);
            break;
        default:
            kEncrypt ? Encrypt<14>(s, k, in, out, blocks) : Decrypt<14>(s, k, in, out, blocks);
            break;
    }
    Save(s, counter, y);
    SecureWipe(&s, sizeof(s));  // the powers of H
}

}  // namespace

void GcmAesNiEncrypt(const uint8_t* roundKeys, int rounds, const GhashKey& key, uint8_t counter[16],
                     const uint8_t* in, uint8_t* out, size_t blocks, GhashElement& y) {
    Run<true>(roundKeys, rounds, key, counter, in, out, blocks, y);
}

void GcmAesNiDecrypt(const uint8_t* roundKeys, int rounds, const GhashKey& key, uint8_t counter[16],
                     const uint8_t* in, uint8_t* out, size_t blocks, GhashElement& y) {
    Run<false>(roundKeys, rounds, key, counter, in, out, blocks, y);
}

}  // namespace tessan::crypto

#else  // not x86: never called, the fused path needs AES-NI and PCLMULQDQ.

namespace tessan::crypto {
void GcmAesNiEncrypt(const uint8_t*, int, const GhashKey&, uint8_t*, const uint8_t*, uint8_t*,
                     size_t, GhashElement&) {}
void GcmAesNiDecrypt(const uint8_t*, int, const GhashKey&, uint8_t*, const uint8_t*, uint8_t*,
                     size_t, GhashElement&) {}
}  // namespace tessan::crypto

#endif
