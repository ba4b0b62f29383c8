#include "sshlib/transport/deflate_block_writer.h"

#include <algorithm>
#include <iterator>

#include "sshlib/transport/huffman_encoder.h"

namespace tessan::transport {

using namespace deflate;

namespace {

constexpr size_t kMaxStoredChunk = 65535;
constexpr uint32_t kDynamicBlockHeader = 4;  // 3 bits: not final, type 2
constexpr int kLitLenSymbols = 286;
constexpr int kMaxCodeLength = 15;
constexpr int kMaxCodeLengthCodeLength = 7;

// The fixed codes (RFC 1951 section 3.2.6), bit-reversed for writing.
struct FixedCodes {
    uint8_t litLenLength[288];
    uint16_t litLenCode[288];
    uint8_t distanceLength[kDistanceCodes];
    uint16_t distanceCode[kDistanceCodes];
    FixedCodes() {
        for (int s = 0; s < 288; ++s)
            litLenLength[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
        CanonicalCodes(litLenLength, litLenCode);
        std::fill(std::begin(distanceLength), std::end(distanceLength), uint8_t{5});
        CanonicalCodes(distanceLength, distanceCode);
    }
};
const FixedCodes kFixed;

// A code the block is written with.
struct Code {
    const uint8_t* litLenLength;
    const uint16_t* litLenCode;
    const uint8_t* distanceLength;
    const uint16_t* distanceCode;
};

// Code lengths of a dynamic header in run-length form: symbols 0-15 are lengths, 16 repeats
// the previous length 3-6 times, 17 and 18 give 3-10 and 11-138 zeros.
struct CodeLengthRuns {
    uint8_t symbol[kLitLenSymbols + kDistanceCodes];
    uint8_t extra[kLitLenSymbols + kDistanceCodes];
    size_t count = 0;
    uint32_t counts[kCodeLengthCodes] = {};

    void Add(uint8_t s, uint8_t e) {
        symbol[count] = s;
        extra[count++] = e;
        ++counts[s];
    }

    explicit CodeLengthRuns(const uint8_t* lengths, size_t total) {
        for (size_t i = 0; i < total;) {
            const uint8_t value = lengths[i];
            size_t run = 1;
            while (i + run < total && lengths[i + run] == value)
                ++run;
            i += run;
            if (value == 0) {
                for (; run >= 11; run -= std::min<size_t>(run, 138))
                    Add(18, static_cast<uint8_t>(std::min<size_t>(run, 138) - 11));
                if (run >= 3) {
                    Add(17, static_cast<uint8_t>(run - 3));
                    run = 0;
                }
            } else {
                Add(value, 0);
                --run;
                for (; run >= 3; run -= std::min<size_t>(run, 6))
                    Add(16, static_cast<uint8_t>(std::min<size_t>(run, 6) - 3));
            }
            for (; run > 0; --run)
                Add(value, 0);
        }
    }
};

constexpr uint8_t kRunExtraBits[kCodeLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                     0, 0, 0, 0, 0, 0, 2, 3, 7};

// A code made for the block from its symbol counts.
struct DynamicCode {
    uint8_t litLenLength[kLitLenSymbols] = {};
    uint16_t litLenCode[kLitLenSymbols] = {};
    uint8_t distanceLength[kDistanceCodes] = {};
    uint16_t distanceCode[kDistanceCodes] = {};
    // The header sends lengths up to the last one in use (at least 257 and 1).
    size_t litLenCount = kLitLenSymbols, distanceCount = kDistanceCodes;

    explicit DynamicCode(const DeflateSymbols& symbols) {
        BuildCodeLengths(symbols.litLenCounts, kMaxCodeLength, litLenLength);
        BuildCodeLengths(symbols.distanceCounts, kMaxCodeLength, distanceLength);
        CanonicalCodes(litLenLength, litLenCode);
        CanonicalCodes(distanceLength, distanceCode);
        while (litLenCount > 257 && litLenLength[litLenCount - 1] == 0)
            --litLenCount;
        while (distanceCount > 1 && distanceLength[distanceCount - 1] == 0)
            --distanceCount;
    }
};

uint64_t DataCost(const DeflateSymbols& symbols, const uint8_t* litLenLength,
                  const uint8_t* distanceLength) {
    uint64_t bits = 0;
    for (int s = 0; s < kLitLenSymbols; ++s)
        bits += uint64_t{symbols.litLenCounts[s]} * litLenLength[s];
    for (int d = 0; d < kDistanceCodes; ++d)
        bits += uint64_t{symbols.distanceCounts[d]} * distanceLength[d];
    return bits;
}

uint64_t ExtraBitsCost(const DeflateSymbols& symbols) {
    uint64_t bits = 0;
    for (int l = 0; l < kLengthCodes; ++l)
        bits += uint64_t{symbols.litLenCounts[257 + l]} * kLengthExtra[l];
    for (int d = 0; d < kDistanceCodes; ++d)
        bits += uint64_t{symbols.distanceCounts[d]} * kDistanceExtra[d];
    return bits;
}

void WriteSymbols(const DeflateSymbols& symbols, const Code& code, DeflateBitWriter& writer) {
    for (size_t i = 0; i < symbols.count; ++i) {
        const uint32_t value = symbols.litLen[i];
        const uint32_t distance = symbols.distance[i];
        if (distance == 0) {
            writer.Put(code.litLenCode[value], code.litLenLength[value]);
            continue;
        }
        const int l = LengthCode(value);
        writer.Put(code.litLenCode[257 + l], code.litLenLength[257 + l]);
        writer.Put(value - kLengthBase[l], kLengthExtra[l]);
        const int d = DistanceCode(distance);
        writer.Put(code.distanceCode[d], code.distanceLength[d]);
        writer.Put(distance - kDistanceBase[d], kDistanceExtra[d]);
    }
    writer.Put(code.litLenCode[kEndOfBlock], code.litLenLength[kEndOfBlock]);
}

}  // namespace

uint64_t StoredBlocksCost(size_t length, int pendingBits) {
    uint64_t bits = 0;
    int position = pendingBits % 8;
    size_t left = length;
    do {
        const size_t chunk = std::min(left, kMaxStoredChunk);
        const int header = 3 + (8 - (position + 3) % 8) % 8;
        bits += static_cast<uint64_t>(header) + 32 + 8 * uint64_t{chunk};
        position = 0;
        left -= chunk;
    } while (left > 0);
    return bits;
}

void WriteStoredBlocks(const uint8_t* raw, size_t length, DeflateBitWriter& writer) {
    writer.Reserve(StoredBlocksCost(length, writer.PendingBits()) / 8 + 1);
    size_t offset = 0;
    do {
        const size_t chunk = std::min(length - offset, kMaxStoredChunk);
        writer.Put(kStoredBlockHeader, 3);
        writer.AlignToByte();
        writer.Put(static_cast<uint32_t>(chunk), 16);
        writer.Put(static_cast<uint32_t>(~chunk & 0xFFFF), 16);
        writer.PutBytes(raw + offset, chunk);
        offset += chunk;
    } while (offset < length);
}

bool WriteDeflateBlock(const DeflateSymbols& symbols, const uint8_t* raw, size_t length,
                       DeflateBitWriter& writer) {
    const uint64_t extra = ExtraBitsCost(symbols);
    const uint64_t fixedCost =
        3 + DataCost(symbols, kFixed.litLenLength, kFixed.distanceLength) + extra;
    const DynamicCode dynamic(symbols);
    // The two alphabets' lengths go out as one sequence.
    uint8_t sequence[kLitLenSymbols + kDistanceCodes];
    std::copy(dynamic.litLenLength, dynamic.litLenLength + dynamic.litLenCount, sequence);
    std::copy(dynamic.distanceLength, dynamic.distanceLength + dynamic.distanceCount,
              sequence + dynamic.litLenCount);
    const CodeLengthRuns runs(sequence, dynamic.litLenCount + dynamic.distanceCount);
    uint8_t runLengths[kCodeLengthCodes];
    BuildCodeLengths(runs.counts, kMaxCodeLengthCodeLength, runLengths);
    uint16_t runCodes[kCodeLengthCodes];
    CanonicalCodes(runLengths, runCodes);
    size_t runLengthCount = kCodeLengthCodes;
    while (runLengthCount > 4 && runLengths[kCodeLengthOrder[runLengthCount - 1]] == 0)
        --runLengthCount;
    uint64_t headerCost = 3 + 5 + 5 + 4 + 3 * runLengthCount;
    for (int s = 0; s < kCodeLengthCodes; ++s)
        headerCost += uint64_t{runs.counts[s]} * (runLengths[s] + kRunExtraBits[s]);
    const uint64_t dynamicCost =
        headerCost + DataCost(symbols, dynamic.litLenLength, dynamic.distanceLength) + extra;
    const uint64_t storedCost = StoredBlocksCost(length, writer.PendingBits());

    if (storedCost <= std::min(fixedCost, dynamicCost)) {
        WriteStoredBlocks(raw, length, writer);
        return true;
    }
    writer.Reserve(std::min(fixedCost, dynamicCost) / 8 + 8);
    if (fixedCost <= dynamicCost) {
        writer.Put(kFixedBlockHeader, 3);
        WriteSymbols(
            symbols,
            {kFixed.litLenLength, kFixed.litLenCode, kFixed.distanceLength, kFixed.distanceCode},
            writer);
        return false;
    }
    writer.Put(kDynamicBlockHeader, 3);
    writer.Put(static_cast<uint32_t>(dynamic.litLenCount - 257), 5);
    writer.Put(static_cast<uint32_t>(dynamic.distanceCount - 1), 5);
    writer.Put(static_cast<uint32_t>(runLengthCount - 4), 4);
    for (size_t i = 0; i < runLengthCount; ++i)
        writer.Put(runLengths[kCodeLengthOrder[i]], 3);
    for (size_t i = 0; i < runs.count; ++i) {
        const uint8_t s = runs.symbol[i];
        writer.Put(runCodes[s], runLengths[s]);
        writer.Put(runs.extra[i], kRunExtraBits[s]);
    }
    WriteSymbols(
        symbols,
        {dynamic.litLenLength, dynamic.litLenCode, dynamic.distanceLength, dynamic.distanceCode},
        writer);
    return false;
}

}  // namespace tessan::transport
