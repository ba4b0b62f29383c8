// RSA public keys: "ssh-rsa" host keys (blob, fingerprint, PKCS #1 v1.5 SHA-1 signature check)
// and the SSH-1 session-key encryption.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "crypto/bignum.h"

namespace tessan::crypto {

struct RsaPublicKey {
    BigNum e;
    BigNum n;

    // The modulus length in bytes, k = (bits(n) + 7) / 8.
    size_t ByteLength() const { return n.ByteCount(); }
};

// string "ssh-rsa", mpint e, mpint n (read as unsigned). Nothing for another name, a truncated
// blob, an oversized number, or n < 2 or e = 0.
std::optional<RsaPublicKey> RsaKeyFromBlob(std::span<const uint8_t> blob);

// "ssh-rsa <bits of n> <md5 fingerprint>".
std::string RsaFingerprint(const RsaPublicKey& key);

// Checks an "ssh-rsa" signature blob (string "ssh-rsa", string s) over `data`: s^e mod n must be
// the k-byte encoding 00 01 FF..FF 00 <SHA-1 DigestInfo prefix> <SHA-1(data)>, every byte
// compared. s must also be below n and no longer than k bytes.
bool RsaVerify(const RsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data);

// SSH-1 session-key encryption in place (PKCS #1 v1.5 block type 2): the first `length` bytes of
// `buffer` are padded to k bytes with non-zero random bytes from the random pool, raised to e mod
// n and written back as k big-endian bytes. False (buffer untouched) when k < length + 4, when
// the buffer is shorter than k bytes, or when the key has a zero modulus.
bool Ssh1RsaEncrypt(std::span<uint8_t> buffer, size_t length, const RsaPublicKey& key);

}  // namespace tessan::crypto
