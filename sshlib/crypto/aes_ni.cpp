// AES on the processor's AES instructions. CBC decryption and counter mode keep eight blocks in
// flight so the pipelined AESENC/AESDEC units stay busy; CBC encryption is serial by nature.
#include <cstring>

#include "crypto/aes.h"
#include "crypto/bytes.h"

#if defined(__x86_64__) || defined(__i386__)
#include "crypto/aes_ni_rounds.h"

namespace tessan::crypto {
namespace {

using namespace aesni;

// The counter block for (hi, lo), then the counter advanced: byte-reversing the little-endian
// pair (lo, hi) gives the big-endian 128-bit counter.
TESSAN_AES_TARGET inline __m128i NextCounter(uint64_t& hi, uint64_t& lo, __m128i reverse) {
    const __m128i block = _mm_shuffle_epi8(
        _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo)), reverse);
    if (++lo == 0) ++hi;
    return block;
}

template <int R>
TESSAN_AES_TARGET void EncryptCbc(const __m128i* k, uint8_t* data, size_t blocks, uint8_t* iv) {
    __m128i chain = LoadBlock(iv);
    for (size_t i = 0; i < blocks; ++i, data += 16) {
        chain = EncryptOne<R>(k, _mm_xor_si128(LoadBlock(data), chain));
        StoreBlock(data, chain);
    }
    StoreBlock(iv, chain);
}

template <int R>
TESSAN_AES_TARGET void DecryptCbc(const __m128i* k, uint8_t* data, size_t blocks, uint8_t* iv) {
    __m128i chain = LoadBlock(iv);
    while (blocks >= kLanes) {
        __m128i b[kLanes];
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j)
            b[j] = LoadBlock(data + 16 * j);
        DecryptLanes<R>(k, b);
        // The ciphertext is re-read from memory for chaining: it is only overwritten afterwards.
        const __m128i last = LoadBlock(data + 16 * (kLanes - 1));
#pragma GCC unroll 8
        for (int j = kLanes - 1; j >= 1; --j) {
            StoreBlock(data + 16 * j, _mm_xor_si128(b[j], LoadBlock(data + 16 * (j - 1))));
        }
        StoreBlock(data, _mm_xor_si128(b[0], chain));
        chain = last;
        data += 16 * kLanes;
        blocks -= kLanes;
    }
    for (; blocks != 0; --blocks, data += 16) {
        const __m128i cipher = LoadBlock(data);
        StoreBlock(data, _mm_xor_si128(DecryptOne<R>(k, cipher), chain));
        chain = cipher;
    }
    StoreBlock(iv, chain);
}

template <int R>
TESSAN_AES_TARGET void Ctr(const __m128i* k, uint8_t* data, size_t length, uint8_t* counter) {
    // The counter as two host integers: hi holds bytes 0-7, lo bytes 8-15 (big-endian).
    uint64_t hi = LoadBe64(counter);
    uint64_t lo = LoadBe64(counter + 8);
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    while (length >= 16 * kLanes) {
        __m128i b[kLanes];
        if (lo <= ~uint64_t{0} - kLanes) {
            // No carry into hi within these lanes: derive them with vector adds.
            const __m128i base =
                _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
#pragma GCC unroll 8
            for (int j = 0; j < kLanes; ++j) {
                b[j] = _mm_shuffle_epi8(_mm_add_epi64(base, _mm_set_epi64x(0, j)), reverse);
            }
            lo += kLanes;
        } else {
            for (int j = 0; j < kLanes; ++j)
                b[j] = NextCounter(hi, lo, reverse);
        }
        EncryptLanes<R>(k, b);
#pragma GCC unroll 8
        for (int j = 0; j < kLanes; ++j) {
            StoreBlock(data + 16 * j, _mm_xor_si128(LoadBlock(data + 16 * j), b[j]));
        }
        data += 16 * kLanes;
        length -= 16 * kLanes;
    }
    while (length != 0) {
        const __m128i keystream = EncryptOne<R>(k, NextCounter(hi, lo, reverse));
        if (length >= 16) {
            StoreBlock(data, _mm_xor_si128(LoadBlock(data), keystream));
            data += 16;
            length -= 16;
        } else {
            uint8_t bytes[16];
            StoreBlock(bytes, keystream);
            for (size_t i = 0; i < length; ++i)
                data[i] ^= bytes[i];
            SecureWipe(bytes, sizeof(bytes));
            length = 0;
        }
    }
    StoreBe64(counter, hi);
    StoreBe64(counter + 8, lo);
}

inline const __m128i* Keys(const uint8_t* keys) {
    return reinterpret_cast<const __m128i*>(keys);
}

}  // namespace

#define TESSAN_AES_DISPATCH(function, ...)    \
    switch (rounds) {                         \
        case 10:                              \
            return function<10>(__VA_ARGS__); \
        case 12:                              \
            return function<12>(__VA_ARGS__); \
        default:                              \
            return function<14>(__VA_ARGS__); \
    }

TESSAN_AES_TARGET void AesNiEncryptBlock(const uint8_t* keys, int rounds, const uint8_t* in,
                                         uint8_t* out) {
    __m128i b = LoadBlock(in);
    switch (rounds) {
        case 10:
            b = EncryptOne<10>(Keys(keys), b);
            break;
        case 12:
            b = EncryptOne<12>(Keys(keys), b);
            break;
        default:
            b = EncryptOne<14>(Keys(keys), b);
            break;
    }
    StoreBlock(out, b);
}

TESSAN_AES_TARGET void AesNiDecryptBlock(const uint8_t* keys, int rounds, const uint8_t* in,
                                         uint8_t* out) {
    __m128i b = LoadBlock(in);
    switch (rounds) {
        case 10:
            b = DecryptOne<10>(Keys(keys), b);
            break;
        case 12:
            b = DecryptOne<12>(Keys(keys), b);
            break;
        default:
            b = DecryptOne<14>(Keys(keys), b);
            break;
    }
    StoreBlock(out, b);
}

void AesNiEncryptCbc(const uint8_t* keys, int rounds, uint8_t* data, size_t blocks, uint8_t* iv) {
    TESSAN_AES_DISPATCH(EncryptCbc, Keys(keys), data, blocks, iv)
}

void AesNiDecryptCbc(const uint8_t* keys, int rounds, uint8_t* data, size_t blocks, uint8_t* iv) {
    TESSAN_AES_DISPATCH(DecryptCbc, Keys(keys), data, blocks, iv)
}

void AesNiCtr(const uint8_t* keys, int rounds, uint8_t* data, size_t length, uint8_t* counter) {
    TESSAN_AES_DISPATCH(Ctr, Keys(keys), data, length, counter)
}

#undef TESSAN_AES_DISPATCH

}  // namespace tessan::crypto

#else  // not x86: never called, UseAesNi() is false.

namespace tessan::crypto {
void AesNiEncryptBlock(const uint8_t*, int, const uint8_t*, uint8_t*) {}
void AesNiDecryptBlock(const uint8_t*, int, const uint8_t*, uint8_t*) {}
void AesNiEncryptCbc(const uint8_t*, int, uint8_t*, size_t, uint8_t*) {}
void AesNiDecryptCbc(const uint8_t*, int, uint8_t*, size_t, uint8_t*) {}
void AesNiCtr(const uint8_t*, int, uint8_t*, size_t, uint8_t*) {}
}  // namespace tessan::crypto

#endif
