// GHASH arithmetic on the carry-less multiply instruction, shared by the GHASH functions and
// the fused AES-GCM loops. Field elements live in registers as the block read as one 128-bit
// big-endian number (see ghash.h): the low 64-bit lane is `lo`, the high lane `hi`.
// x86 only: include it under the same architecture test as its users.
#pragma once

#include <immintrin.h>

#include <cstdint>

#define TESSAN_CLMUL_TARGET __attribute__((target("pclmul,sse4.1,ssse3")))

namespace tessan::crypto::clmul {

// A block from memory in the register form: all 16 bytes reversed.
TESSAN_CLMUL_TARGET inline __m128i ByteReverse(__m128i v) {
    return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

// A 256-bit carry-less product not yet reduced, as high and low 128-bit halves. Products of
// several pairs can be summed (XORed) here and reduced once.
struct Product {
    __m128i high;
    __m128i low;
};

TESSAN_CLMUL_TARGET inline Product Multiply(__m128i a, __m128i b) {
    const __m128i low = _mm_clmulepi64_si128(a, b, 0x00);
    const __m128i high = _mm_clmulepi64_si128(a, b, 0x11);
    const __m128i middle =
        _mm_xor_si128(_mm_clmulepi64_si128(a, b, 0x01), _mm_clmulepi64_si128(a, b, 0x10));
    return {_mm_xor_si128(high, _mm_srli_si128(middle, 8)),
            _mm_xor_si128(low, _mm_slli_si128(middle, 8))};
}

TESSAN_CLMUL_TARGET inline void Accumulate(Product& sum, __m128i a, __m128i b) {
    const Product p = Multiply(a, b);
    sum.high = _mm_xor_si128(sum.high, p.high);
    sum.low = _mm_xor_si128(sum.low, p.low);
}

// Shifts the 256-bit product left by one (reflected operands give the reflected product
// shifted right by one) and reduces it modulo x^128 + x^7 + x^2 + x + 1. The low half F holds
// the coefficients from x^128 up, which equal F (1 + x + x^2 + x^7); multiplying by x shifts
// right in this form, and the bits those shifts push out of F (degrees 128-134 again) come from
// F's lowest word and are folded into F before it is applied.
TESSAN_CLMUL_TARGET inline __m128i Reduce(Product p) {
    const __m128i carryHigh = _mm_srli_si128(_mm_srli_epi64(p.low, 63), 8);
    const __m128i high = _mm_or_si128(
        _mm_or_si128(_mm_slli_epi64(p.high, 1), _mm_slli_si128(_mm_srli_epi64(p.high, 63), 8)),
        carryHigh);
    __m128i low =
        _mm_or_si128(_mm_slli_epi64(p.low, 1), _mm_slli_si128(_mm_srli_epi64(p.low, 63), 8));

    const __m128i spill = _mm_xor_si128(
        _mm_xor_si128(_mm_slli_epi64(low, 63), _mm_slli_epi64(low, 62)), _mm_slli_epi64(low, 57));
    low = _mm_xor_si128(low, _mm_slli_si128(spill, 8));
    const __m128i down = _mm_xor_si128(
        _mm_xor_si128(_mm_srli_epi64(low, 1), _mm_srli_epi64(low, 2)), _mm_srli_epi64(low, 7));
    const __m128i across = _mm_xor_si128(
        _mm_xor_si128(_mm_slli_epi64(low, 63), _mm_slli_epi64(low, 62)), _mm_slli_epi64(low, 57));
    return _mm_xor_si128(_mm_xor_si128(high, low), _mm_xor_si128(down, _mm_srli_si128(across, 8)));
}

// Hashes `n` (1..8) blocks already in register form into y:
// y = (y + b[0]) H^n + b[1] H^(n-1) + ... + b[n-1] H, with powers[i] = H^(i+1).
TESSAN_CLMUL_TARGET inline __m128i HashBlocks(__m128i y, const __m128i* b, int n,
                                              const __m128i* powers) {
    Product sum = Multiply(_mm_xor_si128(y, b[0]), powers[n - 1]);
    for (int i = 1; i < n; ++i)
        Accumulate(sum, b[i], powers[n - 1 - i]);
    return Reduce(sum);
}

}  // namespace tessan::crypto::clmul
