// ChaCha20 on AVX-512: sixteen blocks side by side, one 512-bit register per state word (lane j
// holds the word of block j). With 32 registers the whole state stays in registers, and the
// rotations are single instructions.
#include "crypto/chacha20.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12's AVX-512 intrinsics start from a deliberately undefined register (the unmasked forms
// of masked instructions), which its own flow analysis then reports as possibly uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#define TESSAN_AVX512_TARGET __attribute__((target("avx512f")))

namespace tessan::crypto {
namespace {

template <int N>
TESSAN_AVX512_TARGET inline __m512i Rotl(__m512i v) {
    return _mm512_rol_epi32(v, N);
}

TESSAN_AVX512_TARGET inline void QuarterRound(__m512i& a, __m512i& b, __m512i& c, __m512i& d) {
    a = _mm512_add_epi32(a, b);
    d = Rotl<16>(_mm512_xor_si512(d, a));
    c = _mm512_add_epi32(c, d);
    b = Rotl<12>(_mm512_xor_si512(b, c));
    a = _mm512_add_epi32(a, b);
    d = Rotl<8>(_mm512_xor_si512(d, a));
    c = _mm512_add_epi32(c, d);
    b = Rotl<7>(_mm512_xor_si512(b, c));
}

// Turns sixteen registers of one word each (lane j = block j) into sixteen registers holding
// one block each. Within each 128-bit quarter the word pairs and quads are interleaved first;
// then u[k], u[4 + k], u[8 + k], u[12 + k] hold words 0-3, 4-7, 8-11, 12-15 of blocks k, k + 4,
// k + 8 and k + 12 (one per quarter), and a 4x4 transpose of quarters puts each block together.
TESSAN_AVX512_TARGET inline void Transpose(const __m512i* v, __m512i* blocks) {
    __m512i t[16], u[16];
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_epi32(v[i], v[i + 1]);
        t[i + 1] = _mm512_unpackhi_epi32(v[i], v[i + 1]);
    }
    for (int i = 0; i < 16; i += 4) {
        u[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
        u[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
        u[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
        u[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    for (int k = 0; k < 4; ++k) {
        const __m512i ab01 = _mm512_shuffle_i32x4(u[k], u[4 + k], 0x44);
        const __m512i ab23 = _mm512_shuffle_i32x4(u[k], u[4 + k], 0xee);
        const __m512i cd01 = _mm512_shuffle_i32x4(u[8 + k], u[12 + k], 0x44);
        const __m512i cd23 = _mm512_shuffle_i32x4(u[8 + k], u[12 + k], 0xee);
        blocks[k] = _mm512_shuffle_i32x4(ab01, cd01, 0x88);
        blocks[4 + k] = _mm512_shuffle_i32x4(ab01, cd01, 0xdd);
        blocks[8 + k] = _mm512_shuffle_i32x4(ab23, cd23, 0x88);
        blocks[12 + k] = _mm512_shuffle_i32x4(ab23, cd23, 0xdd);
    }
}

}  // namespace

TESSAN_AVX512_TARGET size_t ChaCha20Avx512Blocks(const uint32_t state[16], const uint8_t* in,
                                                 uint8_t* out, size_t blocks) {
    const __m512i laneOffsets =
        _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    __m512i initial[16];
    for (int i = 0; i < 16; ++i)
        initial[i] = _mm512_set1_epi32(static_cast<int>(state[i]));
    initial[12] = _mm512_add_epi32(initial[12], laneOffsets);

    size_t done = 0;
    for (; done + 16 <= blocks; done += 16) {
        __m512i x[16];
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
            x[i] = _mm512_add_epi32(x[i], initial[i]);
        __m512i keystream[16];
        Transpose(x, keystream);
        for (int j = 0; j < 16; ++j) {
            const size_t offset = 64 * (done + j);
            _mm512_storeu_si512(out + offset,
                                _mm512_xor_si512(_mm512_loadu_si512(in + offset), keystream[j]));
        }
        initial[12] = _mm512_add_epi32(initial[12], _mm512_set1_epi32(16));
    }
    return done;
}

}  // namespace tessan::crypto

#else  // not x86: never called, UseAvx512() is false.

namespace tessan::crypto {
size_t ChaCha20Avx512Blocks(const uint32_t*, const uint8_t*, uint8_t*, size_t) {
    return 0;
}
}  // namespace tessan::crypto

#endif
