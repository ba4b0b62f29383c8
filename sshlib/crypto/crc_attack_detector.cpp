#include "crypto/crc_attack_detector.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "crypto/crc32.h"

namespace tessan::crypto {
namespace {

constexpr size_t kBlock = 8;

// The linear register after `length` zero bytes from `state`.
uint32_t AdvanceZeros(uint32_t state, size_t length) {
    static constexpr uint8_t kZeros[kBlock] = {};
    for (; length >= kBlock; length -= kBlock)
        state = ~Crc32(~state, kZeros, kBlock);
    return length ? ~Crc32(~state, kZeros, length) : state;
}

}  // namespace

uint32_t Ssh1Crc32(const uint8_t* data, size_t length) {
    return ~Crc32(0xFFFFFFFFu, data, length);
}

bool CompensationAttackDetected(const uint8_t* data, size_t length, const uint8_t chaining[8]) {
    const size_t blocks = length / kBlock;
    // Slot 0 is the chaining value, slot i + 1 the packet's block i.
    std::vector<std::pair<uint64_t, uint32_t>> slots(blocks + 1);
    std::memcpy(&slots[0].first, chaining, kBlock);
    slots[0].second = 0;
    for (size_t i = 0; i < blocks; ++i) {
        std::memcpy(&slots[i + 1].first, data + i * kBlock, kBlock);
        slots[i + 1].second = static_cast<uint32_t>(i + 1);
    }
    std::sort(slots.begin(), slots.end());

    // contribution[d]: the CRC of a block holding a single one bit followed by d zero blocks,
    // the term a copy of S adds when d blocks follow it. Made only when some value repeats.
    std::vector<uint32_t> contribution;
    for (size_t start = 0; start < slots.size();) {
        size_t end = start + 1;
        while (end < slots.size() && slots[end].first == slots[start].first)
            ++end;
        if (end - start >= 2) {
            if (contribution.empty()) {
                contribution.resize(blocks + 1);
                static constexpr uint8_t kOne[kBlock] = {1};
                contribution[0] = Ssh1Crc32(kOne, kBlock);
                for (size_t d = 1; d <= blocks; ++d)
                    contribution[d] = AdvanceZeros(contribution[d - 1], kBlock);
            }
            uint32_t sum = 0;
            for (size_t i = start; i < end; ++i)
                sum ^= contribution[blocks - slots[i].second];
            if (sum == 0) return true;
        }
        start = end;
    }
    return false;
}

}  // namespace tessan::crypto
