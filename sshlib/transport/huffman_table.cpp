#include "sshlib/transport/huffman_table.h"

#include <algorithm>

namespace tessan::transport {
namespace {

struct ByteReversal {
    uint8_t table[256];
    ByteReversal() {
        for (int b = 0; b < 256; ++b) {
            int r = 0;
            for (int i = 0; i < 8; ++i)
                r |= ((b >> i) & 1) << (7 - i);
            table[b] = static_cast<uint8_t>(r);
        }
    }
};
const ByteReversal kReversed;

// The low `length` bits of `code` (at most 16) in reverse order.
uint32_t Reverse(uint32_t code, int length) {
    const uint32_t r16 =
        (uint32_t{kReversed.table[code & 0xFF]} << 8) | kReversed.table[code >> 8 & 0xFF];
    return r16 >> (16 - length);
}

}  // namespace

bool HuffmanTable::Build(std::span<const uint8_t> lengths) {
    constexpr size_t kRootLimit = size_t{1} << kRootBits;
    uint16_t count[kMaxCodeLength + 1] = {};
    for (uint8_t l : lengths) {
        if (l > kMaxCodeLength) return false;
        ++count[l];
    }
    count[0] = 0;
    longest_ = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        if (count[l]) longest_ = l;
    }
    // A table of short codes needs no more index bits than its longest code.
    rootBits_ = std::max(1, std::min(kRootBits, longest_));
    const uint32_t rootSize = 1u << rootBits_;
    int left = 1;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        left = (left << 1) - count[l];
        if (left < 0) return false;  // over-subscribed
    }
    uint32_t next[kMaxCodeLength + 2] = {};
    uint32_t code = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }

    // Codes in least-significant-first order, and the longest code behind each root prefix.
    if (lengths.size() > kMaxSymbols) return false;
    uint32_t reversed[kMaxSymbols] = {};
    uint8_t longest[kRootLimit] = {};
    for (size_t s = 0; s < lengths.size(); ++s) {
        int l = lengths[s];
        if (l == 0) continue;
        reversed[s] = Reverse(next[l]++, l);
        if (l > rootBits_) {
            uint32_t prefix = reversed[s] & (rootSize - 1);
            if (l > longest[prefix]) longest[prefix] = static_cast<uint8_t>(l);
        }
    }

    entries_.assign(rootSize, Entry{});
    for (uint32_t prefix = 0; prefix < rootSize; ++prefix) {
        if (longest[prefix] == 0) continue;
        int subBits = longest[prefix] - rootBits_;
        entries_[prefix] = {static_cast<uint16_t>(entries_.size()), static_cast<uint8_t>(subBits),
                            kLink};
        entries_.resize(entries_.size() + (size_t{1} << subBits));
    }
    for (size_t s = 0; s < lengths.size(); ++s) {
        int l = lengths[s];
        if (l == 0) continue;
        Entry symbol{static_cast<uint16_t>(s), static_cast<uint8_t>(l), kSymbolEntry};
        if (l <= rootBits_) {
            for (uint32_t i = reversed[s]; i < rootSize; i += 1u << l)
                entries_[i] = symbol;
        } else {
            const Entry& link = entries_[reversed[s] & (rootSize - 1)];
            uint32_t subSize = 1u << link.length;
            uint32_t rest = reversed[s] >> rootBits_;
            int restLength = l - rootBits_;
            for (uint32_t i = rest; i < subSize; i += 1u << restLength) {
                entries_[link.value + i] = symbol;
            }
        }
    }
    return true;
}

HuffmanTable::Lookup HuffmanTable::Decode(uint64_t bits, int available, uint16_t& symbol,
                                          int& length) const {
    const uint32_t rootMask = (1u << rootBits_) - 1;
    if (entries_.empty()) return Lookup::kInvalid;
    const Entry& root = entries_[bits & rootMask];
    if (root.kind == kSymbolEntry) {
        if (root.length > available) return Lookup::kNeedMore;
        symbol = root.value;
        length = root.length;
        return Lookup::kSymbol;
    }
    // Missing bits read as zero: an empty root entry is certain once as many bits as the
    // longest code (or the whole index) are present, a link once the whole index is.
    if (root.kind == kEmpty) {
        return available >= std::min(longest_, rootBits_) ? Lookup::kInvalid : Lookup::kNeedMore;
    }
    if (available < rootBits_) return Lookup::kNeedMore;
    uint32_t subIndex = static_cast<uint32_t>(bits >> rootBits_) & ((1u << root.length) - 1);
    const Entry& sub = entries_[root.value + subIndex];
    if (sub.kind == kSymbolEntry) {
        if (sub.length > available) return Lookup::kNeedMore;
        symbol = sub.value;
        length = sub.length;
        return Lookup::kSymbol;
    }
    if (available < rootBits_ + root.length) return Lookup::kNeedMore;
    return Lookup::kInvalid;
}

}  // namespace tessan::transport
