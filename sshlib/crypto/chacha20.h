// The ChaCha20 stream cipher (RFC 8439 block function) in both of its counter layouts:
// - the original one, a 64-bit block counter in state words 12-13 and a 64-bit nonce in words
//   14-15, which the SSH construction uses with the packet sequence number as nonce;
// - RFC 8439's, a 32-bit block counter in word 12 and a 96-bit nonce in words 13-15, which the
//   RFC's AEAD uses.
// Uses AVX-512 (sixteen blocks at once) or AVX2 (eight) when present, decided when the key is set.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class ChaCha20 {
public:
    static constexpr size_t kKeyLength = 32;
    static constexpr size_t kBlockLength = 64;

    ChaCha20() = default;
    ~ChaCha20();
    ChaCha20(const ChaCha20&) = delete;
    ChaCha20& operator=(const ChaCha20&) = delete;

    void SetKey(const uint8_t key[kKeyLength]);

    // Original layout: `nonce` fills words 14-15, `counter` words 12-13 (carrying from 12 to 13).
    void SetNonce64(const uint8_t nonce[8], uint64_t counter);
    // RFC 8439 layout: `nonce` fills words 13-15, `counter` word 12. The counter wraps within
    // its 32 bits; callers keep a message below 2^32 blocks, as the RFC requires.
    void SetNonce96(const uint8_t nonce[12], uint32_t counter);

    // XORs the keystream into `length` bytes from `in` to `out` (which may be the same buffer).
    // Every call starts on a fresh block: the rest of a partly used last block is dropped. The
    // block counter advances by the blocks used.
    void Crypt(const uint8_t* in, uint8_t* out, size_t length);

private:
    void Advance(uint64_t blocks);

    uint32_t state_[16] = {};
    bool wideCounter_ = true;
    bool avx2_ = false;
    bool avx512_ = false;
};

// One 64-byte keystream block of `state` (the state itself is not changed).
void ChaCha20Block(const uint32_t state[16], uint8_t out[64]);

// AVX2 implementation (chacha20_avx2.cpp): XORs the keystream of blocks state[12] + 0, 1, ...
// into whole 64-byte blocks, eight at a time, and returns how many blocks it did (a multiple
// of 8, at most `blocks`). Only word 12 varies: the caller keeps it from wrapping in the range.
size_t ChaCha20Avx2Blocks(const uint32_t state[16], const uint8_t* in, uint8_t* out, size_t blocks);
// The same sixteen at a time on AVX-512 (chacha20_avx512.cpp).
size_t ChaCha20Avx512Blocks(const uint32_t state[16], const uint8_t* in, uint8_t* out,
                            size_t blocks);

}  // namespace tessan::crypto
