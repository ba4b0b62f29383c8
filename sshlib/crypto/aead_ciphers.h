// The authenticated ciphers as SSH-2 cipher descriptors, the form the key exchange offers and
// matches (cipher.h); each one names its AeadDescriptor (aead.h) and has no CipherContext.
#pragma once

#include <span>

#include "crypto/cipher.h"

namespace tessan::crypto {

extern const CipherDescriptor kChaCha20Poly1305;  // "chacha20-poly1305@openssh.com"
extern const CipherDescriptor kAes128Gcm;         // "aes128-gcm@openssh.com"
extern const CipherDescriptor kAes256Gcm;         // "aes256-gcm@openssh.com"

// All three in offer order: ChaCha20-Poly1305, AES-128-GCM, AES-256-GCM.
std::span<const CipherDescriptor* const> AeadCipherList();

}  // namespace tessan::crypto
