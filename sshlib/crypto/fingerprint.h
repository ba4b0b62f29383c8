// The host-key fingerprint text shared by RSA and DSA keys.
#pragma once

#include <cstddef>
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

}  // namespace tessan::crypto
