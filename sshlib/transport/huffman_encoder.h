// Building the Huffman codes a deflate block is written with: code lengths from symbol counts,
// limited to what the format allows, and the canonical codes for those lengths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessan::transport {

// Code lengths for `counts` (one per symbol) no longer than `limit` bits. Symbols with a count
// of zero get length 0. The code is always complete, because decoders reject a code that leaves
// part of its space unused: with fewer than two counted symbols, the counted one and another
// get one bit each.
void BuildCodeLengths(std::span<const uint32_t> counts, int limit, std::span<uint8_t> lengths);

// The canonical codes (RFC 1951 section 3.2.2) for `lengths`, bit-reversed so that they can be
// written least significant bit first.
void CanonicalCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

}  // namespace tessan::transport
