// RC4, the stream cipher behind the "arcfour" names. The state persists across calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class Rc4 {
public:
    Rc4() = default;
    ~Rc4();
    Rc4(const Rc4&) = delete;
    Rc4& operator=(const Rc4&) = delete;

    // The RC4 key schedule over 1..256 key bytes; resets the indices.
    void SetKey(const uint8_t* key, size_t length);
    // XORs the next `length` keystream bytes into `data` (encryption and decryption alike).
    void Crypt(uint8_t* data, size_t length);
    // Generates and throws away `length` keystream bytes.
    void Discard(size_t length);

private:
    uint8_t s_[256] = {};
    uint32_t i_ = 0;
    uint32_t j_ = 0;
};

}  // namespace tessan::crypto
