#include "crypto/chacha20.h"

#include <algorithm>

#include "crypto/bytes.h"
#include "crypto/cpu_features.h"

namespace tessan::crypto {
namespace {

// "expand 32-byte k" as four little-endian words.
constexpr uint32_t kSigma[4] = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};

inline void QuarterRound(uint32_t& a, uint32_t& b, uint32_t& c, uint32_t& d) {
    a += b;
    d = Rotl32(d ^ a, 16);
    c += d;
    b = Rotl32(b ^ c, 12);
    a += b;
    d = Rotl32(d ^ a, 8);
    c += d;
    b = Rotl32(b ^ c, 7);
}

}  // namespace

void ChaCha20Block(const uint32_t state[16], uint8_t out[64]) {
    uint32_t x[16];
    std::copy(state, state + 16, x);
    for (int i = 0; i < 10; ++i) {
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
        StoreLe32(out + 4 * i, x[i] + state[i]);
    SecureWipe(x, sizeof(x));
}

ChaCha20::~ChaCha20() {
    SecureWipe(state_, sizeof(state_));
}

void ChaCha20::SetKey(const uint8_t key[kKeyLength]) {
    std::copy(kSigma, kSigma + 4, state_);
    for (int i = 0; i < 8; ++i)
        state_[4 + i] = LoadLe32(key + 4 * i);
    avx2_ = UseAvx2();
    avx512_ = UseAvx512();
}

void ChaCha20::SetNonce64(const uint8_t nonce[8], uint64_t counter) {
    wideCounter_ = true;
    state_[12] = static_cast<uint32_t>(counter);
    state_[13] = static_cast<uint32_t>(counter >> 32);
    state_[14] = LoadLe32(nonce);
    state_[15] = LoadLe32(nonce + 4);
}

void ChaCha20::SetNonce96(const uint8_t nonce[12], uint32_t counter) {
    wideCounter_ = false;
    state_[12] = counter;
    state_[13] = LoadLe32(nonce);
    state_[14] = LoadLe32(nonce + 4);
    state_[15] = LoadLe32(nonce + 8);
}

void ChaCha20::Advance(uint64_t blocks) {
    const uint64_t low = uint64_t{state_[12]} + blocks;
    state_[12] = static_cast<uint32_t>(low);
    if (wideCounter_) state_[13] += static_cast<uint32_t>(low >> 32);
}

void ChaCha20::Crypt(const uint8_t* in, uint8_t* out, size_t length) {
    while (length >= kBlockLength) {
        // The vector code varies word 12 only, so a run never crosses its wrap.
        const uint64_t untilWrap = (uint64_t{1} << 32) - state_[12];
        const size_t blocks = static_cast<size_t>(std::min<uint64_t>(length / 64, untilWrap));
        size_t done = 0;
        if (avx512_) {
            done = ChaCha20Avx512Blocks(state_, in, out, blocks);
            Advance(done);
        }
        if (avx2_) {
            const size_t more =
                ChaCha20Avx2Blocks(state_, in + 64 * done, out + 64 * done, blocks - done);
            Advance(more);
            done += more;
        }
        for (; done < blocks; ++done) {
            uint8_t keystream[64];
            ChaCha20Block(state_, keystream);
            for (int i = 0; i < 64; ++i)
                out[64 * done + i] = static_cast<uint8_t>(in[64 * done + i] ^ keystream[i]);
            SecureWipe(keystream, sizeof(keystream));
            Advance(1);
        }
        in += 64 * blocks;
        out += 64 * blocks;
        length -= 64 * blocks;
    }
    if (length != 0) {
        uint8_t keystream[64];
        ChaCha20Block(state_, keystream);
        for (size_t i = 0; i < length; ++i)
            out[i] = static_cast<uint8_t>(in[i] ^ keystream[i]);
        SecureWipe(keystream, sizeof(keystream));
        Advance(1);
    }
}

}  // namespace tessan::crypto
