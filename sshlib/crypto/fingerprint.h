// Host-key fingerprint texts: the MD5 form shared by RSA and DSA keys and the SHA-256 form of any
// key blob.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "crypto/bignum.h"

namespace tessan::crypto {

// MD5 over string `name` followed, for each number, by a 4-byte big-endian length
// L = (bits + 8) / 8 and the number's L bytes most significant first (the canonical public-key
// blob); formatted as "<name> <bits> xx:xx:...:xx" with lower-case hex.
std::string PublicKeyFingerprint(std::string_view name, size_t bits,
                                 std::span<const BigNum* const> numbers);

// "<name> <bits> xx:xx:...:xx": the MD5 of `blob` in lower-case hex.
std::string Md5BlobFingerprint(std::string_view name, size_t bits, std::span<const uint8_t> blob);

// "SHA256:" followed by the standard Base64 of SHA-256(blob) without "=" padding (43 characters),
// as `ssh-keygen -l` prints it.
std::string Sha256BlobFingerprint(std::span<const uint8_t> blob);

// Whether `expected`, a fingerprint a caller holds, names the key whose fingerprints are `md5Form`
// ("<name> <bits> xx:...") and `sha256Form` ("SHA256:...", empty when unknown). `expected` may be
// the SHA-256 form (with or without Base64 padding, compared byte for byte) or the MD5 form with
// or without the name and bits in front and with or without "MD5:" (the hex digits compared
// without regard to case). Blanks around it are ignored; an empty `expected` matches nothing.
bool FingerprintMatches(std::string_view expected, std::string_view md5Form,
                        std::string_view sha256Form);

}  // namespace tessan::crypto
