// GHASH, the universal hash of GCM (NIST SP 800-38D section 6.4), over GF(2^128) with the
// polynomial x^128 + x^7 + x^2 + x + 1.
//
// A field element is held as the block read as one big-endian 128-bit number (hi, lo): GCM
// numbers the bits of a block from the left, so coefficient x^i sits at bit 127 - i. In that
// reflected form a carry-less product comes out shifted right by one, which the multiply undoes
// before it reduces.
//
// Two implementations with identical results: the processor's carry-less multiply
// (PCLMULQDQ, ghash_clmul.cpp) and portable code whose time depends only on the length of the
// input (ghash_portable.cpp: no table look-ups, no branches on data).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

struct GhashElement {
    uint64_t lo = 0;
    uint64_t hi = 0;
};

// H^1 ... H^8, so eight blocks can be hashed with one reduction:
// Y' = (Y + X1) H^8 + X2 H^7 + ... + X8 H.
struct GhashKey {
    static constexpr int kPowers = 8;
    GhashElement powers[kPowers];
};

GhashElement GhashLoad(const uint8_t block[16]);
void GhashStore(const GhashElement& element, uint8_t block[16]);

// a * b in the field.
GhashElement GhashMultiplyPortable(const GhashElement& a, const GhashElement& b);
GhashElement GhashMultiplyClmul(const GhashElement& a, const GhashElement& b);

// Fills the powers of H (the encryption of the zero block) with the chosen implementation.
void GhashSetKey(GhashKey& key, const uint8_t h[16], bool clmul);

// Y = (...((Y + X1) H + X2) H ... + Xn) H over `count` whole 16-byte blocks.
void GhashBlocksPortable(const GhashKey& key, GhashElement& y, const uint8_t* blocks, size_t count);
void GhashBlocksClmul(const GhashKey& key, GhashElement& y, const uint8_t* blocks, size_t count);

}  // namespace tessan::crypto
