// SHA-1 and SHA-256 block functions on the x86 SHA extensions. Each function carries its own
// target attribute so the library needs no global instruction-set flags; callers reach these only
// after the processor has been seen to support them.
#include "crypto/md_hash.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define TESSAN_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace tessan::crypto {

extern const uint32_t kSha256RoundConstants[64];

TESSAN_SHA_TARGET void Sha1BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count) {
    // The four words a..d live in one register with a in the top lane; e rides in the top lane of
    // the message vector that sha1nexte builds.
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

    for (; count != 0; --count, blocks += 64) {
        const __m128i abcdSaved = abcd;
        const __m128i eSaved = e0;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
        }
        __m128i previous = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w[0]), 0);

// Four rounds with message vector `i` (0..19) and round function `f`. Vectors from 4 on are built
// in the ring w[i % 4]: w[i] = msg2(msg1(w[i-4], w[i-3]) ^ w[i-2], w[i-1]).
#define TESSAN_SHA1_ROUNDS(i, f)                                                                 \
    do {                                                                                         \
        if ((i) >= 4) {                                                                          \
            w[(i)&3] = _mm_sha1msg2_epu32(                                                       \
                _mm_xor_si128(_mm_sha1msg1_epu32(w[(i)&3], w[((i) + 1) & 3]), w[((i) + 2) & 3]), \
                w[((i) + 3) & 3]);                                                               \
        }                                                                                        \
        const __m128i e = _mm_sha1nexte_epu32(previous, w[(i)&3]);                               \
        previous = abcd;                                                                         \
        abcd = _mm_sha1rnds4_epu32(abcd, e, f);                                                  \
    } while (0)

        TESSAN_SHA1_ROUNDS(1, 0);
        TESSAN_SHA1_ROUNDS(2, 0);
        TESSAN_SHA1_ROUNDS(3, 0);
        TESSAN_SHA1_ROUNDS(4, 0);
        TESSAN_SHA1_ROUNDS(5, 1);
        TESSAN_SHA1_ROUNDS(6, 1);
        TESSAN_SHA1_ROUNDS(7, 1);
        TESSAN_SHA1_ROUNDS(8, 1);
        TESSAN_SHA1_ROUNDS(9, 1);
        TESSAN_SHA1_ROUNDS(10, 2);
        TESSAN_SHA1_ROUNDS(11, 2);
        TESSAN_SHA1_ROUNDS(12, 2);
        TESSAN_SHA1_ROUNDS(13, 2);
        TESSAN_SHA1_ROUNDS(14, 2);
        TESSAN_SHA1_ROUNDS(15, 3);
        TESSAN_SHA1_ROUNDS(16, 3);
        TESSAN_SHA1_ROUNDS(17, 3);
        TESSAN_SHA1_ROUNDS(18, 3);
        TESSAN_SHA1_ROUNDS(19, 3);
#undef TESSAN_SHA1_ROUNDS

        e0 = _mm_sha1nexte_epu32(previous, eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1b));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

TESSAN_SHA_TARGET void Sha256BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // sha256rnds2 wants the state as (a, b, e, f) and (c, d, g, h).
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i state1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    tmp = _mm_shuffle_epi32(tmp, 0xb1);
    state1 = _mm_shuffle_epi32(state1, 0x1b);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);
    state1 = _mm_blend_epi16(state1, tmp, 0xf0);
    const __m128i* k = reinterpret_cast<const __m128i*>(kSha256RoundConstants);

    for (; count != 0; --count, blocks += 64) {
        const __m128i state0Saved = state0;
        const __m128i state1Saved = state1;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteSwap);
        }

// Four rounds with message vector `i` (0..15); from 4 on the vector is
// w[i] = msg2(msg1(w[i-4], w[i-3]) + alignr(w[i-1], w[i-2], 4), w[i-1]).
#define TESSAN_SHA256_ROUNDS(i)                                                        \
    do {                                                                               \
        if ((i) >= 4) {                                                                \
            const __m128i sum =                                                        \
                _mm_add_epi32(_mm_sha256msg1_epu32(w[(i)&3], w[((i) + 1) & 3]),        \
                              _mm_alignr_epi8(w[((i) + 3) & 3], w[((i) + 2) & 3], 4)); \
            w[(i)&3] = _mm_sha256msg2_epu32(sum, w[((i) + 3) & 3]);                    \
        }                                                                              \
        __m128i message = _mm_add_epi32(w[(i)&3], _mm_load_si128(k + (i)));            \
        state1 = _mm_sha256rnds2_epu32(state1, state0, message);                       \
        message = _mm_shuffle_epi32(message, 0x0e);                                    \
        state0 = _mm_sha256rnds2_epu32(state0, state1, message);                       \
    } while (0)

        TESSAN_SHA256_ROUNDS(0);
        TESSAN_SHA256_ROUNDS(1);
        TESSAN_SHA256_ROUNDS(2);
        TESSAN_SHA256_ROUNDS(3);
        TESSAN_SHA256_ROUNDS(4);
        TESSAN_SHA256_ROUNDS(5);
        TESSAN_SHA256_ROUNDS(6);
        TESSAN_SHA256_ROUNDS(7);
        TESSAN_SHA256_ROUNDS(8);
        TESSAN_SHA256_ROUNDS(9);
        TESSAN_SHA256_ROUNDS(10);
        TESSAN_SHA256_ROUNDS(11);
        TESSAN_SHA256_ROUNDS(12);
        TESSAN_SHA256_ROUNDS(13);
        TESSAN_SHA256_ROUNDS(14);
        TESSAN_SHA256_ROUNDS(15);
#undef TESSAN_SHA256_ROUNDS

        state0 = _mm_add_epi32(state0, state0Saved);
        state1 = _mm_add_epi32(state1, state1Saved);
    }
    tmp = _mm_shuffle_epi32(state0, 0x1b);
    state1 = _mm_shuffle_epi32(state1, 0xb1);
    state0 = _mm_blend_epi16(tmp, state1, 0xf0);
    state1 = _mm_alignr_epi8(state1, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

}  // namespace tessan::crypto

#else  // not x86: the portable code is always used, these are never reached.

namespace tessan::crypto {
void Sha1BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count) {
    Sha1BlocksPortable(state, blocks, count);
}
void Sha256BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count) {
    Sha256BlocksPortable(state, blocks, count);
}
}  // namespace tessan::crypto

#endif
