#include "sshlib/transport/zlib_compressor.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "sshlib/transport/deflate_codes.h"

namespace tessan::transport {

using namespace deflate;

namespace {

constexpr uint16_t kNone = 65535;
constexpr uint32_t kHashSize = 2039;
constexpr int kMaxCandidates = 32;
// A chain can be long when many positions share a hash value but not their bytes; the walk is
// bounded so that no input makes a payload cost more than a fixed amount per byte.
constexpr int kMaxChainWalk = 256;
constexpr uint32_t kMaxPiece = 258;
constexpr size_t kMaxStoredChunk = 65535;

uint32_t Hash(uint8_t b0, uint8_t b1, uint8_t b2) {
    return (b0 * 257u + b1 * 263u + b2 * 269u) % kHashSize;
}

// How far a and b agree from `start` on, up to `limit` bytes; eight bytes per step.
size_t CommonLength(const uint8_t* a, const uint8_t* b, size_t start, size_t limit) {
    size_t n = start;
    for (; n + 8 <= limit; n += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            uint64_t differ = x ^ y;
            int bits = std::endian::native == std::endian::little ? std::countr_zero(differ)
                                                                  : std::countl_zero(differ);
            return n + static_cast<size_t>(bits) / 8;
        }
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

uint32_t Reverse(uint32_t code, int length) {
    uint32_t r = 0;
    for (int i = 0; i < length; ++i) {
        r = (r << 1) | (code & 1);
        code >>= 1;
    }
    return r;
}

// Fixed literal/length codes, bit-reversed for least-significant-first emission.
struct FixedCodes {
    uint16_t code[288];
    uint8_t length[288];
    uint8_t distanceCode[kDistanceCodes];
    FixedCodes() {
        for (int s = 0; s < 288; ++s) {
            uint32_t c;
            int n;
            if (s < 144) {
                c = 0x30 + s, n = 8;
            } else if (s < 256) {
                c = 0x190 + (s - 144), n = 9;
            } else if (s < 280) {
                c = s - 256, n = 7;
            } else {
                c = 0xC0 + (s - 280), n = 8;
            }
            code[s] = static_cast<uint16_t>(Reverse(c, n));
            length[s] = static_cast<uint8_t>(n);
        }
        for (int d = 0; d < kDistanceCodes; ++d) {
            distanceCode[d] = static_cast<uint8_t>(Reverse(static_cast<uint32_t>(d), 5));
        }
    }
};
const FixedCodes kFixed;

// The largest i with table[i] <= value (binary search over an ascending table).
int FindBase(const uint16_t* table, int count, uint32_t value) {
    int low = 0, high = count - 1;
    while (low < high) {
        int mid = (low + high + 1) / 2;
        if (table[mid] <= value) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return low;
}

}  // namespace

// Hash chains and chain heads in one allocation. Each window slot records the next-older and
// next-newer position of its chain and its hash value; kNone ends a chain and marks a slot that
// is in no chain.
struct ZlibCompressor::State {
    uint16_t older[kWindowSize];
    uint16_t newer[kWindowSize];
    uint16_t hash[kWindowSize];
    uint16_t heads[kHashSize];
    uint64_t total = 0;    // bytes consumed since the stream began
    uint32_t pending = 0;  // trailing positions (at most 2) not hashed yet

    State() {
        for (uint32_t i = 0; i < kWindowSize; ++i)
            older[i] = newer[i] = hash[i] = kNone;
        for (uint32_t i = 0; i < kHashSize; ++i)
            heads[i] = kNone;
    }

    // Takes slot `s` out of its chain. The slot holds the oldest position of the window, so it
    // is the oldest entry of its chain: only its newer neighbour (or the head) points at it.
    void Unlink(uint32_t s) {
        if (hash[s] == kNone) return;
        if (newer[s] != kNone) {
            older[newer[s]] = kNone;
        } else {
            heads[hash[s]] = kNone;
        }
        older[s] = newer[s] = hash[s] = kNone;
    }

    void Link(uint32_t s, uint32_t h) {
        older[s] = heads[h];
        newer[s] = kNone;
        if (heads[h] != kNone) newer[heads[h]] = static_cast<uint16_t>(s);
        heads[h] = static_cast<uint16_t>(s);
        hash[s] = static_cast<uint16_t>(h);
    }
};

ZlibCompressor::ZlibCompressor() : s_(std::make_unique<State>()) {}
ZlibCompressor::~ZlibCompressor() = default;

void ZlibCompressor::PutBits(uint32_t value, int count) {
    bits_ |= static_cast<uint64_t>(value) << bitCount_;
    bitCount_ += count;
    while (bitCount_ >= 8) {
        out_->push_back(static_cast<uint8_t>(bits_));
        bits_ >>= 8;
        bitCount_ -= 8;
    }
}

void ZlibCompressor::PutLiteral(uint8_t literal) {
    PutBits(kFixed.code[literal], kFixed.length[literal]);
}

void ZlibCompressor::PutMatch(uint32_t length, uint32_t distance) {
    // Longer matches go out in pieces of 258; a remainder of 1 or 2 would be too short for a
    // match of its own, so the piece before it gives up 3 bytes.
    while (length > 0) {
        uint32_t piece = length;
        if (length > kMaxPiece) piece = length - kMaxPiece < 3 ? length - 3 : kMaxPiece;
        length -= piece;
        int l = FindBase(kLengthBase, kLengthCodes, piece);
        int symbol = 257 + l;
        PutBits(kFixed.code[symbol], kFixed.length[symbol]);
        if (kLengthExtra[l]) PutBits(piece - kLengthBase[l], kLengthExtra[l]);
        int d = FindBase(kDistanceBase, kDistanceCodes, distance);
        PutBits(kFixed.distanceCode[d], 5);
        if (kDistanceExtra[d]) PutBits(distance - kDistanceBase[d], kDistanceExtra[d]);
    }
}

// Hashes the positions left over from the previous payload, now that the bytes after them are
// known (those that still lack two following bytes stay pending).
void ZlibCompressor::HashPending(size_t length) {
    State& s = *s_;
    uint64_t end = s.total + length;
    uint32_t stillPending = 0;
    for (uint64_t p = s.total - s.pending; p < s.total; ++p) {
        if (p + 2 < end) {
            const uint8_t* b = At(p);
            s.Link(p & kWindowMask, Hash(b[0], b[1], b[2]));
        } else {
            ++stillPending;
        }
    }
    s.pending = stillPending;
}

// Puts input[index] into its window slot and, when two more bytes follow in this payload, into
// its hash chain; the oldest window entry in that slot leaves its chain.
void ZlibCompressor::Consume(const uint8_t* input, size_t index, size_t length) {
    State& s = *s_;
    uint32_t slot = s.total & kWindowMask;
    s.Unlink(slot);
    if (index + 2 < length) {
        s.Link(slot, Hash(input[index], input[index + 1], input[index + 2]));
    } else {
        ++s.pending;
    }
    ++s.total;
}

// The longest match for the bytes at input[index] (0 when there is none of 3 bytes or more);
// among equally long ones the nearest. Up to kMaxCandidates earlier positions whose three bytes
// equal these are measured: the longest wins, and of those the first in chain order, which is
// what extending all of them together one byte at a time would leave.
uint32_t ZlibCompressor::FindMatch(const uint8_t* input, size_t index, size_t length,
                                   uint32_t& distance) {
    State& s = *s_;
    const uint64_t current = s.total;
    const uint8_t* here = At(current);
    const size_t limit = length - index;  // a match ends with the payload
    const uint32_t h = Hash(input[index], input[index + 1], input[index + 2]);
    const uint32_t currentSlot = current & kWindowMask;
    size_t best = 0;
    uint64_t bestPosition = 0;
    int count = 0;
    int walked = 0;
    for (uint16_t slot = s.heads[h];
         slot != kNone && count < kMaxCandidates && walked < kMaxChainWalk;
         slot = s.older[slot], ++walked) {
        uint32_t d = ((currentSlot - slot - 1) & kWindowMask) + 1;
        if (d > current) continue;  // only possible for a corrupt chain; never before the start
        const uint8_t* there = here - d;
        if (there[0] != here[0] || there[1] != here[1] || there[2] != here[2]) continue;
        ++count;
        size_t matched = CommonLength(there, here, 3, limit);
        if (matched > best) {
            best = matched;
            bestPosition = current - d;
            if (best == limit) break;  // later candidates could only tie
        }
    }
    if (best == 0) return 0;
    distance = static_cast<uint32_t>(current - bestPosition);
    return static_cast<uint32_t>(best);
}

void ZlibCompressor::Deflate(const uint8_t* input, size_t length) {
    State& s = *s_;
    size_t i = 0;
    bool held = false;
    uint32_t heldLength = 0, heldDistance = 0;
    size_t heldAt = 0;
    while (i < length) {
        uint32_t distance = 0;
        uint32_t found = length - i >= 3 ? FindMatch(input, i, length, distance) : 0;
        if (held) {
            if (found >= heldLength + 2) {
                // The later match is worth a literal: the held position goes out alone.
                PutLiteral(input[heldAt]);
                heldLength = found, heldDistance = distance, heldAt = i;
                Consume(input, i, length);
                ++i;
                continue;
            }
            PutMatch(heldLength, heldDistance);
            for (size_t end = heldAt + heldLength; i < end; ++i)
                Consume(input, i, length);
            held = false;
            continue;
        }
        if (found >= 3) {
            held = true;
            heldLength = found, heldDistance = distance, heldAt = i;
        } else {
            PutLiteral(input[i]);
        }
        Consume(input, i, length);
        ++i;
    }
    // A held match covers at least three bytes, so the loop always resolves it.
    assert(!held);
    (void)s;
}

void ZlibCompressor::StoreBlocks(const uint8_t* input, size_t length) {
    size_t offset = 0;
    while (offset < length) {
        size_t chunk = std::min(length - offset, kMaxStoredChunk);
        PutBits(kStoredBlockHeader, 3);
        if (bitCount_ % 8) PutBits(0, 8 - bitCount_ % 8);
        PutBits(static_cast<uint32_t>(chunk), 16);
        PutBits(static_cast<uint32_t>(~chunk & 0xFFFF), 16);
        out_->insert(out_->end(), input + offset, input + offset + chunk);
        for (size_t i = offset; i < offset + chunk; ++i)
            Consume(input, i, length);
        offset += chunk;
    }
}

void ZlibCompressor::Compress(const uint8_t* input, size_t length, std::vector<uint8_t>& out) {
    out_ = &out;
    if (!headerWritten_) {
        PutBits(0x78, 8);
        PutBits(0x9C, 8);
        headerWritten_ = true;
    }
    // Keep the last window's worth of history in front of the new payload; drop older bytes
    // only now and then so that the copying stays small per byte.
    if (history_.size() > 3 * kWindowSize) {
        size_t drop = history_.size() - kWindowSize;
        history_.erase(history_.begin(), history_.begin() + static_cast<ptrdiff_t>(drop));
        base_ += drop;
    }
    history_.insert(history_.end(), input, input + length);
    HashPending(length);
    if (disabled_) {
        if (blockOpen_) PutBits(0, 7);  // end of the open block
        StoreBlocks(input, length);
        PutBits(kFixedBlockHeader, 3);
        blockOpen_ = true;
        disabled_ = false;
    } else {
        if (!blockOpen_) {
            PutBits(kFixedBlockHeader, 3);
            blockOpen_ = true;
        }
        Deflate(input, length);
        PutBits(0, 7);                      // end of block
        PutBits(kFixedBlockHeader, 3 + 7);  // an empty fixed block: header and end of block
        PutBits(kFixedBlockHeader, 3);      // the next block
    }
    out_ = nullptr;
}

size_t ZlibCompressor::DisableCompression() {
    disabled_ = true;
    if (!headerWritten_) return 7;
    int bits = bitCount_ + (blockOpen_ ? 7 : 0) + 3;
    return static_cast<size_t>((bits + 7) / 8) + 4;
}

}  // namespace tessan::transport
