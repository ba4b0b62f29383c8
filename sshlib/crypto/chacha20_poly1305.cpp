#include "crypto/chacha20_poly1305.h"

#include "crypto/bytes.h"
#include "crypto/chacha20.h"
#include "crypto/poly1305.h"

namespace tessan::crypto {
namespace {

// The one-time Poly1305 key is the first half of keystream block 0; the message uses blocks
// from 1 on.
void StartCipher(ChaCha20& cipher, const uint8_t key[32], const uint8_t nonce[12],
                 uint8_t polyKey[32]) {
    cipher.SetKey(key);
    cipher.SetNonce96(nonce, 0);
    const uint8_t zeros[32] = {};
    cipher.Crypt(zeros, polyKey, 32);
}

// Poly1305 over aad || pad16 || ciphertext || pad16 || le64(aad length) || le64(length).
void ComputeTag(const uint8_t polyKey[32], const uint8_t* aad, size_t aadLength,
                const uint8_t* cipherText, size_t length, uint8_t tag[16]) {
    static constexpr uint8_t kZeros[16] = {};
    Poly1305 mac(polyKey);
    mac.Update(aad, aadLength);
    mac.Update(kZeros, (16 - aadLength % 16) % 16);
    mac.Update(cipherText, length);
    mac.Update(kZeros, (16 - length % 16) % 16);
    uint8_t lengths[16];
    StoreLe64(lengths, aadLength);
    StoreLe64(lengths + 8, length);
    mac.Update(lengths, sizeof(lengths));
    mac.Finish(tag);
}

}  // namespace

void ChaCha20Poly1305Seal(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                          size_t aadLength, const uint8_t* in, uint8_t* out, size_t length,
                          uint8_t tag[16]) {
    ChaCha20 cipher;
    uint8_t polyKey[32];
    StartCipher(cipher, key, nonce, polyKey);
    cipher.Crypt(in, out, length);
    ComputeTag(polyKey, aad, aadLength, out, length, tag);
    SecureWipe(polyKey, sizeof(polyKey));
}

bool ChaCha20Poly1305Open(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                          size_t aadLength, const uint8_t* in, uint8_t* out, size_t length,
                          const uint8_t tag[16]) {
    ChaCha20 cipher;
    uint8_t polyKey[32], expected[16];
    StartCipher(cipher, key, nonce, polyKey);
    ComputeTag(polyKey, aad, aadLength, in, length, expected);
    SecureWipe(polyKey, sizeof(polyKey));
    if (!ConstantTimeEqual(expected, tag, 16)) return false;
    cipher.Crypt(in, out, length);
    return true;
}

}  // namespace tessan::crypto
