// The decompressor of the "zlib" method: decodes one endless zlib stream whose bytes arrive in
// pieces (one packet payload at a time, split anywhere, even inside a code). The stream is never
// finished: a final-block flag is ignored and no Adler-32 trailer is expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sshlib/transport/huffman_table.h"

namespace tessan::transport {

class ZlibDecompressor {
public:
    ZlibDecompressor();

    // Decodes `length` more bytes of the stream, appending what they complete to `out`. False
    // when the stream is malformed (bad header, block type 3, a code outside the tables, a
    // back-reference before the start of the data, stored-block lengths that disagree) or when
    // this call would append more than `maxOutput` bytes; after a failure every call fails.
    bool Decompress(const uint8_t* input, size_t length, std::vector<uint8_t>& out,
                    size_t maxOutput);

private:
    enum class State {
        kZlibHeader,
        kBlockHeader,
        kDynamicHeader,
        kCodeLengthCodes,
        kCodeLengths,
        kCodeLengthRepeat,
        kInBlock,
        kLengthExtra,
        kDistanceSymbol,
        kDistanceExtra,
        kStoredLength,
        kStoredComplement,
        kStoredData,
        kFailed,
    };

    bool Need(int count);
    uint32_t Take(int count);
    void Refill();
    // Makes room in *out_ for `count` more bytes past outEnd_.
    void Room(size_t count) {
        if (outEnd_ + count > out_->size()) Grow(count);
    }
    void Grow(size_t count);
    void Emit(uint8_t byte) {
        Room(1);
        (*out_)[outEnd_++] = byte;
    }
    bool CopyMatch(uint32_t distance, uint32_t length);
    void SaveWindow();
    enum class Step { kContinue, kWait, kFail };
    Step Run();
    Step DecodeFast();
    Step DecodeSymbol(const HuffmanTable& table, uint16_t& symbol);
    Step ReadCodeLengths();
    Step CopyStored();

    State state_ = State::kZlibHeader;
    HuffmanTable fixedLiterals_, fixedDistances_;
    HuffmanTable dynamicLiterals_, dynamicDistances_, codeLengthTable_;
    const HuffmanTable* literals_ = nullptr;
    const HuffmanTable* distances_ = nullptr;

    // The last 32 KiB decoded before the current call, as a ring; matches into the current
    // call's own output copy from *out_ directly.
    uint8_t window_[32768] = {};
    uint32_t windowPosition_ = 0;
    uint64_t produced_ = 0;  // bytes decoded before the current call since the stream began

    uint64_t bits_ = 0;
    int bitCount_ = 0;
    const uint8_t* input_ = nullptr;
    size_t inputLength_ = 0;
    size_t inputPosition_ = 0;
    // The current call appends to *out_ from callStart_; outEnd_ is the end of what it decoded
    // (the vector may be longer: room made ahead, trimmed when the call returns).
    std::vector<uint8_t>* out_ = nullptr;
    size_t callStart_ = 0;
    size_t outEnd_ = 0;
    size_t outLimit_ = 0;  // outEnd_ may not pass this

    uint32_t length_ = 0;  // of the pending match
    uint16_t lengthSymbol_ = 0;
    uint16_t distanceSymbol_ = 0;
    uint32_t storedLength_ = 0;
    // Dynamic header.
    uint32_t literalCount_ = 0, distanceCount_ = 0, codeLengthCount_ = 0, lengthsRead_ = 0;
    uint16_t repeatSymbol_ = 0;
    uint8_t lastLength_ = 0;
    uint8_t codeLengthLengths_[19] = {};
    uint8_t lengths_[288 + 32] = {};
};

}  // namespace tessan::transport
