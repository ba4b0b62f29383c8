// Add-with-carry, subtract-with-borrow and the full 64x64 -> 128-bit product, for the multi-limb
// arithmetic of the curve code. On x86-64 the carry chains map onto ADC and SBB, which the
// compiler does not find on its own from 128-bit additions. Every function is branch-free.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace tessan::crypto {

// a + b + carry; carry (0 or 1) becomes the carry out.
inline uint64_t AddCarry64(uint64_t a, uint64_t b, unsigned char& carry) {
#if defined(__x86_64__)
    unsigned long long out;
    carry = _addcarry_u64(carry, a, b, &out);
    return out;
#else
    const UInt128 sum = UInt128{a} + b + carry;
    carry = static_cast<unsigned char>(sum >> 64);
    return static_cast<uint64_t>(sum);
#endif
}

// a - b - borrow; borrow (0 or 1) becomes the borrow out.
inline uint64_t SubBorrow64(uint64_t a, uint64_t b, unsigned char& borrow) {
#if defined(__x86_64__)
    unsigned long long out;
    borrow = _subborrow_u64(borrow, a, b, &out);
    return out;
#else
    const UInt128 difference = UInt128{a} - b - borrow;
    borrow = static_cast<unsigned char>((difference >> 64) & 1);
    return static_cast<uint64_t>(difference);
#endif
}

// The low half of a * b; the high half goes to `high`.
inline uint64_t MulWide(uint64_t a, uint64_t b, uint64_t& high) {
    const UInt128 product = UInt128{a} * b;
    high = static_cast<uint64_t>(product >> 64);
    return static_cast<uint64_t>(product);
}

}  // namespace tessan::crypto
