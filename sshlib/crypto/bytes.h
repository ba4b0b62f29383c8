// Byte-order helpers and constant-time comparison shared by every primitive (and, through
// secure_memory.h, the wiping helper).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/secure_memory.h"

namespace tessan::crypto {

inline uint32_t LoadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
inline void StoreBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void StoreLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint64_t LoadBe64(const uint8_t* p) {
    return (uint64_t{LoadBe32(p)} << 32) | LoadBe32(p + 4);
}
inline void StoreBe64(uint8_t* p, uint64_t v) {
    StoreBe32(p, static_cast<uint32_t>(v >> 32));
    StoreBe32(p + 4, static_cast<uint32_t>(v));
}
inline uint64_t LoadLe64(const uint8_t* p) {
    return uint64_t{LoadLe32(p)} | (uint64_t{LoadLe32(p + 4)} << 32);
}
inline void StoreLe64(uint8_t* p, uint64_t v) {
    StoreLe32(p, static_cast<uint32_t>(v));
    StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}
inline uint32_t Rotl32(uint32_t v, int n) {
    return (v << n) | (v >> ((32 - n) & 31));
}
inline uint32_t Rotr32(uint32_t v, int n) {
    return (v >> n) | (v << ((32 - n) & 31));
}

// GCC and clang provide 128-bit integers on 64-bit targets; __extension__ marks the use as
// deliberate under -Wpedantic.
__extension__ typedef unsigned __int128 UInt128;

// Returns `value` unchanged, but the optimiser cannot see through it, so mask arithmetic on it is
// not turned back into a branch on a secret.
inline uint64_t ValueBarrier(uint64_t value) {
    __asm__("" : "+r"(value));
    return value;
}

// True when the two buffers are equal; the time taken depends only on `length`, never on where
// the first difference lies (used for MAC checks).
bool ConstantTimeEqual(const uint8_t* a, const uint8_t* b, size_t length);

}  // namespace tessan::crypto
