// ChaCha20 on AVX2: eight blocks side by side, one 256-bit register per state word (lane j holds
// the word of block j), so each quarter round is eight quarter rounds at once. The keystream
// is then transposed back into eight consecutive 64-byte blocks.
#include "crypto/chacha20.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

#define TESSAN_AVX2_TARGET __attribute__((target("avx2")))

namespace tessan::crypto {
namespace {

TESSAN_AVX2_TARGET inline __m256i Rotl(__m256i v, int n) {
    return _mm256_or_si256(_mm256_slli_epi32(v, n), _mm256_srli_epi32(v, 32 - n));
}

// Rotations by 16 and 8 move whole bytes: one byte shuffle instead of two shifts and an or.
TESSAN_AVX2_TARGET inline __m256i Rotl16(__m256i v) {
    const __m256i order = _mm256_set_epi8(13, 12, 15, 14, 9, 8, 11, 10, 5, 4, 7, 6, 1, 0, 3, 2, 13,
                                          12, 15, 14, 9, 8, 11, 10, 5, 4, 7, 6, 1, 0, 3, 2);
    return _mm256_shuffle_epi8(v, order);
}
TESSAN_AVX2_TARGET inline __m256i Rotl8(__m256i v) {
    const __m256i order = _mm256_set_epi8(14, 13, 12, 15, 10, 9, 8, 11, 6, 5, 4, 7, 2, 1, 0, 3, 14,
                                          13, 12, 15, 10, 9, 8, 11, 6, 5, 4, 7, 2, 1, 0, 3);
    return _mm256_shuffle_epi8(v, order);
}

TESSAN_AVX2_TARGET inline void QuarterRound(__m256i& a, __m256i& b, __m256i& c, __m256i& d) {
    a = _mm256_add_epi32(a, b);
    d = Rotl16(_mm256_xor_si256(d, a));
    c = _mm256_add_epi32(c, d);
    b = Rotl(_mm256_xor_si256(b, c), 12);
    a = _mm256_add_epi32(a, b);
    d = Rotl8(_mm256_xor_si256(d, a));
    c = _mm256_add_epi32(c, d);
    b = Rotl(_mm256_xor_si256(b, c), 7);
}

// Turns eight registers of one word each (lane j = block j) into eight registers of eight
// consecutive words each (register j = block j's words), i.e. an 8x8 transpose of 32-bit words.
TESSAN_AVX2_TARGET inline void Transpose(__m256i* v) {
    __m256i t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_epi32(v[i], v[i + 1]);
        t[i + 1] = _mm256_unpackhi_epi32(v[i], v[i + 1]);
    }
    // Within each 128-bit half: u[0] block 0|4, u[1] block 1|5, u[2] block 2|6, u[3] block 3|7
    // for words 0-3 of the group; u[4..7] the same for words 4-7.
    for (int i = 0; i < 8; i += 4) {
        u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int j = 0; j < 4; ++j) {
        v[j] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x20);
        v[j + 4] = _mm256_permute2x128_si256(u[j], u[j + 4], 0x31);
    }
}

}  // namespace

TESSAN_AVX2_TARGET size_t ChaCha20Avx2Blocks(const uint32_t state[16], const uint8_t* in,
                                             uint8_t* out, size_t blocks) {
    const __m256i laneOffsets = _mm256_set_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    __m256i initial[16];
    for (int i = 0; i < 16; ++i)
        initial[i] = _mm256_set1_epi32(static_cast<int>(state[i]));
    initial[12] = _mm256_add_epi32(initial[12], laneOffsets);

    size_t done = 0;
    for (; done + 8 <= blocks; done += 8) {
        __m256i x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = initial[i];
        for (int round = 0; round < 10; ++round) {
            QuarterRound(x[0], x[4], x[8], x[12]);
            QuarterRound(x[1], x[5], x[9], x[13]);
            QuarterRound(x[2], x[6], x[10], x[14]);
            QuarterRound(x[3], x[7], x[11], x[15]);
            QuarterRound(x[0], x[5], x[10], x[15]);
            QuarterRound(x[1], x[6], x[11], x[12]);
            QuarterRound(x[2], x[7], x[8], x[13]);
            QuarterRound(x[3], x[4], x[9], x[14]);
        }
        for (int i = 0; i < 16; ++i)
            x[i] = _mm256_add_epi32(x[i], initial[i]);
        Transpose(x);      // words 0-7 of blocks 0-7
        Transpose(x + 8);  // words 8-15
        const uint8_t* src = in + 64 * done;
        uint8_t* dst = out + 64 * done;
        for (int j = 0; j < 8; ++j) {
            for (int half = 0; half < 2; ++half) {
                const auto* p = reinterpret_cast<const __m256i*>(src + 64 * j + 32 * half);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 64 * j + 32 * half),
                                    _mm256_xor_si256(_mm256_loadu_si256(p), x[j + 8 * half]));
            }
        }
        initial[12] = _mm256_add_epi32(initial[12], _mm256_set1_epi32(8));
    }
    return done;
}

}  // namespace tessan::crypto

#else  // not x86: never called, UseAvx2() is false.

namespace tessan::crypto {
size_t ChaCha20Avx2Blocks(const uint32_t*, const uint8_t*, uint8_t*, size_t) {
    return 0;
}
}  // namespace tessan::crypto

#endif
