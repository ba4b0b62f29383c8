// The LZ77 half of the compressor: keeps the last 32 KiB of the stream and turns new input into
// literals and (length, distance) matches against it, for the block writer to code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sshlib/transport/deflate_codes.h"

namespace tessan::transport {

// The LZ77 symbols of one block, with how often each literal/length and distance code occurs.
struct DeflateSymbols {
    static constexpr size_t kCapacity = 16384;  // one symbol per input byte at most

    uint16_t litLen[kCapacity];    // the literal byte, or the match length (3..258)
    uint16_t distance[kCapacity];  // 0 for a literal
    size_t count = 0;
    uint32_t litLenCounts[286] = {};  // including one end-of-block code
    uint32_t distanceCounts[deflate::kDistanceCodes] = {};

    void Clear();
};

// The length code (0..28, for symbol 257 + code) of a match length 3..258.
int LengthCode(uint32_t length);
// The distance code (0..29) of a distance 1..32768.
int DistanceCode(uint32_t distance);

class DeflateMatcher {
public:
    // Input is taken in pieces of at most this many bytes; a match does not reach past a piece.
    static constexpr size_t kMaxPiece = DeflateSymbols::kCapacity;

    DeflateMatcher();

    // Appends `input` (at most kMaxPiece bytes) to the stream and replaces `symbols` by its
    // literals and matches.
    void Match(const uint8_t* input, size_t length, DeflateSymbols& symbols);

    // Appends `input` (at most kMaxPiece bytes) without matching it, so that later input can
    // still refer to it.
    void Skip(const uint8_t* input, size_t length);

private:
    static constexpr int kHashBits = 15;
    static constexpr size_t kHistorySize = 4 * deflate::kWindowSize;

    size_t Append(const uint8_t* input, size_t length);
    void InsertUpTo(size_t end);
    void Insert(size_t index);
    uint32_t Hash(size_t index) const;
    uint32_t LongestMatch(size_t index, uint32_t limit, uint32_t& distance) const;

    // The stream's last bytes in one run: history_[0] is stream position base_. Fixed in size
    // and never reallocated, so that no copy of the plaintext is left behind elsewhere.
    uint8_t history_[kHistorySize + 8] = {};
    size_t used_ = 0;
    uint64_t base_ = 0;
    size_t hashed_ = 0;  // history indices below this are in their hash chains
    // Chain heads: the newest position with each hash, plus one (0 = none), and for each
    // window slot how far back the next-older position of the same hash lies (0 = none).
    uint32_t head_[size_t{1} << kHashBits] = {};
    uint16_t older_[deflate::kWindowSize] = {};
};

}  // namespace tessan::transport
