// GHASH without the carry-less multiply instruction, in constant time.
#include "crypto/bytes.h"
#include "crypto/ghash.h"

namespace tessan::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr int kClasses = 5;

// Bits whose position is `c` modulo 5.
constexpr Wide ClassMask(int c) {
    Wide mask = 0;
    for (int i = c; i < 128; i += kClasses)
        mask |= Wide{1} << i;
    return mask;
}
constexpr Wide kMask[kClasses] = {ClassMask(0), ClassMask(1), ClassMask(2), ClassMask(3),
                                  ClassMask(4)};

// The carry-less product of two 64-bit polynomials by ordinary multiplication. Each operand is
// split into five parts holding every fifth bit. In an integer product of two parts every bit
// product lands on a position of one residue class, at most 13 of them on the same position,
// so their sum spans four bits and its carries never reach the next position of that class:
// the bit there is exactly the XOR the carry-less product wants. No step depends on the values.
Wide Clmul64(uint64_t x, uint64_t y) {
    uint64_t xs[kClasses], ys[kClasses];
    for (int c = 0; c < kClasses; ++c) {
        xs[c] = x & static_cast<uint64_t>(kMask[c]);
        ys[c] = y & static_cast<uint64_t>(kMask[c]);
    }
    Wide sums[kClasses] = {};
    for (int i = 0; i < kClasses; ++i) {
        for (int j = 0; j < kClasses; ++j)
            sums[(i + j) % kClasses] ^= Wide{xs[i]} * ys[j];
    }
    Wide product = 0;
    for (int c = 0; c < kClasses; ++c)
        product |= sums[c] & kMask[c];
    return product;
}

}  // namespace

GhashElement GhashLoad(const uint8_t block[16]) {
    return {LoadBe64(block + 8), LoadBe64(block)};
}

void GhashStore(const GhashElement& element, uint8_t block[16]) {
    StoreBe64(block, element.hi);
    StoreBe64(block + 8, element.lo);
}

GhashElement GhashMultiplyPortable(const GhashElement& a, const GhashElement& b) {
    // Karatsuba: three 64-bit products make the 256-bit one, words x3:x2:x1:x0.
    const Wide low = Clmul64(a.lo, b.lo);
    const Wide high = Clmul64(a.hi, b.hi);
    const Wide middle = Clmul64(a.lo ^ a.hi, b.lo ^ b.hi) ^ low ^ high;
    uint64_t x0 = static_cast<uint64_t>(low);
    uint64_t x1 = static_cast<uint64_t>(low >> 64) ^ static_cast<uint64_t>(middle);
    uint64_t x2 = static_cast<uint64_t>(high) ^ static_cast<uint64_t>(middle >> 64);
    uint64_t x3 = static_cast<uint64_t>(high >> 64);

    // Reflected operands give the reflected product shifted right by one: shift it back.
    x3 = (x3 << 1) | (x2 >> 63);
    x2 = (x2 << 1) | (x1 >> 63);
    x1 = (x1 << 1) | (x0 >> 63);
    x0 <<= 1;

    // x3:x2 hold x^0..x^127, x1:x0 the part F from x^128 up, which equals F (1 + x + x^2 + x^7).
    // Multiplying by x shifts right here; what the shifts push below bit 0 of x1:x0 (degrees
    // 128-134 again) comes from x0's low bits and is folded into F first.
    x1 ^= (x0 << 63) ^ (x0 << 62) ^ (x0 << 57);
    const uint64_t hi = x1 ^ (x1 >> 1) ^ (x1 >> 2) ^ (x1 >> 7);
    const uint64_t lo =
        x0 ^ ((x0 >> 1) | (x1 << 63)) ^ ((x0 >> 2) | (x1 << 62)) ^ ((x0 >> 7) | (x1 << 57));
    return {x2 ^ lo, x3 ^ hi};
}

void GhashSetKey(GhashKey& key, const uint8_t h[16], bool clmul) {
    key.powers[0] = GhashLoad(h);
    for (int i = 1; i < GhashKey::kPowers; ++i) {
        key.powers[i] = clmul ? GhashMultiplyClmul(key.powers[i - 1], key.powers[0])
                              : GhashMultiplyPortable(key.powers[i - 1], key.powers[0]);
    }
}

void GhashBlocksPortable(const GhashKey& key, GhashElement& y, const uint8_t* blocks,
                         size_t count) {
    GhashElement acc = y;
    for (size_t i = 0; i < count; ++i, blocks += 16) {
        const GhashElement x = GhashLoad(blocks);
        acc = GhashMultiplyPortable({acc.lo ^ x.lo, acc.hi ^ x.hi}, key.powers[0]);
    }
    y = acc;
}

}  // namespace tessan::crypto
