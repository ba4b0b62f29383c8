// DSA public keys for "ssh-dss" host keys: blob, fingerprint and FIPS 186-2 verification of
// SHA-1 signatures.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "crypto/bignum.h"

namespace tessan::crypto {

struct DsaPublicKey {
    BigNum p;
    BigNum q;
    BigNum g;
    BigNum y;
};

// string "ssh-dss", mpint p, q, g, y. Nothing for another name, a truncated blob, a negative
// mpint (first byte 0x80 or more) or an oversized number.
std::optional<DsaPublicKey> DsaKeyFromBlob(std::span<const uint8_t> blob);

// "ssh-dss <bits of p> <md5 fingerprint>".
std::string DsaFingerprint(const DsaPublicKey& key);

// A signature blob of exactly 40 bytes is the raw r || s; anything else must be string "ssh-dss"
// followed by a string whose first 40 bytes are r || s (20 bytes each, big-endian). True when
// 0 < r, s < q and v = ((g^u1 * y^u2) mod p) mod q equals r, with w = s^-1 mod q,
// u1 = SHA-1(data) * w mod q and u2 = r * w mod q. A key with p = 0 never verifies.
bool DsaVerify(const DsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data);

}  // namespace tessan::crypto
