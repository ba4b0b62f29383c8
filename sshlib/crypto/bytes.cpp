#include "crypto/bytes.h"

#include <cstring>

namespace tessan::crypto {

bool ConstantTimeEqual(const uint8_t* a, const uint8_t* b, size_t length) {
    uint8_t difference = 0;
    for (size_t i = 0; i < length; ++i)
        difference |= static_cast<uint8_t>(a[i] ^ b[i]);
    // Turn "any bit set" into 0/1 without a data-dependent branch.
    return ((static_cast<uint32_t>(difference) - 1) >> 8) & 1;
}

}  // namespace tessan::crypto
