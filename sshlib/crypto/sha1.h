// SHA-1 (FIPS 180-2): the key-exchange hash, HMAC-SHA1, "ssh-rsa" and "ssh-dss" signatures and
// the random pool's mixing function.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/md_hash.h"

namespace tessan::crypto {

class Sha1 {
public:
    static constexpr size_t kDigestLength = 20;
    static constexpr size_t kBlockLength = 64;
    using Digest = std::array<uint8_t, kDigestLength>;

    Sha1() { Reset(); }
    ~Sha1() { core_.Wipe(); }
    Sha1(const Sha1&) = default;
    Sha1& operator=(const Sha1&) = default;

    // Starts a new message (the object is also ready for a new message after Finish).
    void Reset();
    void Update(const uint8_t* data, size_t length) { core_.Update(data, length); }
    void Update(std::span<const uint8_t> data) { core_.Update(data.data(), data.size()); }
    // Writes the 20-byte digest and resets the object.
    void Finish(uint8_t* digest);
    Digest Finish();

    static Digest Hash(std::span<const uint8_t> data);

private:
    MdHashCore<5, true> core_;
};

// The bare SHA-1 compression function: runs one 64-byte message block into a five-word chaining
// state (no padding, no length). The random pool is built on it.
void Sha1Compress(uint32_t state[5], const uint8_t block[64]);

}  // namespace tessan::crypto
