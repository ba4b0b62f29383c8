// HMAC (RFC 2104) over SHA-1, SHA-256 or MD5. The keyed inner and outer states are computed once
// when the key is set, so each message costs two hash runs over its own data only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/bytes.h"

namespace tessan::crypto {

template <typename Hash>
class Hmac {
public:
    static constexpr size_t kDigestLength = Hash::kDigestLength;
    using Digest = std::array<uint8_t, kDigestLength>;

    // Keys longer than the hash block (64 bytes) are replaced by their hash, as RFC 2104 says;
    // shorter keys are padded with zero bytes.
    void SetKey(const uint8_t* key, size_t length) {
        uint8_t block[Hash::kBlockLength] = {};
        if (length > Hash::kBlockLength) {
            Hash keyHash;
            keyHash.Update(key, length);
            keyHash.Finish(block);
        } else if (length != 0) {
            for (size_t i = 0; i < length; ++i)
                block[i] = key[i];
        }
        for (uint8_t& b : block)
            b ^= 0x36;
        innerKeyed_.Reset();
        innerKeyed_.Update(block, sizeof(block));
        for (uint8_t& b : block)
            b ^= 0x36 ^ 0x5c;
        outerKeyed_.Reset();
        outerKeyed_.Update(block, sizeof(block));
        SecureWipe(block, sizeof(block));
        Start();
    }
    void SetKey(std::span<const uint8_t> key) { SetKey(key.data(), key.size()); }

    // Begins a new message under the current key (SetKey and Finish do this too).
    void Start() { inner_ = innerKeyed_; }
    void Update(const uint8_t* data, size_t length) { inner_.Update(data, length); }
    void Update(std::span<const uint8_t> data) { inner_.Update(data.data(), data.size()); }

    // Writes the full kDigestLength-byte MAC and starts a new message.
    void Finish(uint8_t* mac) {
        uint8_t innerDigest[kDigestLength];
        inner_.Finish(innerDigest);
        Hash outer = outerKeyed_;
        outer.Update(innerDigest, kDigestLength);
        outer.Finish(mac);
        SecureWipe(innerDigest, sizeof(innerDigest));
        Start();
    }
    Digest Finish() {
        Digest mac;
        Finish(mac.data());
        return mac;
    }

    static Digest Compute(std::span<const uint8_t> key, std::span<const uint8_t> data) {
        Hmac hmac;
        hmac.SetKey(key);
        hmac.Update(data);
        return hmac.Finish();
    }

private:
    Hash innerKeyed_;
    Hash outerKeyed_;
    Hash inner_;
};

}  // namespace tessan::crypto
