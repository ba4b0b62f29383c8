// SHA-256 (FIPS 180-2): the exchange hash of "diffie-hellman-group-exchange-sha256".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/md_hash.h"

namespace tessan::crypto {

class Sha256 {
public:
    static constexpr size_t kDigestLength = 32;
    static constexpr size_t kBlockLength = 64;
    using Digest = std::array<uint8_t, kDigestLength>;

    Sha256() { Reset(); }
    ~Sha256() { core_.Wipe(); }
    Sha256(const Sha256&) = default;
    Sha256& operator=(const Sha256&) = default;

    void Reset();
    void Update(const uint8_t* data, size_t length) { core_.Update(data, length); }
    void Update(std::span<const uint8_t> data) { core_.Update(data.data(), data.size()); }
    // Writes the 32-byte digest and resets the object.
    void Finish(uint8_t* digest);
    Digest Finish();

    static Digest Hash(std::span<const uint8_t> data);

private:
    MdHashCore<8, true> core_;
};

}  // namespace tessan::crypto
