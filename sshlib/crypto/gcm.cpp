#include "crypto/gcm.h"

#include <cstring>

#include "crypto/bytes.h"
#include "crypto/cpu_features.h"

namespace tessan::crypto {
namespace {

// GCM's counter step: only the last 32 bits count, big-endian, wrapping within them.
inline void Increment32(uint8_t counter[16]) {
    StoreBe32(counter + 12, LoadBe32(counter + 12) + 1);
}

}  // namespace

AesGcm::~AesGcm() {
    SecureWipe(&ghashKey_, sizeof(ghashKey_));
}

void AesGcm::SetKey(const uint8_t* key, size_t length) {
    aes_.SetKey(key, length);
    clmul_ = UseClmul();
    fused_ = clmul_ && aes_.UsesAesNi();
    uint8_t h[16] = {};
    aes_.EncryptBlock(h, h);
    GhashSetKey(ghashKey_, h, clmul_);
    SecureWipe(h, sizeof(h));
}

void AesGcm::HashBlocks(GhashElement& y, const uint8_t* blocks, size_t count) const {
    if (clmul_) {
        GhashBlocksClmul(ghashKey_, y, blocks, count);
    } else {
        GhashBlocksPortable(ghashKey_, y, blocks, count);
    }
}

void AesGcm::Hash(GhashElement& y, const uint8_t* data, size_t length) const {
    HashBlocks(y, data, length / 16);
    const size_t rest = length % 16;
    if (rest != 0) {
        // The last partial block is padded with zero bytes.
        uint8_t block[16] = {};
        std::memcpy(block, data + length - rest, rest);
        HashBlocks(y, block, 1);
    }
}

void AesGcm::InitialCounter(const uint8_t* iv, size_t ivLength, uint8_t j0[16]) const {
    if (ivLength == 12) {
        std::memcpy(j0, iv, 12);
        StoreBe32(j0 + 12, 1);
        return;
    }
    // Any other length: J0 = GHASH(IV padded to whole blocks || 0^64 || [bits of IV]64).
    GhashElement y;
    Hash(y, iv, ivLength);
    uint8_t lengths[16] = {};
    StoreBe64(lengths + 8, static_cast<uint64_t>(ivLength) * 8);
    HashBlocks(y, lengths, 1);
    GhashStore(y, j0);
}

void AesGcm::CryptAndHash(bool encrypt, uint8_t counter[16], const uint8_t* in, uint8_t* out,
                          size_t length, GhashElement& y) const {
    size_t offset = 0;
    if (fused_) {
        const size_t blocks = length / 16;
        if (encrypt) {
            GcmAesNiEncrypt(aes_.NiEncryptKeys(), aes_.Rounds(), ghashKey_, counter, in, out,
                            blocks, y);
        } else {
            GcmAesNiDecrypt(aes_.NiEncryptKeys(), aes_.Rounds(), ghashKey_, counter, in, out,
                            blocks, y);
        }
        offset = 16 * blocks;
    }
    for (; offset < length; offset += 16) {
        const size_t n = length - offset < 16 ? length - offset : 16;
        uint8_t keystream[16];
        aes_.EncryptBlock(counter, keystream);
        Increment32(counter);
        // The hash takes the ciphertext: the input when decrypting (read before an in-place
        // write replaces it), the output when encrypting.
        if (!encrypt) Hash(y, in + offset, n);
        for (size_t i = 0; i < n; ++i)
            out[offset + i] = static_cast<uint8_t>(in[offset + i] ^ keystream[i]);
        if (encrypt) Hash(y, out + offset, n);
        SecureWipe(keystream, sizeof(keystream));
    }
}

void AesGcm::Tag(const uint8_t j0[16], GhashElement y, size_t aadLength, size_t length,
                 uint8_t tag[kTagLength]) const {
    uint8_t lengths[16];
    StoreBe64(lengths, static_cast<uint64_t>(aadLength) * 8);
    StoreBe64(lengths + 8, static_cast<uint64_t>(length) * 8);
    HashBlocks(y, lengths, 1);
    uint8_t mask[16];
    aes_.EncryptBlock(j0, mask);
    GhashStore(y, tag);
    for (int i = 0; i < 16; ++i)
        tag[i] ^= mask[i];
    SecureWipe(mask, sizeof(mask));
}

void AesGcm::Run(bool encrypt, const uint8_t* iv, size_t ivLength, const uint8_t* aad,
                 size_t aadLength, const uint8_t* in, uint8_t* out, size_t length,
                 uint8_t tag[kTagLength]) const {
    uint8_t j0[16], counter[16];
    InitialCounter(iv, ivLength, j0);
    std::memcpy(counter, j0, 16);
    Increment32(counter);
    GhashElement y;
    Hash(y, aad, aadLength);
    CryptAndHash(encrypt, counter, in, out, length, y);
    Tag(j0, y, aadLength, length, tag);
}

bool AesGcm::Encrypt(const uint8_t* iv, size_t ivLength, const uint8_t* aad, size_t aadLength,
                     const uint8_t* in, uint8_t* out, size_t length,
                     uint8_t tag[kTagLength]) const {
    if (ivLength == 0) return false;
    Run(true, iv, ivLength, aad, aadLength, in, out, length, tag);
    return true;
}

bool AesGcm::Decrypt(const uint8_t* iv, size_t ivLength, const uint8_t* aad, size_t aadLength,
                     const uint8_t* in, uint8_t* out, size_t length,
                     const uint8_t tag[kTagLength]) const {
    if (ivLength == 0) return false;
    uint8_t expected[kTagLength];
    Run(false, iv, ivLength, aad, aadLength, in, out, length, expected);
    const bool valid = ConstantTimeEqual(expected, tag, kTagLength);
    if (!valid) SecureWipe(out, length);
    return valid;
}

}  // namespace tessan::crypto
