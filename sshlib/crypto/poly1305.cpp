// Poly1305 with 64-bit limbs: h = h0 + h1 * 2^64 + h2 * 2^128, r = r0 + r1 * 2^64, all
// arithmetic branch-free so the time depends only on the message length.
#include "crypto/poly1305.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/cpu_features.h"

namespace tessan::crypto {
namespace {

__extension__ typedef unsigned __int128 Wide;

}  // namespace

Poly1305::Poly1305(const uint8_t key[kKeyLength]) {
    // Clamping clears the top four bits of r's 32-bit words and the low two bits of words 1-3.
    r0_ = LoadLe64(key) & 0x0ffffffc0fffffffULL;
    r1_ = LoadLe64(key + 8) & 0x0ffffffc0ffffffcULL;
    s0_ = LoadLe64(key + 16);
    s1_ = LoadLe64(key + 24);
    avx2_ = UseAvx2();
}

Poly1305::~Poly1305() {
    SecureWipe(this, sizeof(*this));
}

void Poly1305::Blocks(const uint8_t* data, size_t blocks, uint64_t topBit) {
    // The vector code needs r^2 .. r^4 first: worth it from a few hundred bytes on.
    constexpr size_t kVectorFrom = 16;
    if (avx2_ && topBit == 1 && blocks >= kVectorFrom) {
        uint64_t h[3] = {h0_, h1_, h2_};
        const size_t vectored = blocks & ~size_t{3};
        Poly1305Avx2Blocks(h, r0_, r1_, data, vectored);
        h0_ = h[0];
        h1_ = h[1];
        h2_ = h[2];
        data += 16 * vectored;
        blocks -= vectored;
    }
    // r1 is a multiple of 4, so r1 * 2^128 = (r1 / 4) * 2^130 = 5 * (r1 / 4) mod 2^130 - 5:
    // the parts of the product at 2^128 and above fold down multiplied by s1 = 5 * r1 / 4.
    const uint64_t r0 = r0_, r1 = r1_, s1 = r1_ + (r1_ >> 2);
    uint64_t h0 = h0_, h1 = h1_, h2 = h2_;
    for (size_t i = 0; i < blocks; ++i, data += 16) {
        const Wide sum0 = Wide{h0} + LoadLe64(data);
        const Wide sum1 = Wide{h1} + LoadLe64(data + 8) + static_cast<uint64_t>(sum0 >> 64);
        h0 = static_cast<uint64_t>(sum0);
        h1 = static_cast<uint64_t>(sum1);
        h2 += static_cast<uint64_t>(sum1 >> 64) + topBit;  // at most 6 here

        const Wide d0 = Wide{h0} * r0 + Wide{h1} * s1;
        Wide d1 = Wide{h0} * r1 + Wide{h1} * r0 + Wide{h2} * s1;
        uint64_t d2 = h2 * r0;  // below 2^63: r0 < 2^60
        d1 += static_cast<uint64_t>(d0 >> 64);
        d2 += static_cast<uint64_t>(d1 >> 64);
        h0 = static_cast<uint64_t>(d0);
        h1 = static_cast<uint64_t>(d1);
        // Everything from 2^130 up comes back times 5: (d2 & ~3) + (d2 >> 2) = 5 * (d2 >> 2).
        const Wide fold = Wide{h0} + ((d2 & ~uint64_t{3}) + (d2 >> 2));
        const Wide carry = Wide{h1} + static_cast<uint64_t>(fold >> 64);
        h0 = static_cast<uint64_t>(fold);
        h1 = static_cast<uint64_t>(carry);
        h2 = (d2 & 3) + static_cast<uint64_t>(carry >> 64);  // at most 4: h < 2^130 + 2^128
    }
    h0_ = h0;
    h1_ = h1;
    h2_ = h2;
}

void Poly1305::Update(const uint8_t* data, size_t length) {
    if (pendingLength_ != 0) {
        const size_t take = length < 16 - pendingLength_ ? length : 16 - pendingLength_;
        std::memcpy(pending_ + pendingLength_, data, take);
        pendingLength_ += take;
        data += take;
        length -= take;
        if (pendingLength_ < 16) return;
        Blocks(pending_, 1, 1);
        pendingLength_ = 0;
    }
    Blocks(data, length / 16, 1);
    data += length & ~size_t{15};
    length &= 15;
    if (length != 0) {
        std::memcpy(pending_, data, length);
        pendingLength_ = length;
    }
}

void Poly1305::Finish(uint8_t tag[kTagLength]) {
    if (pendingLength_ != 0) {
        // A short last block gets a 1 byte after it instead of the bit at 2^128.
        std::memset(pending_ + pendingLength_, 0, 16 - pendingLength_);
        pending_[pendingLength_] = 1;
        Blocks(pending_, 1, 0);
        pendingLength_ = 0;
    }
    // h < 2^130 + 2^128 < 2p, so h mod p is h or h - p: it is h - p exactly when h + 5 reaches
    // 2^130, and then the low 130 bits of h + 5 are the result.
    const Wide g0 = Wide{h0_} + 5;
    const Wide g1 = Wide{h1_} + static_cast<uint64_t>(g0 >> 64);
    const uint64_t g2 = h2_ + static_cast<uint64_t>(g1 >> 64);
    const uint64_t useG = 0 - (g2 >> 2);  // all ones when h >= p
    const uint64_t f0 = (static_cast<uint64_t>(g0) & useG) | (h0_ & ~useG);
    const uint64_t f1 = (static_cast<uint64_t>(g1) & useG) | (h1_ & ~useG);
    // The tag is (h + s) mod 2^128.
    const Wide t0 = Wide{f0} + s0_;
    const uint64_t t1 = f1 + s1_ + static_cast<uint64_t>(t0 >> 64);
    StoreLe64(tag, static_cast<uint64_t>(t0));
    StoreLe64(tag + 8, t1);
}

void Poly1305Tag(const uint8_t key[32], const uint8_t* data, size_t length, uint8_t tag[16]) {
    Poly1305 mac(key);
    mac.Update(data, length);
    mac.Finish(tag);
}

}  // namespace tessan::crypto
