// P-256 for "ecdh-sha2-nistp256" (RFC 5656): the public point of a secret scalar and the
// Diffie-Hellman shared secret, both constant-time in the scalar, and ECDSA verification with
// SHA-256 for "ecdsa-sha2-nistp256" host keys. Points travel as SEC 1 uncompressed encodings
// 04 || X || Y; scalars and coordinates as 32-byte big-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessan::crypto {

inline constexpr size_t kP256ScalarLength = 32;
inline constexpr size_t kP256PointLength = 65;

// True for 1 <= scalar < n, the scalars usable as secrets. Constant-time.
bool P256IsValidScalar(const uint8_t scalar[kP256ScalarLength]);

// True when `point` is 65 bytes 04 || X || Y with X, Y < p on the curve (so not the point at
// infinity, which has no such encoding).
bool P256IsValidPoint(std::span<const uint8_t> point);

// [secret]G, uncompressed. False (out untouched) when the scalar is not valid.
bool P256PublicKey(uint8_t out[kP256PointLength], const uint8_t secret[kP256ScalarLength]);

// The x coordinate of [secret]Q for the peer's point Q. False when the scalar is not valid or Q
// is not a valid point (the ECC CDH primitive of SEC 1 section 3.3.2 with the full public-key
// validation of section 3.2.2.1; the cofactor is 1).
bool P256SharedSecret(uint8_t out[kP256ScalarLength], const uint8_t secret[kP256ScalarLength],
                      std::span<const uint8_t> peerPoint);

// ECDSA verification (FIPS 186-4 section 6.4, SEC 1 section 4.1.4) of (r, s) over
// SHA-256(message) with the public point `publicPoint`. r and s are unsigned big-endian numbers
// of any length (leading zero bytes allowed); both must lie in 1 .. n-1. False also for an
// invalid point or when u1 G + u2 Q is the point at infinity.
bool EcdsaP256Verify(std::span<const uint8_t> publicPoint, std::span<const uint8_t> r,
                     std::span<const uint8_t> s, std::span<const uint8_t> message);

}  // namespace tessan::crypto
