#include "crypto/sha1.h"

#include "crypto/cpu_features.h"

namespace tessan::crypto {
namespace {

constexpr uint32_t kInitial[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};

}  // namespace

void Sha1BlocksPortable(uint32_t* state, const uint8_t* blocks, size_t count) {
    for (; count != 0; --count, blocks += 64) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = LoadBe32(blocks + 4 * i);
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        // The 80-word schedule is kept as a 16-word ring.
        auto step = [&](int t, uint32_t f, uint32_t k) {
            uint32_t word;
            if (t < 16) {
                word = w[t];
            } else {
                word = Rotl32(w[(t + 13) & 15] ^ w[(t + 8) & 15] ^ w[(t + 2) & 15] ^ w[t & 15], 1);
                w[t & 15] = word;
            }
            const uint32_t temp = Rotl32(a, 5) + f + e + k + word;
            e = d;
            d = c;
            c = Rotl32(b, 30);
            b = a;
            a = temp;
        };
        for (int t = 0; t < 20; ++t)
            step(t, (b & c) | (~b & d), 0x5a827999);
        for (int t = 20; t < 40; ++t)
            step(t, b ^ c ^ d, 0x6ed9eba1);
        for (int t = 40; t < 60; ++t)
            step(t, (b & c) | (b & d) | (c & d), 0x8f1bbcdc);
        for (int t = 60; t < 80; ++t)
            step(t, b ^ c ^ d, 0xca62c1d6);
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

void Sha1::Reset() {
    core_.Reset(kInitial, UseShaNi() ? Sha1BlocksShaNi : Sha1BlocksPortable);
}

void Sha1::Finish(uint8_t* digest) {
    core_.Finish<5>(digest);
    Reset();
}

Sha1::Digest Sha1::Finish() {
    Digest digest;
    Finish(digest.data());
    return digest;
}

Sha1::Digest Sha1::Hash(std::span<const uint8_t> data) {
    Sha1 hash;
    hash.Update(data);
    return hash.Finish();
}

void Sha1Compress(uint32_t state[5], const uint8_t block[64]) {
    if (UseShaNi()) {
        Sha1BlocksShaNi(state, block, 1);
    } else {
        Sha1BlocksPortable(state, block, 1);
    }
}

}  // namespace tessan::crypto
