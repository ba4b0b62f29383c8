#include "crypto/secure_memory.h"

#include <cstring>
#include <new>

namespace tessan {

void SecureWipe(void* data, size_t length) {
    if (length == 0) return;
    std::memset(data, 0, length);
    // The empty asm that may read the buffer keeps the compiler from treating the stores as dead.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

void* AllocateSecure(size_t bytes) {
    return ::operator new(bytes);
}

void FreeSecure(void* block, size_t bytes) {
    SecureWipe(block, bytes);
    ::operator delete(block);
}

}  // namespace tessan
