// RSA public keys: host keys (blob, fingerprint, PKCS #1 v1.5 signature checks with SHA-1 for
// "ssh-rsa" and SHA-256 / SHA-512 for "rsa-sha2-256" / "rsa-sha2-512") and the SSH-1
// session-key encryption.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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

// The smallest modulus accepted for "rsa-sha2-256" and "rsa-sha2-512".
inline constexpr size_t kMinRsaSha2Bits = 1024;

// "ssh-rsa <bits of n> <md5 fingerprint>".
std::string RsaFingerprint(const RsaPublicKey& key);

// Why `key` is too small to trust as a host key ("" when it is not): a modulus below
// kMinRsaHostKeyBits (host_key.h) can be factored.
std::string RsaHostKeyWeakness(const RsaPublicKey& key);

// string "ssh-rsa", mpint e, mpint n in minimal form.
std::vector<uint8_t> RsaKeyBlob(const RsaPublicKey& key);

enum class RsaDigest { kSha1, kSha256, kSha512 };

// RSASSA-PKCS1-v1_5 verification (RFC 8017 section 8.2.2) of the signature value s (big-endian,
// at most k bytes, leading zeros allowed) over `data`: s must be below n and s^e mod n the k-byte
// encoding 00 01 FF..FF 00 <DigestInfo prefix> <digest of data>, every byte compared (the
// DigestInfo with its NULL parameters, the only form RFC 8017 produces).
bool RsaPkcs1Verify(const RsaPublicKey& key, std::span<const uint8_t> signature, RsaDigest digest,
                    std::span<const uint8_t> data);

// Checks an "ssh-rsa" signature blob (string "ssh-rsa", string s) over `data` with SHA-1.
bool RsaVerify(const RsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data);

// SSH-1 session-key encryption in place (PKCS #1 v1.5 block type 2): the first `length` bytes of
// `buffer` are padded to k bytes with non-zero random bytes from the random pool, raised to e mod
// n and written back as k big-endian bytes. False (buffer untouched) when k < length + 4, when
// the buffer is shorter than k bytes, or when the key has a zero modulus.
bool Ssh1RsaEncrypt(std::span<uint8_t> buffer, size_t length, const RsaPublicKey& key);

}  // namespace tessan::crypto
