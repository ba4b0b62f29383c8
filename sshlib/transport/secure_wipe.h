// Wiping secrets (passwords and anything derived from them) before their memory is released.
#pragma once

#include <string.h>

#include <string>

namespace tessan {

inline void SecureWipe(void* data, size_t size) { explicit_bzero(data, size); }

// Clears the string's whole allocation, not just its current length.
inline void SecureWipe(std::string& text) {
    text.resize(text.capacity());
    explicit_bzero(text.data(), text.size());
    text.clear();
}

}  // namespace tessan
