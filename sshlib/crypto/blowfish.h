// Blowfish (Schneier, 1993) with keys of 1 to 56 bytes. Blocks are two 32-bit halves; how the
// halves map to bytes (big-endian for SSH-2, little-endian for SSH-1) is the caller's choice.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class Blowfish {
public:
    static constexpr size_t kMaxKeyLength = 56;

    Blowfish() = default;
    ~Blowfish();
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // The published key schedule; `length` is 1..56 (longer keys use their first 56 bytes).
    void SetKey(const uint8_t* key, size_t length);
    void Encrypt(uint32_t& left, uint32_t& right) const;
    void Decrypt(uint32_t& left, uint32_t& right) const;

private:
    uint32_t p_[18] = {};
    uint32_t s_[4][256] = {};
};

}  // namespace tessan::crypto
