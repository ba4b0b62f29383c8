// Ed25519 signature verification (RFC 8032 section 5.1.7) for "ssh-ed25519" host keys. Only
// public data goes in, so the arithmetic may take time that depends on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessan::crypto {

inline constexpr size_t kEd25519PublicKeyLength = 32;
inline constexpr size_t kEd25519SignatureLength = 64;

// True when `signature` (R || S) is a valid signature of `message` under `publicKey`: S below
// the group order L, the key a canonical encoding of a curve point, and the canonical encoding
// of [S]B - [k]A equal to R, where k = SHA-512(R || A || message) mod L. This is the
// cofactorless check RFC 8032 allows; it also refuses an R that is not canonically encoded.
bool Ed25519Verify(const uint8_t publicKey[kEd25519PublicKeyLength],
                   const uint8_t signature[kEd25519SignatureLength],
                   std::span<const uint8_t> message);

}  // namespace tessan::crypto
