// Writes deflate's bit stream (least significant bit first) straight into a byte vector. Bits
// that do not fill a byte stay in the accumulator from one payload to the next.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tessan::transport {

class DeflateBitWriter {
public:
    // Starts appending to `out`.
    void Attach(std::vector<uint8_t>& out) {
        out_ = &out;
        end_ = out.size();
    }

    // Makes room for `bytes` more bytes; Put and PutBytes write without further checks.
    void Reserve(size_t bytes) {
        const size_t needed = end_ + bytes + 8;
        if (out_->size() < needed) out_->resize(needed);
    }

    void Put(uint32_t value, int count) {
        assert(count <= 32 && (count == 32 || value >> count == 0));
        bits_ |= static_cast<uint64_t>(value) << bitCount_;
        bitCount_ += count;
        if (bitCount_ >= 32) {
            assert(end_ + 4 <= out_->size());
            uint8_t* at = out_->data() + end_;
            for (int i = 0; i < 4; ++i)
                at[i] = static_cast<uint8_t>(bits_ >> (8 * i));
            end_ += 4;
            bits_ >>= 32;
            bitCount_ -= 32;
        }
    }

    // Pads with zero bits to a byte boundary and copies `length` bytes after it.
    void PutBytes(const uint8_t* data, size_t length) {
        AlignToByte();
        FlushWholeBytes();
        assert(end_ + length <= out_->size());
        if (length) std::memcpy(out_->data() + end_, data, length);
        end_ += length;
    }

    void AlignToByte() { Put(0, (8 - bitCount_ % 8) % 8); }

    // Writes out every complete byte, trims `out` to what was written and detaches.
    void Detach() {
        Reserve(0);
        FlushWholeBytes();
        out_->resize(end_);
        out_ = nullptr;
    }

    int PendingBits() const { return bitCount_; }

private:
    void FlushWholeBytes() {
        while (bitCount_ >= 8) {
            (*out_)[end_++] = static_cast<uint8_t>(bits_);
            bits_ >>= 8;
            bitCount_ -= 8;
        }
    }

    std::vector<uint8_t>* out_ = nullptr;
    size_t end_ = 0;  // bytes of *out_ in use; the rest is room made by Reserve
    uint64_t bits_ = 0;
    int bitCount_ = 0;
};

}  // namespace tessan::transport
