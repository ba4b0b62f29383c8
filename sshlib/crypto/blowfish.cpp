#include "crypto/blowfish.h"

#include <cstring>

#include "crypto/blowfish_tables.h"
#include "crypto/bytes.h"

namespace tessan::crypto {

Blowfish::~Blowfish() {
    SecureWipe(this, sizeof(*this));
}

#define TESSAN_BLOWFISH_F(x) \
    (((s_[0][(x) >> 24] + s_[1][((x) >> 16) & 0xff]) ^ s_[2][((x) >> 8) & 0xff]) + s_[3][(x)&0xff])

void Blowfish::Encrypt(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 0; i < 16; i += 2) {
        l ^= p_[i];
        r ^= TESSAN_BLOWFISH_F(l);
        r ^= p_[i + 1];
        l ^= TESSAN_BLOWFISH_F(r);
    }
    left = r ^ p_[17];
    right = l ^ p_[16];
}

void Blowfish::Decrypt(uint32_t& left, uint32_t& right) const {
    uint32_t l = left, r = right;
    for (int i = 17; i > 1; i -= 2) {
        l ^= p_[i];
        r ^= TESSAN_BLOWFISH_F(l);
        r ^= p_[i - 1];
        l ^= TESSAN_BLOWFISH_F(r);
    }
    left = r ^ p_[0];
    right = l ^ p_[1];
}

#undef TESSAN_BLOWFISH_F

void Blowfish::SetKey(const uint8_t* key, size_t length) {
    if (length > kMaxKeyLength) length = kMaxKeyLength;
    std::memcpy(s_, blowfish_init::kS, sizeof(s_));
    // The key bytes, cycled, are XORed into the P-array one 32-bit big-endian word at a time.
    size_t k = 0;
    for (int i = 0; i < 18; ++i) {
        uint32_t word = 0;
        for (int j = 0; j < 4; ++j) {
            word = (word << 8) | (length != 0 ? key[k] : 0);
            if (length != 0 && ++k == length) k = 0;
        }
        p_[i] = blowfish_init::kP[i] ^ word;
    }
    // Then the all-zero block is encrypted repeatedly, each result replacing the next two entries.
    uint32_t l = 0, r = 0;
    for (int i = 0; i < 18; i += 2) {
        Encrypt(l, r);
        p_[i] = l;
        p_[i + 1] = r;
    }
    for (auto& box : s_) {
        for (int i = 0; i < 256; i += 2) {
            Encrypt(l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
}

}  // namespace tessan::crypto
