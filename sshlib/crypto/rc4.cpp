#include "crypto/rc4.h"

#include <cassert>

#include "crypto/bytes.h"

namespace tessan::crypto {

Rc4::~Rc4() {
    SecureWipe(this, sizeof(*this));
}

void Rc4::SetKey(const uint8_t* key, size_t length) {
    for (uint32_t i = 0; i < 256; ++i)
        s_[i] = i;
    i_ = 0;
    j_ = 0;
    assert(length != 0 && "RC4 needs at least one key byte");
    if (length == 0) return;
    uint32_t j = 0;
    for (uint32_t i = 0; i < 256; ++i) {
        j = (j + s_[i] + key[i % length]) & 0xff;
        const uint8_t t = s_[i];
        s_[i] = s_[j];
        s_[j] = t;
    }
    i_ = 0;
    j_ = 0;
}

void Rc4::Crypt(uint8_t* data, size_t length) {
    uint32_t i = i_, j = j_;
    uint8_t* s = s_;
    for (size_t n = 0; n < length; ++n) {
        i = (i + 1) & 0xff;
        const uint32_t si = s[i];
        j = (j + si) & 0xff;
        const uint32_t sj = s[j];
        s[i] = static_cast<uint8_t>(sj);
        s[j] = static_cast<uint8_t>(si);
        data[n] ^= static_cast<uint8_t>(s[(si + sj) & 0xff]);
    }
    i_ = i;
    j_ = j;
}

void Rc4::Discard(size_t length) {
    uint8_t scratch[256];
    while (length != 0) {
        const size_t n = length < sizeof(scratch) ? length : sizeof(scratch);
        for (size_t k = 0; k < n; ++k)
            scratch[k] = 0;
        Crypt(scratch, n);
        length -= n;
    }
    SecureWipe(scratch, sizeof(scratch));
}

}  // namespace tessan::crypto
