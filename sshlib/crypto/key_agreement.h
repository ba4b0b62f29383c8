// Elliptic-curve Diffie-Hellman as the key exchange uses it (RFC 5656 section 4, RFC 8731): our
// ephemeral key pair, made when the object is created, and the shared secret with the server's
// public value. The private key never leaves the object and is wiped with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "crypto/bignum.h"

namespace tessan::crypto {

class KeyAgreement {
public:
    virtual ~KeyAgreement() = default;
    // Our public value Q_C as sent: 32 bytes for X25519, the 65-byte uncompressed point for
    // P-256.
    virtual std::span<const uint8_t> PublicKey() const = 0;
    // The shared secret K as the number the exchange hash and the key derivation encode as an
    // mpint: the 32 X25519 output bytes read as a big-endian number (RFC 8731), or the P-256
    // x-coordinate. Nothing when the server's value has the wrong length or is not a valid
    // point, or when X25519 gives the all-zero result of a small-order point.
    virtual std::optional<BigNum> SharedSecret(std::span<const uint8_t> serverPublic) = 0;
};

}  // namespace tessan::crypto
