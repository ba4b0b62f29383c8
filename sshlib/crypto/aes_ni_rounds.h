// AES rounds on the processor's AES instructions, shared by the modes built on them (aes_ni.cpp,
// the GCM code). x86 only: include it under the same architecture test as its users.
#pragma once

#include <immintrin.h>

#include <cstdint>

#define TESSAN_AES_TARGET __attribute__((target("aes,sse4.1,ssse3")))

namespace tessan::crypto::aesni {

constexpr int kLanes = 8;

TESSAN_AES_TARGET inline __m128i LoadBlock(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
TESSAN_AES_TARGET inline void StoreBlock(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Everything below is instantiated per round count so the compiler unrolls the rounds and keeps
// the eight lanes in registers.
template <int R>
TESSAN_AES_TARGET inline __m128i EncryptOne(const __m128i* k, __m128i b) {
    b = _mm_xor_si128(b, k[0]);
#pragma GCC unroll 16
    for (int i = 1; i < R; ++i)
        b = _mm_aesenc_si128(b, k[i]);
    return _mm_aesenclast_si128(b, k[R]);
}

template <int R>
TESSAN_AES_TARGET inline __m128i DecryptOne(const __m128i* k, __m128i b) {
    b = _mm_xor_si128(b, k[0]);
#pragma GCC unroll 16
    for (int i = 1; i < R; ++i)
        b = _mm_aesdec_si128(b, k[i]);
    return _mm_aesdeclast_si128(b, k[R]);
}

template <int R>
TESSAN_AES_TARGET inline void EncryptLanes(const __m128i* k, __m128i* b) {
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_xor_si128(b[j], k[0]);
#pragma GCC unroll 16
    for (int i = 1; i < R; ++i) {
        const __m128i key = _mm_load_si128(k + i);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j)
            b[j] = _mm_aesenc_si128(b[j], key);
    }
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_aesenclast_si128(b[j], k[R]);
}

template <int R>
TESSAN_AES_TARGET inline void DecryptLanes(const __m128i* k, __m128i* b) {
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_xor_si128(b[j], k[0]);
#pragma GCC unroll 16
    for (int i = 1; i < R; ++i) {
        const __m128i key = _mm_load_si128(k + i);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j)
            b[j] = _mm_aesdec_si128(b[j], key);
    }
#pragma GCC unroll 8
    for (int j = 0; j < kLanes; ++j)
        b[j] = _mm_aesdeclast_si128(b[j], k[R]);
}

}  // namespace tessan::crypto::aesni
