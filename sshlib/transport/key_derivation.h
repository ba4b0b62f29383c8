// Key derivation (RFC 4253 section 7.2) with one extension round: for a letter X,
// block1 = HASH(mpint K || H || X || session id), block2 = HASH(mpint K || H || block1), and
// the key material is block1 followed by block2 (40 bytes for SHA-1, 64 for SHA-256); each
// consumer takes the bytes it needs from the front.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/bignum.h"
#include "crypto/hash.h"

namespace tessan::transport {

inline constexpr size_t kMaxKeyMaterial = 64;

// Writes 2 * hash.digestLength bytes to `out` and returns that count. With `omitSecret` (the
// peer quirk of old servers) the mpint K is left out of both hashes.
size_t DeriveKey(const crypto::HashDescriptor& hash, const crypto::BigNum& sharedSecret,
                 std::span<const uint8_t> exchangeHash, char letter,
                 std::span<const uint8_t> sessionId, bool omitSecret, uint8_t out[kMaxKeyMaterial]);

}  // namespace tessan::transport
