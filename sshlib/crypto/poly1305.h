// Poly1305 (RFC 8439 section 2.5): the one-time authenticator, on AVX2 four blocks at a time for
// long messages when present (decided when the object is made). A key must never authenticate
// two different messages; both constructions that use it derive a fresh key per message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class Poly1305 {
public:
    static constexpr size_t kKeyLength = 32;
    static constexpr size_t kTagLength = 16;

    // `key` is r (clamped here) followed by s.
    explicit Poly1305(const uint8_t key[kKeyLength]);
    ~Poly1305();
    Poly1305(const Poly1305&) = delete;
    Poly1305& operator=(const Poly1305&) = delete;

    // Message bytes may arrive in pieces of any size.
    void Update(const uint8_t* data, size_t length);
    // Writes the tag; the object is spent afterwards.
    void Finish(uint8_t tag[kTagLength]);

private:
    void Blocks(const uint8_t* data, size_t blocks, uint64_t topBit);

    // The accumulator h = h0 + h1 * 2^64 + h2 * 2^128 (h2 a few bits), kept below 2^131.
    uint64_t h0_ = 0, h1_ = 0, h2_ = 0;
    uint64_t r0_ = 0, r1_ = 0;
    uint64_t s0_ = 0, s1_ = 0;
    uint8_t pending_[16] = {};
    size_t pendingLength_ = 0;
    bool avx2_ = false;
};

// AVX2 implementation (poly1305_avx2.cpp): h = h0, h1, h2 as the scalar code keeps it (h2 at
// most 6) is advanced over `blocks` whole blocks with the 2^128 bit, a multiple of 4.
void Poly1305Avx2Blocks(uint64_t h[3], uint64_t r0, uint64_t r1, const uint8_t* data,
                        size_t blocks);

// Poly1305 of one whole message.
void Poly1305Tag(const uint8_t key[32], const uint8_t* data, size_t length, uint8_t tag[16]);

}  // namespace tessan::crypto
