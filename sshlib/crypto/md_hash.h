// The buffering and padding that SHA-1, SHA-256 and MD5 share (Merkle-Damgard, 64-byte blocks,
// 64-bit bit count in the last block). Internal to the hash implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "crypto/bytes.h"

namespace tessan::crypto {

// Processes `count` whole 64-byte blocks into the chaining state.
using HashBlocksFunction = void (*)(uint32_t* state, const uint8_t* blocks, size_t count);

template <size_t kStateWords, bool kBigEndian>
class MdHashCore {
public:
    void Reset(const uint32_t (&initial)[kStateWords], HashBlocksFunction blocks) {
        std::memcpy(state_, initial, sizeof(state_));
        used_ = 0;
        totalBytes_ = 0;
        blocks_ = blocks;
    }

    void Update(const uint8_t* data, size_t length) {
        totalBytes_ += length;
        if (used_ != 0) {
            const size_t take = length < 64 - used_ ? length : 64 - used_;
            std::memcpy(buffer_ + used_, data, take);
            used_ += take;
            data += take;
            length -= take;
            if (used_ < 64) return;
            blocks_(state_, buffer_, 1);
            used_ = 0;
        }
        if (length >= 64) {
            blocks_(state_, data, length / 64);
            data += length & ~size_t{63};
            length &= 63;
        }
        if (length != 0) std::memcpy(buffer_, data, length);
        used_ = length;
    }

    // Appends the padding and writes the state words to `digest` (kOutWords of them).
    template <size_t kOutWords>
    void Finish(uint8_t* digest) {
        const uint64_t bits = totalBytes_ * 8;
        buffer_[used_++] = 0x80;
        if (used_ > 56) {
            std::memset(buffer_ + used_, 0, 64 - used_);
            blocks_(state_, buffer_, 1);
            used_ = 0;
        }
        std::memset(buffer_ + used_, 0, 56 - used_);
        if (kBigEndian) {
            StoreBe64(buffer_ + 56, bits);
        } else {
            StoreLe64(buffer_ + 56, bits);
        }
        blocks_(state_, buffer_, 1);
        for (size_t i = 0; i < kOutWords; ++i) {
            if (kBigEndian) {
                StoreBe32(digest + 4 * i, state_[i]);
            } else {
                StoreLe32(digest + 4 * i, state_[i]);
            }
        }
    }

    void Wipe() { SecureWipe(this, sizeof(*this)); }

private:
    uint32_t state_[kStateWords] = {};
    uint8_t buffer_[64] = {};
    size_t used_ = 0;
    uint64_t totalBytes_ = 0;
    HashBlocksFunction blocks_ = nullptr;
};

// Block functions of each hash; the SHA-NI ones exist only on x86 and are used only when the
// processor has the instructions.
void Sha1BlocksPortable(uint32_t* state, const uint8_t* blocks, size_t count);
void Sha1BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count);
void Sha256BlocksPortable(uint32_t* state, const uint8_t* blocks, size_t count);
void Sha256BlocksShaNi(uint32_t* state, const uint8_t* blocks, size_t count);

}  // namespace tessan::crypto
