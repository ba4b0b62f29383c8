// Results handed to callers as movable global memory blocks (the search and execute calls):
// a block that grows in steps of 8192 bytes while data are collected, is cut to the data's size
// at the end and then either handed over or freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/platform_types.h"

namespace tessan {

class GlobalBuffer {
public:
    static constexpr size_t kGrowthStep = 8192;

    GlobalBuffer() = default;
    ~GlobalBuffer();  // frees a block not handed over
    GlobalBuffer(const GlobalBuffer&) = delete;
    GlobalBuffer& operator=(const GlobalBuffer&) = delete;

    // Appends bytes, growing the block by whole steps. False (nothing appended, last error
    // KX_ERROR_OUT_OF_MEMORY) when the block cannot grow.
    bool Append(const void* data, size_t length);
    size_t Size() const { return size_; }

    // Converts line ends of the collected text for callers on systems that end lines with
    // carriage return and line feed (see ConvertedTextSize). False when the block cannot grow.
    bool ConvertLineEnds();

    // Cuts the block to the data's size and hands it over; the caller frees it. NULL (last error
    // KX_ERROR_OUT_OF_MEMORY) when no block can be made.
    HGLOBAL Release();
    // Copies up to `capacity` bytes to `out`; returns the count.
    size_t CopyTo(void* out, size_t capacity) const;

private:
    bool Reserve(size_t total);

    HGLOBAL block_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// The size of `text` after its line ends are converted, or nothing when it stays as it is.
// Text is converted when it holds no 0 byte and no escape (27), has a line feed and its first
// line feed follows no carriage return: every line feed becomes carriage return and line feed,
// and a text that does not end with a line feed gets one such pair appended.
std::optional<size_t> ConvertedTextSize(std::span<const uint8_t> text);
// Converts in place: `data` holds `size` bytes of text and has room for `converted` bytes
// (ConvertedTextSize's answer).
void ConvertLineEndsInPlace(uint8_t* data, size_t size, size_t converted);

}  // namespace tessan
