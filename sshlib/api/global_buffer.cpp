#include "sshlib/api/global_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/system.h"
#include "sshlib/api/tessan.h"

namespace tessan {

GlobalBuffer::~GlobalBuffer() {
    if (block_) PlatformGlobalFree(block_);
}

bool GlobalBuffer::Reserve(size_t total) {
    if (total <= capacity_) return true;
    const size_t steps = (total + kGrowthStep - 1) / kGrowthStep;
    const size_t capacity = steps * kGrowthStep;
    HGLOBAL grown = block_ ? PlatformGlobalReAlloc(block_, capacity, GMEM_MOVEABLE)
                           : PlatformGlobalAlloc(GMEM_MOVEABLE, capacity);
    if (!grown) {
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return false;
    }
    block_ = grown;
    capacity_ = capacity;
    return true;
}

bool GlobalBuffer::Append(const void* data, size_t length) {
    if (length == 0) return true;
    if (!Reserve(size_ + length)) return false;
    auto* bytes = static_cast<uint8_t*>(PlatformGlobalLock(block_));
    std::memcpy(bytes + size_, data, length);
    PlatformGlobalUnlock(block_);
    size_ += length;
    return true;
}

bool GlobalBuffer::ConvertLineEnds() {
    if (size_ == 0) return true;
    auto* bytes = static_cast<uint8_t*>(PlatformGlobalLock(block_));
    std::optional<size_t> converted = ConvertedTextSize({bytes, size_});
    PlatformGlobalUnlock(block_);
    if (!converted) return true;
    if (!Reserve(*converted)) return false;
    bytes = static_cast<uint8_t*>(PlatformGlobalLock(block_));
    ConvertLineEndsInPlace(bytes, size_, *converted);
    PlatformGlobalUnlock(block_);
    size_ = *converted;
    return true;
}

HGLOBAL GlobalBuffer::Release() {
    HGLOBAL block = block_ ? PlatformGlobalReAlloc(block_, size_, GMEM_MOVEABLE)
                           : PlatformGlobalAlloc(GMEM_MOVEABLE, 0);
    if (!block) {
        SshSetLastError(KX_ERROR_OUT_OF_MEMORY);
        return nullptr;
    }
    block_ = nullptr;
    size_ = capacity_ = 0;
    return block;
}

size_t GlobalBuffer::CopyTo(void* out, size_t capacity) const {
    const size_t count = std::min(capacity, size_);
    if (count == 0) return 0;
    std::memcpy(out, PlatformGlobalLock(block_), count);
    PlatformGlobalUnlock(block_);
    return count;
}

std::optional<size_t> ConvertedTextSize(std::span<const uint8_t> text) {
    constexpr uint8_t kEscape = 27;
    size_t lineFeeds = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t byte = text[i];
        if (byte == 0 || byte == kEscape) return std::nullopt;
        if (byte != '\n') continue;
        if (lineFeeds == 0 && i > 0 && text[i - 1] == '\r') return std::nullopt;
        ++lineFeeds;
    }
    if (lineFeeds == 0) return std::nullopt;
    return text.size() + lineFeeds + (text.back() == '\n' ? 0 : 2);
}

void ConvertLineEndsInPlace(uint8_t* data, size_t size, size_t converted) {
    size_t to = converted;
    if (data[size - 1] != '\n') {
        data[--to] = '\n';
        data[--to] = '\r';
    }
    // From the end backwards, so that no byte is overwritten before it has moved.
    for (size_t from = size; from-- > 0;) {
        data[--to] = data[from];
        if (data[from] == '\n') data[--to] = '\r';
    }
}

}  // namespace tessan
