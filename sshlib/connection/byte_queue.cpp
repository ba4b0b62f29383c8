#include "sshlib/connection/byte_queue.h"

#include <algorithm>

namespace tessan::connection {

void ByteQueue::Append(std::span<const uint8_t> data) {
    size_ += data.size();
    while (!data.empty()) {
        // Only a block that nothing has been taken from yet may grow: Front() hands out views.
        if (blocks_.empty() || blocks_.back().size() >= kBlockSize ||
            (blocks_.size() == 1 && frontOffset_ != 0)) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::min(data.size(), kBlockSize));
        }
        SecureBytes& last = blocks_.back();
        size_t n = std::min(data.size(), kBlockSize - std::min(last.size(), kBlockSize));
        last.insert(last.end(), data.begin(), data.begin() + static_cast<ptrdiff_t>(n));
        data = data.subspan(n);
    }
}

std::span<const uint8_t> ByteQueue::Front() const {
    if (blocks_.empty()) return {};
    const SecureBytes& first = blocks_.front();
    return {first.data() + frontOffset_, first.size() - frontOffset_};
}

void ByteQueue::Consume(size_t count) {
    if (blocks_.empty()) return;
    count = std::min(count, blocks_.front().size() - frontOffset_);
    frontOffset_ += count;
    size_ -= count;
    if (frontOffset_ == blocks_.front().size()) {
        blocks_.pop_front();
        frontOffset_ = 0;
    }
}

void ByteQueue::Clear() {
    blocks_.clear();
    frontOffset_ = 0;
    size_ = 0;
}

}  // namespace tessan::connection
