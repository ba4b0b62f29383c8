// Key derivation (RFC 4253 section 7.2): for a letter X, K1 = HASH(mpint K || H || X || session
// id) and Kn = HASH(mpint K || H || K1 || ... || Kn-1); the key material is K1 || K2 || ...,
// cut to the length asked for. Each consumer takes the bytes it needs from the front, so the
// material a shorter request gets is the start of what a longer one gets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/bignum.h"
#include "crypto/hash.h"

namespace tessan::transport {

// The most any key, IV or MAC key takes (ChaCha20-Poly1305's two keys, an HMAC-SHA-512 key).
inline constexpr size_t kMaxKeyMaterial = 64;

// Writes kMaxKeyMaterial bytes to `out`. With `omitSecret` (the peer quirk of old servers) the
// mpint K is left out of every hash.
void DeriveKey(const crypto::HashDescriptor& hash, const crypto::BigNum& sharedSecret,
               std::span<const uint8_t> exchangeHash, char letter,
               std::span<const uint8_t> sessionId, bool omitSecret, uint8_t out[kMaxKeyMaterial]);

}  // namespace tessan::transport
