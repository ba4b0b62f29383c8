// A queue of bytes kept as a list of blocks with their total size: data accepted from the
// caller and not yet sent on a channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "crypto/secure_memory.h"

namespace tessan::connection {

class ByteQueue {
public:
    // Appends a copy; small appends fill the last block up to kBlockSize first.
    void Append(std::span<const uint8_t> data);
    // The first contiguous block (empty when the queue is).
    std::span<const uint8_t> Front() const;
    // Removes `count` bytes (at most the first block's remaining size) from the front.
    void Consume(size_t count);
    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    void Clear();

    static constexpr size_t kBlockSize = 32768;

private:
    std::deque<SecureBytes> blocks_;  // the caller's data may be a password typed into the session
    size_t frontOffset_ = 0;
    size_t size_ = 0;
};

}  // namespace tessan::connection
