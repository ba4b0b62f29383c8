#include "crypto/secure_memory.h"

#include <cstring>

namespace tessan {

void SecureWipe(void* data, size_t length) {
    if (length == 0) return;
    std::memset(data, 0, length);
    // The empty asm that may read the buffer keeps the compiler from treating the stores as dead.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace tessan
