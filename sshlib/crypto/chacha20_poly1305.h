// The ChaCha20-Poly1305 AEAD of RFC 8439 section 2.8 (96-bit nonce, 32-bit block counter).
// The SSH construction differs (see aead.h); this one serves the published test vectors and
// any caller that needs the RFC's form.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

constexpr size_t kChaCha20Poly1305NonceLength = 12;
constexpr size_t kChaCha20Poly1305TagLength = 16;

// Encrypts `length` bytes from `in` to `out` (the same buffer or not overlapping) and writes
// the tag over `aad` and the ciphertext.
void ChaCha20Poly1305Seal(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                          size_t aadLength, const uint8_t* in, uint8_t* out, size_t length,
                          uint8_t tag[16]);

// Checks `tag` in constant time before anything is decrypted; on a mismatch returns false
// without writing `out`.
bool ChaCha20Poly1305Open(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                          size_t aadLength, const uint8_t* in, uint8_t* out, size_t length,
                          const uint8_t tag[16]);

}  // namespace tessan::crypto
