// GHASH on the carry-less multiply instruction, eight blocks per reduction.
#include "crypto/ghash.h"

#if defined(__x86_64__) || defined(__i386__)
#include "crypto/ghash_clmul_core.h"

namespace tessan::crypto {
namespace {

TESSAN_CLMUL_TARGET inline __m128i ToRegister(const GhashElement& e) {
    return _mm_set_epi64x(static_cast<long long>(e.hi), static_cast<long long>(e.lo));
}

TESSAN_CLMUL_TARGET inline GhashElement FromRegister(__m128i v) {
    return {static_cast<uint64_t>(_mm_cvtsi128_si64(v)),
            static_cast<uint64_t>(_mm_extract_epi64(v, 1))};
}

}  // namespace

TESSAN_CLMUL_TARGET GhashElement GhashMultiplyClmul(const GhashElement& a, const GhashElement& b) {
    return FromRegister(clmul::Reduce(clmul::Multiply(ToRegister(a), ToRegister(b))));
}

TESSAN_CLMUL_TARGET void GhashBlocksClmul(const GhashKey& key, GhashElement& y,
                                          const uint8_t* blocks, size_t count) {
    __m128i powers[GhashKey::kPowers];
    for (int i = 0; i < GhashKey::kPowers; ++i)
        powers[i] = ToRegister(key.powers[i]);
    __m128i acc = ToRegister(y);
    while (count != 0) {
        const int n = count < GhashKey::kPowers ? static_cast<int>(count) : GhashKey::kPowers;
        __m128i b[GhashKey::kPowers];
        for (int i = 0; i < n; ++i) {
            b[i] = clmul::ByteReverse(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)));
        }
        acc = clmul::HashBlocks(acc, b, n, powers);
        blocks += 16 * n;
        count -= static_cast<size_t>(n);
    }
    y = FromRegister(acc);
}

}  // namespace tessan::crypto

#else  // not x86: never called, UseClmul() is false.

namespace tessan::crypto {
GhashElement GhashMultiplyClmul(const GhashElement& a, const GhashElement& b) {
    return GhashMultiplyPortable(a, b);
}
void GhashBlocksClmul(const GhashKey& key, GhashElement& y, const uint8_t* blocks, size_t count) {
    GhashBlocksPortable(key, y, blocks, count);
}
}  // namespace tessan::crypto

#endif
