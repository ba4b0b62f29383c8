// MD5 (RFC 1321): "hmac-md5", host-key fingerprints and the SSH-1 session identifier.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/md_hash.h"

namespace tessan::crypto {

class Md5 {
public:
    static constexpr size_t kDigestLength = 16;
    static constexpr size_t kBlockLength = 64;
    using Digest = std::array<uint8_t, kDigestLength>;

    Md5() { Reset(); }
    ~Md5() { core_.Wipe(); }
    Md5(const Md5&) = default;
    Md5& operator=(const Md5&) = default;

    void Reset();
    void Update(const uint8_t* data, size_t length) { core_.Update(data, length); }
    void Update(std::span<const uint8_t> data) { core_.Update(data.data(), data.size()); }
    // Writes the 16-byte digest and resets the object.
    void Finish(uint8_t* digest);
    Digest Finish();

    static Digest Hash(std::span<const uint8_t> data);

private:
    MdHashCore<4, false> core_;
};

}  // namespace tessan::crypto
