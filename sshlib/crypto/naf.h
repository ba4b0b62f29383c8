// Width-w non-adjacent form of a 256-bit scalar, for the variable-time double-scalar
// multiplications of signature verification (public scalars only). Internal to the curve code.
#pragma once

#include <cstdint>

#include "crypto/bytes.h"

namespace tessan::crypto {

inline constexpr int kNafDigits = 257;

// digits[i] is 0 or odd with |digits[i]| < 2^(w-1), sum digits[i] 2^i equals the scalar (four
// 64-bit limbs, least significant first), and every nonzero digit is followed by at least w-1
// zeros.
inline void ComputeNaf(int8_t digits[kNafDigits], const uint64_t scalar[4], int w) {
    uint64_t k[5] = {scalar[0], scalar[1], scalar[2], scalar[3], 0};
    const int64_t window = int64_t{1} << w;
    for (int i = 0; i < kNafDigits; ++i) {
        int64_t digit = 0;
        if (k[0] & 1) {
            digit = static_cast<int64_t>(k[0] & static_cast<uint64_t>(window - 1));
            if (digit >= window / 2) digit -= window;
            // k -= digit (sign-extended to five limbs), which clears the low w bits.
            const uint64_t extension = digit < 0 ? ~uint64_t{0} : 0;
            UInt128 difference = UInt128{k[0]} - static_cast<uint64_t>(digit);
            k[0] = static_cast<uint64_t>(difference);
            for (int j = 1; j < 5; ++j) {
                const uint64_t borrow = static_cast<uint64_t>(difference >> 64) & 1;
                difference = UInt128{k[j]} - extension - borrow;
                k[j] = static_cast<uint64_t>(difference);
            }
        }
        digits[i] = static_cast<int8_t>(digit);
        for (int j = 0; j < 4; ++j)
            k[j] = (k[j] >> 1) | (k[j + 1] << 63);
        k[4] >>= 1;
    }
}

}  // namespace tessan::crypto
