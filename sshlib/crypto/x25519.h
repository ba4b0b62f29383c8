// X25519 (RFC 7748), the Diffie-Hellman function on Curve25519 behind "curve25519-sha256".
// Scalars are secret: the ladder runs in time independent of their bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

inline constexpr size_t kX25519Length = 32;

// out = X25519(scalar, u). The scalar is clamped as RFC 7748 section 5 says (bits 0-2 and 255
// cleared, bit 254 set); bit 255 of u is ignored and u values from p to 2^255 - 1 are taken
// modulo p. `out` may alias either input.
void X25519(uint8_t out[kX25519Length], const uint8_t scalar[kX25519Length],
            const uint8_t u[kX25519Length]);

// X25519(scalar, 9): the public value that goes with `scalar`.
void X25519PublicKey(uint8_t out[kX25519Length], const uint8_t scalar[kX25519Length]);

// True when every byte is zero, the result for a peer value of small order, which the key
// exchange must refuse (RFC 8731 section 3). Time independent of the bytes.
bool X25519IsAllZero(const uint8_t value[kX25519Length]);

}  // namespace tessan::crypto
