#include "crypto/des.h"

#include <array>

#include "crypto/bytes.h"

namespace tessan::crypto {
namespace {

// FIPS 46-3 tables; bit positions count from 1 at the most significant bit.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2,  60, 52, 44, 36, 28, 20, 12, 4,  62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8,  57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};

constexpr uint8_t kPermutation[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23,
                                      26, 5, 18, 31, 10, 2,  8,  24, 14, 32, 27,
                                      3,  9, 19, 13, 30, 6,  22, 11, 4,  25};

constexpr uint8_t kPermutedChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr uint8_t kPermutedChoice2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

constexpr uint8_t kKeyShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

constexpr uint8_t kSboxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

constexpr bool SboxRowsArePermutations() {
    for (const auto& box : kSboxes) {
        for (int row = 0; row < 4; ++row) {
            unsigned seen = 0;
            for (int col = 0; col < 16; ++col)
                seen |= 1u << box[16 * row + col];
            if (seen != 0xffff) return false;
        }
    }
    return true;
}
static_assert(SboxRowsArePermutations(), "every S-box row is a permutation of 0..15");

// SP[i][x]: S-box i applied to the 6-bit group x, placed at output nibble i and permuted by P.
constexpr std::array<std::array<uint32_t, 64>, 8> MakeSpTables() {
    std::array<std::array<uint32_t, 64>, 8> sp{};
    for (int box = 0; box < 8; ++box) {
        for (int x = 0; x < 64; ++x) {
            const int row = ((x >> 4) & 2) | (x & 1);
            const int column = (x >> 1) & 15;
            const uint32_t placed = uint32_t{kSboxes[box][16 * row + column]} << (28 - 4 * box);
            uint32_t permuted = 0;
            for (int j = 0; j < 32; ++j) {
                if ((placed >> (32 - kPermutation[j])) & 1) permuted |= 1u << (31 - j);
            }
            sp[box][x] = permuted;
        }
    }
    return sp;
}

constexpr auto kSp = MakeSpTables();

// A 64-bit permutation applied a byte at a time: table[k][v] is where the bits of value v in
// byte k (0 = most significant) land.
using ByteTables = std::array<std::array<uint64_t, 256>, 8>;

constexpr ByteTables MakePermutationTables(bool inverse) {
    uint8_t destination[64] =
        {};  // input bit j (0-based from the top) lands at output bit destination[j]
    for (int i = 0; i < 64; ++i) {
        const int source = kInitialPermutation[i] - 1;
        if (inverse) {
            destination[i] = static_cast<uint8_t>(source);
        } else {
            destination[source] = static_cast<uint8_t>(i);
        }
    }
    ByteTables tables{};
    for (int k = 0; k < 8; ++k) {
        for (int v = 0; v < 256; ++v) {
            uint64_t out = 0;
            for (int b = 0; b < 8; ++b) {
                if ((v >> (7 - b)) & 1) out |= uint64_t{1} << (63 - destination[8 * k + b]);
            }
            tables[k][v] = out;
        }
    }
    return tables;
}

constexpr ByteTables kIpTables = MakePermutationTables(false);
constexpr ByteTables kFpTables = MakePermutationTables(true);

inline void Permute(const ByteTables& tables, uint32_t& left, uint32_t& right) {
    const uint64_t in = (uint64_t{left} << 32) | right;
    uint64_t out = 0;
    for (int k = 0; k < 8; ++k)
        out |= tables[k][(in >> (56 - 8 * k)) & 0xff];
    left = static_cast<uint32_t>(out >> 32);
    right = static_cast<uint32_t>(out);
}

// f(R, K) = P(S(E(R) ^ K)). E takes for S-box i the six bits 4i..4i+5 of R (1-based, circular),
// which is ROTR(R, 27 - 4i) & 63: one rotation serves the even boxes, another the odd ones.
inline uint32_t RoundFunction(uint32_t r, uint32_t evenKey, uint32_t oddKey) {
    const uint32_t x = Rotr32(r, 3) ^ evenKey;
    const uint32_t y = Rotl32(r, 1) ^ oddKey;
    return kSp[0][(x >> 24) & 63] | kSp[2][(x >> 16) & 63] | kSp[4][(x >> 8) & 63] |
           kSp[6][x & 63] | kSp[1][(y >> 24) & 63] | kSp[3][(y >> 16) & 63] |
           kSp[5][(y >> 8) & 63] | kSp[7][y & 63];
}

}  // namespace

void DesInitialPermutation(uint32_t& left, uint32_t& right) {
    Permute(kIpTables, left, right);
}
void DesFinalPermutation(uint32_t& left, uint32_t& right) {
    Permute(kFpTables, left, right);
}

Des::~Des() {
    SecureWipe(subkeys_, sizeof(subkeys_));
}

void Des::SetKey(const uint8_t key[8]) {
    auto keyBit = [&](int position) {
        return (key[(position - 1) / 8] >> (7 - (position - 1) % 8)) & 1;
    };
    uint8_t cd[56];
    for (int i = 0; i < 56; ++i)
        cd[i] = static_cast<uint8_t>(keyBit(kPermutedChoice1[i]));
    for (int round = 0; round < 16; ++round) {
        for (int s = 0; s < kKeyShifts[round]; ++s) {
            const uint8_t c0 = cd[0];
            const uint8_t d0 = cd[28];
            for (int i = 0; i < 27; ++i) {
                cd[i] = cd[i + 1];
                cd[28 + i] = cd[29 + i];
            }
            cd[27] = c0;
            cd[55] = d0;
        }
        uint32_t groups[8] = {};
        for (int i = 0; i < 48; ++i)
            groups[i / 6] = (groups[i / 6] << 1) | cd[kPermutedChoice2[i] - 1];
        subkeys_[2 * round] = (groups[0] << 24) | (groups[2] << 16) | (groups[4] << 8) | groups[6];
        subkeys_[2 * round + 1] =
            (groups[1] << 24) | (groups[3] << 16) | (groups[5] << 8) | groups[7];
    }
    SecureWipe(cd, sizeof(cd));
}

void Des::Rounds(uint32_t& left, uint32_t& right, bool decrypt) const {
    uint32_t l = left, r = right;
    if (decrypt) {
        for (int round = 15; round >= 0; round -= 2) {
            l ^= RoundFunction(r, subkeys_[2 * round], subkeys_[2 * round + 1]);
            r ^= RoundFunction(l, subkeys_[2 * round - 2], subkeys_[2 * round - 1]);
        }
    } else {
        for (int round = 0; round < 16; round += 2) {
            l ^= RoundFunction(r, subkeys_[2 * round], subkeys_[2 * round + 1]);
            r ^= RoundFunction(l, subkeys_[2 * round + 2], subkeys_[2 * round + 3]);
        }
    }
    // The last round does not swap the halves.
    left = r;
    right = l;
}

void Des::Encrypt(uint32_t& left, uint32_t& right) const {
    DesInitialPermutation(left, right);
    Rounds(left, right, false);
    DesFinalPermutation(left, right);
}

void Des::Decrypt(uint32_t& left, uint32_t& right) const {
    DesInitialPermutation(left, right);
    Rounds(left, right, true);
    DesFinalPermutation(left, right);
}

void TripleDes::SetKey(const uint8_t key[24]) {
    for (int i = 0; i < 3; ++i)
        keys_[i].SetKey(key + 8 * i);
}

void TripleDes::Encrypt(uint32_t& left, uint32_t& right) const {
    DesInitialPermutation(left, right);
    keys_[0].Rounds(left, right, false);
    keys_[1].Rounds(left, right, true);
    keys_[2].Rounds(left, right, false);
    DesFinalPermutation(left, right);
}

void TripleDes::Decrypt(uint32_t& left, uint32_t& right) const {
    DesInitialPermutation(left, right);
    keys_[2].Rounds(left, right, true);
    keys_[1].Rounds(left, right, false);
    keys_[0].Rounds(left, right, true);
    DesFinalPermutation(left, right);
}

}  // namespace tessan::crypto
