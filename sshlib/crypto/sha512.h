// SHA-512 (FIPS 180-4): the exchange hash of the group16/group18 key exchanges, HMAC-SHA2-512,
// "rsa-sha2-512" signatures and the message hash of Ed25519.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tessan::crypto {

class Sha512 {
public:
    static constexpr size_t kDigestLength = 64;
    static constexpr size_t kBlockLength = 128;
    using Digest = std::array<uint8_t, kDigestLength>;

    Sha512() { Reset(); }
    ~Sha512();
    Sha512(const Sha512&) = default;
    Sha512& operator=(const Sha512&) = default;

    void Reset();
    void Update(const uint8_t* data, size_t length);
    void Update(std::span<const uint8_t> data) { Update(data.data(), data.size()); }
    // Writes the 64-byte digest and resets the object.
    void Finish(uint8_t* digest);
    Digest Finish();

    static Digest Hash(std::span<const uint8_t> data);

private:
    uint64_t state_[8];
    uint8_t buffer_[kBlockLength];
    size_t used_;
    // Messages beyond 2^64 bytes are not hashed here, so the high half of the 128-bit bit count
    // is only ever the three bits that shift out of the byte count.
    uint64_t totalBytes_;
};

}  // namespace tessan::crypto
