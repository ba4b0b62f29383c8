#include "sshlib/transport/deflate_matcher.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <iterator>

namespace tessan::transport {

using namespace deflate;

namespace {

constexpr uint32_t kMinMatch = 3;
constexpr uint32_t kMaxMatch = 258;
// How many earlier positions of the same hash are measured per position, and match lengths
// from which the search stops early or no later start is tried (lazy evaluation): the speed
// and ratio of terminal-like traffic settle around these.
constexpr int kMaxChain = 8;
constexpr uint32_t kNiceLength = 64;
constexpr uint32_t kLazyLimit = 32;

struct CodeTables {
    uint8_t length[kMaxMatch + 1];
    uint8_t distance[512];  // by distance - 1 up to 256, then by (distance - 1) / 128 + 256
    CodeTables() {
        for (uint32_t l = kMinMatch; l <= kMaxMatch; ++l) {
            int code = kLengthCodes - 1;
            while (kLengthBase[code] > l)
                --code;
            // 258 has a code of its own; 227 + 31 extra would also reach it.
            length[l] = static_cast<uint8_t>(code);
        }
        for (uint32_t i = 0; i < 512; ++i) {
            const uint32_t d = i < 256 ? i + 1 : ((i - 256) << 7) + 1;
            int code = kDistanceCodes - 1;
            while (kDistanceBase[code] > d)
                --code;
            distance[i] = static_cast<uint8_t>(code);
        }
    }
};
const CodeTables kCodes;

// How far a and b agree, up to `limit` bytes; eight bytes per step.
uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            const uint64_t differ = x ^ y;
            const int bits = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                        : std::countl_zero(differ);
            return n + static_cast<uint32_t>(bits) / 8;
        }
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

}  // namespace

int LengthCode(uint32_t length) {
    return kCodes.length[length];
}

int DistanceCode(uint32_t distance) {
    const uint32_t d = distance - 1;
    return kCodes.distance[d < 256 ? d : 256 + (d >> 7)];
}

void DeflateSymbols::Clear() {
    count = 0;
    std::fill(std::begin(litLenCounts), std::end(litLenCounts), 0u);
    std::fill(std::begin(distanceCounts), std::end(distanceCounts), 0u);
}

DeflateMatcher::DeflateMatcher() = default;

uint32_t DeflateMatcher::Hash(size_t index) const {
    const uint8_t* b = history_ + index;
    const uint32_t three = (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
    return (three * 0x9E3779B1u) >> (32 - kHashBits);
}

void DeflateMatcher::Insert(size_t index) {
    const uint32_t h = Hash(index);
    const uint64_t position = base_ + index;
    const uint32_t here = static_cast<uint32_t>(position) + 1;
    const uint32_t back = here - head_[h];
    older_[position & kWindowMask] =
        head_[h] != 0 && back <= kWindowSize ? static_cast<uint16_t>(back) : 0;
    head_[h] = here;
}

// Puts every position below `end` into its hash chain.
void DeflateMatcher::InsertUpTo(size_t end) {
    for (; hashed_ < end; ++hashed_)
        Insert(hashed_);
}

// Copies the input behind the history, first dropping what lies more than a window back when
// there is no room. Returns the history index of the input's first byte.
size_t DeflateMatcher::Append(const uint8_t* input, size_t length) {
    assert(length <= kMaxPiece);
    if (used_ + length > kHistorySize) {
        const size_t drop = used_ - kWindowSize;
        std::memmove(history_, history_ + drop, kWindowSize);
        used_ -= drop;
        base_ += drop;
        hashed_ -= drop;
    }
    const size_t start = used_;
    if (length) std::memcpy(history_ + start, input, length);
    used_ += length;
    // Positions held back for want of two following bytes can be hashed now.
    InsertUpTo(std::min(start, used_ >= 2 ? used_ - 2 : 0));
    return start;
}

// The longest earlier match for the bytes at `index`, at most `limit` long; the nearest among
// equally long ones. 0 when there is none of at least three bytes.
uint32_t DeflateMatcher::LongestMatch(size_t index, uint32_t limit, uint32_t& distance) const {
    const uint8_t* here = history_ + index;
    const uint64_t position = base_ + index;
    uint32_t candidate = head_[Hash(index)];
    uint32_t best = kMinMatch - 1;
    uint32_t lastBack = 0;
    for (int chain = 0; chain < kMaxChain && candidate != 0; ++chain) {
        const uint32_t back = static_cast<uint32_t>(position) + 1 - candidate;
        // Chains only lead further back, never before the start of the stream or the window.
        if (back <= lastBack || back > kWindowSize || back > position) break;
        lastBack = back;
        const uint8_t* there = here - back;
        if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
            const uint32_t length = CommonLength(there, here, limit);
            if (length > best) {
                best = length;
                distance = back;
                if (length >= std::min(limit, kNiceLength)) break;
            }
        }
        const uint16_t step = older_[(position - back) & kWindowMask];
        if (step == 0) break;
        candidate -= step;
    }
    return best >= kMinMatch ? best : 0;
}

void DeflateMatcher::Skip(const uint8_t* input, size_t length) {
    Append(input, length);
    InsertUpTo(used_ >= 2 ? used_ - 2 : 0);
}

void DeflateMatcher::Match(const uint8_t* input, size_t length, DeflateSymbols& symbols) {
    symbols.Clear();
    const size_t start = Append(input, length);
    const size_t end = start + length;
    auto literal = [&](uint8_t byte) {
        symbols.litLen[symbols.count] = byte;
        symbols.distance[symbols.count++] = 0;
        ++symbols.litLenCounts[byte];
    };
    auto match = [&](uint32_t matchLength, uint32_t distance) {
        symbols.litLen[symbols.count] = static_cast<uint16_t>(matchLength);
        symbols.distance[symbols.count++] = static_cast<uint16_t>(distance);
        ++symbols.litLenCounts[257 + LengthCode(matchLength)];
        ++symbols.distanceCounts[DistanceCode(distance)];
    };
    // A match found at i - 1 is held back one byte: when the match at i is longer, the byte at
    // i - 1 goes out as a literal and the later match is held instead.
    uint32_t heldLength = 0, heldDistance = 0;
    size_t i = start;
    while (i < end) {
        uint32_t found = 0, distance = 0;
        if (end - i >= kMinMatch) {
            if (heldLength < kLazyLimit) {
                found = LongestMatch(i, static_cast<uint32_t>(std::min<size_t>(end - i, kMaxMatch)),
                                     distance);
            }
            Insert(i);
            hashed_ = i + 1;
        }
        if (heldLength) {
            if (found > heldLength) {
                literal(history_[i - 1]);
                heldLength = found, heldDistance = distance;
                ++i;
                continue;
            }
            match(heldLength, heldDistance);
            const size_t matchEnd = i - 1 + heldLength;
            InsertUpTo(std::min(matchEnd, end - 2));
            i = matchEnd;
            heldLength = 0;
            continue;
        }
        if (found) {
            heldLength = found, heldDistance = distance;
        } else {
            literal(history_[i]);
        }
        ++i;
    }
    // A held match covers at least three bytes, so the loop always resolves it.
    assert(heldLength == 0);
    ++symbols.litLenCounts[kEndOfBlock];
}

}  // namespace tessan::transport
