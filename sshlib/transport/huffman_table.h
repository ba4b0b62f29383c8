// Decoding tables for the canonical Huffman codes of deflate: a first-level table indexed by up
// to 9 bits of input (fewer when no code is that long) (least significant bit first); codes longer
// than that resolve through a second-level table indexed by the following bits (deflate codes have
// at most 15 bits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessan::transport {

class HuffmanTable {
public:
    static constexpr int kRootBits = 9;
    static constexpr int kMaxCodeLength = 15;
    static constexpr size_t kMaxSymbols = 288;

    enum class Lookup { kSymbol, kNeedMore, kInvalid };

    // Builds the table from one code length per symbol (0 = unused). False when the lengths
    // over-subscribe the code space or exceed 15; an incomplete code is accepted, and input
    // that falls into its unused part decodes as kInvalid.
    bool Build(std::span<const uint8_t> lengths);

    // Decodes the next symbol from `bits` (`available` valid bits, least significant first).
    // kSymbol sets `symbol` and `length` (bits to consume); kNeedMore when the code runs past
    // the available bits; kInvalid when the bits start no code of this table.
    Lookup Decode(uint64_t bits, int available, uint16_t& symbol, int& length) const;

    // The same for a caller that holds at least 15 bits: the symbol and its code length, or a
    // length of 0 when the bits start no code of this (built) table.
    struct Hit {
        uint16_t symbol;
        uint8_t length;
    };
    Hit DecodeFull(uint64_t bits) const {
        const Entry* e = &entries_[bits & ((1u << rootBits_) - 1)];
        if (e->kind == kLink) {
            e = &entries_[e->value + ((bits >> rootBits_) & ((1u << e->length) - 1))];
        }
        return e->kind == kSymbolEntry ? Hit{e->value, e->length} : Hit{0, 0};
    }

private:
    // An entry is a symbol with its code length, a link to a second-level table (first level
    // only), or nothing.
    struct Entry {
        uint16_t value = 0;  // symbol, or offset of the second-level table in entries_
        uint8_t length = 0;  // code length for a symbol; index bits for a link
        uint8_t kind = 0;    // kEmpty, kSymbolEntry, kLink
    };
    static constexpr uint8_t kEmpty = 0;
    static constexpr uint8_t kSymbolEntry = 1;
    static constexpr uint8_t kLink = 2;

    std::vector<Entry> entries_;  // the first level, then every second-level table
    int longest_ = 0;             // the longest code of the table
    int rootBits_ = kRootBits;    // index bits of the first level: kRootBits or the longest code
};

}  // namespace tessan::transport
