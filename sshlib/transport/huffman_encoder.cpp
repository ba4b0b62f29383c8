#include "sshlib/transport/huffman_encoder.h"

#include <algorithm>
#include <cassert>

namespace tessan::transport {
namespace {

constexpr size_t kMaxSymbols = 288;
constexpr int kMaxBits = 15;

// Depths of an unlimited Huffman tree over `count` leaves sorted by ascending weight (two-queue
// construction: merged nodes come out in ascending weight too, so the two lightest are always at
// the front of one of the two queues). Returns the greatest depth.
int TreeDepths(const uint32_t* weights, size_t count, uint8_t* depths) {
    if (count == 1) {
        depths[0] = 1;
        return 1;
    }
    // Nodes 0..count-1 are the leaves, count.. the merged nodes in order of creation.
    uint64_t weight[2 * kMaxSymbols];
    uint16_t parent[2 * kMaxSymbols];
    for (size_t i = 0; i < count; ++i)
        weight[i] = weights[i];
    size_t nextLeaf = 0, nextMerged = count, made = count;
    auto takeLightest = [&]() {
        if (nextLeaf < count && (nextMerged == made || weight[nextLeaf] <= weight[nextMerged]))
            return nextLeaf++;
        return nextMerged++;
    };
    while (made < 2 * count - 1) {
        size_t a = takeLightest();
        size_t b = takeLightest();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = static_cast<uint16_t>(made);
        ++made;
    }
    // The root is the last node made; every other node was made after its children.
    uint8_t nodeDepth[2 * kMaxSymbols];
    nodeDepth[made - 1] = 0;
    int deepest = 0;
    for (size_t n = made - 1; n-- > 0;) {
        nodeDepth[n] = static_cast<uint8_t>(nodeDepth[parent[n]] + 1);
        if (n < count) {
            depths[n] = nodeDepth[n];
            deepest = std::max<int>(deepest, depths[n]);
        }
    }
    return deepest;
}

}  // namespace

void BuildCodeLengths(std::span<const uint32_t> counts, int limit, std::span<uint8_t> lengths) {
    assert(counts.size() <= kMaxSymbols && lengths.size() >= counts.size() && limit <= kMaxBits);
    std::fill(lengths.begin(), lengths.end(), uint8_t{0});
    uint16_t symbols[kMaxSymbols];
    uint32_t weights[kMaxSymbols];
    size_t used = 0;
    for (size_t s = 0; s < counts.size(); ++s) {
        if (counts[s]) symbols[used++] = static_cast<uint16_t>(s);
    }
    if (used < 2) {
        const uint16_t only = used ? symbols[0] : 0;
        lengths[only] = 1;
        lengths[only == 0 ? 1 : 0] = 1;
        return;
    }
    std::sort(symbols, symbols + used, [&](uint16_t a, uint16_t b) {
        return counts[a] != counts[b] ? counts[a] < counts[b] : a < b;
    });
    for (size_t i = 0; i < used; ++i)
        weights[i] = counts[symbols[i]];
    uint8_t depths[kMaxSymbols];
    // Too deep a tree comes from very uneven counts: halving them (keeping each at least 1)
    // evens them out, and with all counts equal the depth is at most 9 for 288 symbols.
    while (TreeDepths(weights, used, depths) > limit) {
        for (size_t i = 0; i < used; ++i)
            weights[i] = (weights[i] + 1) / 2;
    }
    for (size_t i = 0; i < used; ++i)
        lengths[symbols[i]] = depths[i];
}

void CanonicalCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes) {
    uint16_t perLength[kMaxBits + 1] = {};
    for (uint8_t l : lengths)
        ++perLength[l];
    perLength[0] = 0;
    uint16_t next[kMaxBits + 1] = {};
    uint32_t code = 0;
    for (int l = 1; l <= kMaxBits; ++l) {
        code = (code + perLength[l - 1]) << 1;
        next[l] = static_cast<uint16_t>(code);
    }
    for (size_t s = 0; s < lengths.size(); ++s) {
        const int l = lengths[s];
        if (l == 0) {
            codes[s] = 0;
            continue;
        }
        uint32_t c = next[l]++, reversed = 0;
        for (int i = 0; i < l; ++i, c >>= 1)
            reversed = (reversed << 1) | (c & 1);
        codes[s] = static_cast<uint16_t>(reversed);
    }
}

}  // namespace tessan::transport
