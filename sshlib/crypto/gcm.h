// AES-GCM (NIST SP 800-38D) with 128, 192 and 256-bit keys, IVs of any non-zero length and
// 16-byte tags. With AES-NI and PCLMULQDQ both present (decided when the key is set) the bulk
// runs as one fused pass; otherwise block by block on the AES code and portable GHASH.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/aes.h"
#include "crypto/ghash.h"

namespace tessan::crypto {

class AesGcm {
public:
    static constexpr size_t kTagLength = 16;

    AesGcm() = default;
    ~AesGcm();
    AesGcm(const AesGcm&) = delete;
    AesGcm& operator=(const AesGcm&) = delete;

    // `length` is 16, 24 or 32.
    void SetKey(const uint8_t* key, size_t length);

    // Encrypts `length` bytes from `in` to `out` (the same buffer or not overlapping) and writes
    // the tag over `aad` and the ciphertext. False, with nothing written, for an empty IV (the
    // only input the standard rules out that a caller can pass).
    bool Encrypt(const uint8_t* iv, size_t ivLength, const uint8_t* aad, size_t aadLength,
                 const uint8_t* in, uint8_t* out, size_t length, uint8_t tag[kTagLength]) const;

    // Checks `tag` (compared in constant time) and decrypts. False for an empty IV or a tag that
    // does not match; `out` then holds no plaintext (it is zeroed, or not written at all).
    bool Decrypt(const uint8_t* iv, size_t ivLength, const uint8_t* aad, size_t aadLength,
                 const uint8_t* in, uint8_t* out, size_t length,
                 const uint8_t tag[kTagLength]) const;

    bool UsesFusedPath() const { return fused_; }

private:
    void InitialCounter(const uint8_t* iv, size_t ivLength, uint8_t j0[16]) const;
    void Hash(GhashElement& y, const uint8_t* data, size_t length) const;
    void HashBlocks(GhashElement& y, const uint8_t* blocks, size_t count) const;
    // Counter mode from `counter` (advanced, inc32) over `length` bytes, hashing the ciphertext
    // (the output when encrypting, the input when decrypting) into y.
    void CryptAndHash(bool encrypt, uint8_t counter[16], const uint8_t* in, uint8_t* out,
                      size_t length, GhashElement& y) const;
    void Tag(const uint8_t j0[16], GhashElement y, size_t aadLength, size_t length,
             uint8_t tag[kTagLength]) const;
    // The whole operation; `tag` receives the tag computed over aad and the ciphertext.
    void Run(bool encrypt, const uint8_t* iv, size_t ivLength, const uint8_t* aad, size_t aadLength,
             const uint8_t* in, uint8_t* out, size_t length, uint8_t tag[kTagLength]) const;

    Aes aes_;
    GhashKey ghashKey_;
    bool clmul_ = false;
    bool fused_ = false;
};

// The fused AES-NI and PCLMULQDQ pass over `blocks` whole blocks (gcm_aesni.cpp); `counter`
// is the next counter block and is advanced, y takes the ciphertext.
void GcmAesNiEncrypt(const uint8_t* roundKeys, int rounds, const GhashKey& key, uint8_t counter[16],
                     const uint8_t* in, uint8_t* out, size_t blocks, GhashElement& y);
void GcmAesNiDecrypt(const uint8_t* roundKeys, int rounds, const GhashKey& key, uint8_t counter[16],
                     const uint8_t* in, uint8_t* out, size_t blocks, GhashElement& y);

}  // namespace tessan::crypto
