// The elliptic-curve Diffie-Hellman of the modern key exchanges: X25519 for
// "curve25519-sha256" (RFC 8731) and P-256 for "ecdh-sha2-nistp256" (RFC 5656). One object holds
// one ephemeral secret, wiped when the object goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "crypto/bignum.h"

namespace tessan::crypto {

// Fills `out` with `length` random bytes; RandomBytes (the process-wide pool) fits.
using RandomFill = std::function<void(uint8_t* out, size_t length)>;
using SecretBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

class KeyAgreement {
public:
    virtual ~KeyAgreement() = default;

    // Draws a new ephemeral secret from `random` (replacing any earlier one) and returns our
    // public value: 32 bytes for X25519, the 65-byte uncompressed point 04 || X || Y for P-256.
    virtual std::vector<uint8_t> GenerateKeyPair(const RandomFill& random) = 0;

    // The 32-byte shared secret with the peer's public value. The key exchange encodes it as an
    // mpint of the bytes read as an unsigned big-endian number (RFC 8731 section 3.1; for P-256
    // the bytes are the x coordinate, RFC 5656 section 4). Nothing when the peer value has the
    // wrong length or encoding, is not a point of the curve, or (X25519) gives the all-zero
    // result of a small-order point; nothing either before GenerateKeyPair.
    virtual std::optional<SecretBytes> SharedSecret(std::span<const uint8_t> peerPublic) const = 0;
};

std::unique_ptr<KeyAgreement> CreateX25519KeyAgreement();
std::unique_ptr<KeyAgreement> CreateP256KeyAgreement();

}  // namespace tessan::crypto
