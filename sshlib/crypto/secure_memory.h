// Wiping secrets (passwords, keys, plaintext) before their memory is released or reused: the
// library's one wiping helper, an allocator whose containers wipe every block they give back,
// and a scope guard that wipes a copy however the scope is left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessan {

// Overwrites memory in a way the optimiser may not drop.
void SecureWipe(void* data, size_t length);

// Clears the string's whole allocation (or its inline buffer), not just its current length.
inline void SecureWipe(std::string& text) {
    text.resize(text.capacity());
    SecureWipe(text.data(), text.size());
    text.clear();
}

// A block for WipingAllocator, and its release: wiped, then freed.
void* AllocateSecure(size_t bytes);
void FreeSecure(void* block, size_t bytes);

// For containers that hold secrets: every block is wiped before it goes back to the heap, so
// growing, shrinking or destroying the container leaves no copy behind.
template <typename T>
struct WipingAllocator {
    using value_type = T;
    WipingAllocator() = default;
    template <typename U>
    WipingAllocator(const WipingAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(AllocateSecure(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { FreeSecure(p, n * sizeof(T)); }
    template <typename U>
    bool operator==(const WipingAllocator<U>&) const {
        return true;
    }
};

// Bytes that may hold plaintext or keys.
using SecureBytes = std::vector<uint8_t, WipingAllocator<uint8_t>>;

// Clears the vector's whole allocation, not just its current length.
inline void SecureWipe(std::vector<uint8_t>& bytes) {
    SecureWipe(bytes.data(), bytes.capacity());
    bytes.clear();
}

// Wipes `target` (a string or byte vector holding a secret) when the scope ends, on every path
// out of it: no early return can leave the copy behind.
template <typename T>
class ScopedWipe {
public:
    explicit ScopedWipe(T& target) : target_(target) {}
    ~ScopedWipe() { SecureWipe(target_); }
    ScopedWipe(const ScopedWipe&) = delete;
    ScopedWipe& operator=(const ScopedWipe&) = delete;

private:
    T& target_;
};

}  // namespace tessan
