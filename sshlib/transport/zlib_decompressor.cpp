#include "sshlib/transport/zlib_decompressor.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "sshlib/transport/deflate_codes.h"

namespace tessan::transport {

using namespace deflate;

namespace {
constexpr size_t kMaxMatch = 258;
}  // namespace

ZlibDecompressor::ZlibDecompressor() {
    uint8_t lengths[288];
    for (int s = 0; s < 288; ++s)
        lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    fixedLiterals_.Build(lengths);
    uint8_t distances[kDistanceCodes];
    std::fill(std::begin(distances), std::end(distances), uint8_t{5});
    fixedDistances_.Build(distances);
}

bool ZlibDecompressor::Need(int count) {
    while (bitCount_ < count && inputPosition_ < inputLength_) {
        bits_ |= static_cast<uint64_t>(input_[inputPosition_++]) << bitCount_;
        bitCount_ += 8;
    }
    return bitCount_ >= count;
}

// Tops the bit buffer up to at least 56 bits from eight input bytes at once (the caller makes
// sure eight are left). Bits above bitCount_ then hold the start of the next unread byte, the
// same bits a later refill or Need puts there.
void ZlibDecompressor::Refill() {
    uint64_t word;
    std::memcpy(&word, input_ + inputPosition_, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    bits_ |= word << bitCount_;
    inputPosition_ += static_cast<size_t>(63 - bitCount_) >> 3;
    bitCount_ |= 56;
}

void ZlibDecompressor::Grow(size_t count) {
    // Room ahead as much as this call has decoded so far (4 KiB at first), so that resizing is
    // rare for a large packet and a small one zero-fills little; never far beyond the limit.
    const size_t step = std::max<size_t>(4096, outEnd_ - callStart_);
    const size_t wanted = std::max(outEnd_ + count, std::min(outLimit_, outEnd_ + step));
    out_->resize(wanted);
}

// Appends `length` bytes copied from `distance` back; false when that reaches before the start
// of the stream or past the output limit. Source and destination may overlap: then each byte
// repeats the one `distance` before it.
bool ZlibDecompressor::CopyMatch(uint32_t distance, uint32_t length) {
    const size_t inCall = outEnd_ - callStart_;
    if (distance > produced_ + inCall || distance > kWindowSize) return false;
    if (outEnd_ + length > outLimit_) return false;
    Room(length);
    uint8_t* to = out_->data() + outEnd_;
    outEnd_ += length;
    uint32_t i = 0;
    if (distance > inCall) {
        // The first bytes come from before this call, out of the window ring.
        const uint32_t before = static_cast<uint32_t>(distance - inCall);
        for (; i < length && i < before; ++i)
            to[i] = window_[(windowPosition_ - before + i) & kWindowMask];
        if (i == length) return true;
    }
    const uint8_t* from = to - distance;
    if (distance >= length) {
        std::memcpy(to + i, from + i, length - i);
    } else {
        for (; i < length; ++i)
            to[i] = from[i];
    }
    return true;
}

// Keeps the last 32 KiB of what this call decoded for matches of later calls.
void ZlibDecompressor::SaveWindow() {
    const size_t decoded = outEnd_ - callStart_;
    if (decoded == 0) return;
    const size_t keep = std::min<size_t>(decoded, kWindowSize);
    const uint8_t* from = out_->data() + outEnd_ - keep;
    uint32_t at = static_cast<uint32_t>((windowPosition_ + decoded - keep) & kWindowMask);
    const size_t first = std::min<size_t>(keep, kWindowSize - at);
    std::memcpy(window_ + at, from, first);
    std::memcpy(window_, from + first, keep - first);
    windowPosition_ = static_cast<uint32_t>((windowPosition_ + decoded) & kWindowMask);
    produced_ += decoded;
}

uint32_t ZlibDecompressor::Take(int count) {
    uint32_t value = static_cast<uint32_t>(bits_ & ((uint64_t{1} << count) - 1));
    bits_ >>= count;
    bitCount_ -= count;
    return value;
}

ZlibDecompressor::Step ZlibDecompressor::DecodeSymbol(const HuffmanTable& table, uint16_t& symbol) {
    Need(56);  // as many bits as the input offers (a code has at most 15)
    int length = 0;
    switch (table.Decode(bits_, bitCount_, symbol, length)) {
        case HuffmanTable::Lookup::kSymbol:
            Take(length);
            return Step::kContinue;
        case HuffmanTable::Lookup::kNeedMore:
            return Step::kWait;
        case HuffmanTable::Lookup::kInvalid:
            return Step::kFail;
    }
    return Step::kFail;
}

bool ZlibDecompressor::Decompress(const uint8_t* input, size_t length, std::vector<uint8_t>& out,
                                  size_t maxOutput) {
    if (state_ == State::kFailed) return false;
    input_ = input;
    inputLength_ = length;
    inputPosition_ = 0;
    out_ = &out;
    callStart_ = outEnd_ = out.size();
    outLimit_ = out.size() + std::min(maxOutput, SIZE_MAX - out.size());
    Step step;
    do {
        step = Run();
    } while (step == Step::kContinue);
    out.resize(outEnd_);
    SaveWindow();
    // Only whole bytes of input are read ahead; bits above the count are zero between calls.
    if (bitCount_ < 64) bits_ &= (uint64_t{1} << bitCount_) - 1;
    input_ = nullptr;
    out_ = nullptr;
    if (step == Step::kFail) {
        state_ = State::kFailed;
        return false;
    }
    return true;
}

// One step of the block decoder. kWait: the input is used up in the middle of a field (the
// state is kept and decoding resumes with the next call).
ZlibDecompressor::Step ZlibDecompressor::Run() {
    switch (state_) {
        case State::kZlibHeader: {
            if (!Need(16)) return Step::kWait;
            uint32_t cmf = Take(8);
            uint32_t flg = Take(8);
            bool ok = (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0 &&
                      ((cmf << 8) | flg) % 31 == 0;
            if (!ok) return Step::kFail;
            state_ = State::kBlockHeader;
            return Step::kContinue;
        }
        case State::kBlockHeader: {
            if (!Need(3)) return Step::kWait;
            Take(1);  // the final-block flag: the stream never ends
            uint32_t type = Take(2);
            if (type == 0) {
                Take(bitCount_ % 8);
                state_ = State::kStoredLength;
            } else if (type == 1) {
                literals_ = &fixedLiterals_;
                distances_ = &fixedDistances_;
                state_ = State::kInBlock;
            } else if (type == 2) {
                state_ = State::kDynamicHeader;
            } else {
                return Step::kFail;
            }
            return Step::kContinue;
        }
        case State::kDynamicHeader: {
            if (!Need(14)) return Step::kWait;
            literalCount_ = Take(5) + 257;
            distanceCount_ = Take(5) + 1;
            codeLengthCount_ = Take(4) + 4;
            lengthsRead_ = 0;
            std::fill(std::begin(codeLengthLengths_), std::end(codeLengthLengths_), uint8_t{0});
            state_ = State::kCodeLengthCodes;
            return Step::kContinue;
        }
        case State::kCodeLengthCodes: {
            while (lengthsRead_ < codeLengthCount_) {
                if (!Need(3)) return Step::kWait;
                codeLengthLengths_[kCodeLengthOrder[lengthsRead_++]] =
                    static_cast<uint8_t>(Take(3));
            }
            if (!codeLengthTable_.Build(codeLengthLengths_)) return Step::kFail;
            lengthsRead_ = 0;
            lastLength_ = 0;
            state_ = State::kCodeLengths;
            return Step::kContinue;
        }
        case State::kCodeLengths:
        case State::kCodeLengthRepeat:
            return ReadCodeLengths();
        case State::kInBlock: {
            if (inputLength_ - inputPosition_ >= 8) return DecodeFast();
            uint16_t symbol;
            Step step = DecodeSymbol(*literals_, symbol);
            if (step != Step::kContinue) return step;
            if (symbol < 256) {
                if (outEnd_ >= outLimit_) return Step::kFail;
                Emit(static_cast<uint8_t>(symbol));
            } else if (symbol == kEndOfBlock) {
                state_ = State::kBlockHeader;
            } else if (symbol <= 285) {
                lengthSymbol_ = symbol;
                state_ = State::kLengthExtra;
            }
            // 286 and 287 are not lengths; they are passed over.
            return Step::kContinue;
        }
        case State::kLengthExtra: {
            int index = lengthSymbol_ - 257;
            int extra = kLengthExtra[index];
            if (!Need(extra)) return Step::kWait;
            length_ = kLengthBase[index] + (extra ? Take(extra) : 0);
            state_ = State::kDistanceSymbol;
            return Step::kContinue;
        }
        case State::kDistanceSymbol: {
            Step step = DecodeSymbol(*distances_, distanceSymbol_);
            if (step != Step::kContinue) return step;
            if (distanceSymbol_ >= kDistanceCodes) return Step::kFail;
            state_ = State::kDistanceExtra;
            return Step::kContinue;
        }
        case State::kDistanceExtra: {
            int extra = kDistanceExtra[distanceSymbol_];
            if (!Need(extra)) return Step::kWait;
            uint32_t distance = kDistanceBase[distanceSymbol_] + (extra ? Take(extra) : 0);
            if (!CopyMatch(distance, length_)) return Step::kFail;
            state_ = State::kInBlock;
            return Step::kContinue;
        }
        case State::kStoredLength:
            if (!Need(16)) return Step::kWait;
            storedLength_ = Take(16);
            state_ = State::kStoredComplement;
            return Step::kContinue;
        case State::kStoredComplement:
            if (!Need(16)) return Step::kWait;
            if (Take(16) != (~storedLength_ & 0xFFFF)) return Step::kFail;
            state_ = storedLength_ ? State::kStoredData : State::kBlockHeader;
            return Step::kContinue;
        case State::kStoredData:
            return CopyStored();
        case State::kFailed:
            return Step::kFail;
    }
    return Step::kFail;
}

// Decodes symbols of a Huffman-coded block while at least eight input bytes are left, so that
// one refill covers a whole literal or match (at most 15 + 5 + 15 + 13 bits).
ZlibDecompressor::Step ZlibDecompressor::DecodeFast() {
    const HuffmanTable& literals = *literals_;
    const HuffmanTable& distances = *distances_;
    while (inputLength_ - inputPosition_ >= 8) {
        // Room for the longest match and the overrun of copying it eight bytes at a time.
        Room(kMaxMatch + 8);
        uint8_t* const out = out_->data();
        Refill();
        const HuffmanTable::Hit hit = literals.DecodeFull(bits_);
        if (hit.length == 0) return Step::kFail;
        Take(hit.length);
        const uint32_t symbol = hit.symbol;
        if (symbol < 256) {
            if (outEnd_ >= outLimit_) return Step::kFail;
            out[outEnd_++] = static_cast<uint8_t>(symbol);
            continue;
        }
        if (symbol == kEndOfBlock) {
            state_ = State::kBlockHeader;
            return Step::kContinue;
        }
        if (symbol > 285) continue;  // 286 and 287 are not lengths; they are passed over
        const int index = static_cast<int>(symbol) - 257;
        const uint32_t length = kLengthBase[index] + Take(kLengthExtra[index]);
        const HuffmanTable::Hit code = distances.DecodeFull(bits_);
        if (code.length == 0 || code.symbol >= kDistanceCodes) return Step::kFail;
        Take(code.length);
        const uint32_t distance = kDistanceBase[code.symbol] + Take(kDistanceExtra[code.symbol]);
        if (distance >= 8 && distance <= outEnd_ - callStart_ && outEnd_ + length <= outLimit_) {
            // Eight bytes at a time: each word's source ends before the word, so repeats of a
            // short pattern come out right; the overrun past the match is written over later.
            uint8_t* to = out + outEnd_;
            for (uint32_t i = 0; i < length; i += 8)
                std::memcpy(to + i, to + i - distance, 8);
            outEnd_ += length;
        } else if (!CopyMatch(distance, length)) {
            return Step::kFail;
        }
    }
    return Step::kContinue;
}

// Copies a stored block's bytes: first those already in the bit buffer, then straight from the
// input.
ZlibDecompressor::Step ZlibDecompressor::CopyStored() {
    while (storedLength_ > 0 && bitCount_ >= 8) {
        if (outEnd_ >= outLimit_) return Step::kFail;
        Emit(static_cast<uint8_t>(Take(8)));
        --storedLength_;
    }
    if (storedLength_ > 0) {
        bits_ = 0;  // what was read ahead is the input that follows, copied below
        const size_t count = std::min<size_t>(storedLength_, inputLength_ - inputPosition_);
        if (outEnd_ + count > outLimit_) return Step::kFail;
        if (count == 0) return Step::kWait;
        Room(count);
        std::memcpy(out_->data() + outEnd_, input_ + inputPosition_, count);
        outEnd_ += count;
        inputPosition_ += count;
        storedLength_ -= static_cast<uint32_t>(count);
        if (storedLength_ > 0) return Step::kWait;
    }
    state_ = State::kBlockHeader;
    return Step::kContinue;
}

// Reads the literal/length and distance code lengths of a dynamic block header, with the
// repeat codes 16 (previous length 3-6 times), 17 (zero 3-10 times) and 18 (zero 11-138 times).
ZlibDecompressor::Step ZlibDecompressor::ReadCodeLengths() {
    uint32_t total = literalCount_ + distanceCount_;
    while (lengthsRead_ < total) {
        if (state_ == State::kCodeLengths) {
            Step step = DecodeSymbol(codeLengthTable_, repeatSymbol_);
            if (step != Step::kContinue) return step;
            if (repeatSymbol_ < 16) {
                lastLength_ = static_cast<uint8_t>(repeatSymbol_);
                lengths_[lengthsRead_++] = lastLength_;
                continue;
            }
            if (repeatSymbol_ == 16 && lengthsRead_ == 0) return Step::kFail;
            state_ = State::kCodeLengthRepeat;
        }
        int extra = repeatSymbol_ == 16 ? 2 : repeatSymbol_ == 17 ? 3 : 7;
        if (!Need(extra)) return Step::kWait;
        uint32_t base = repeatSymbol_ == 16 ? 3 : repeatSymbol_ == 17 ? 3 : 11;
        uint32_t count = base + Take(extra);
        uint8_t value = repeatSymbol_ == 16 ? lastLength_ : 0;
        if (lengthsRead_ + count > total) return Step::kFail;
        for (uint32_t i = 0; i < count; ++i)
            lengths_[lengthsRead_++] = value;
        if (repeatSymbol_ != 16) lastLength_ = 0;
        state_ = State::kCodeLengths;
    }
    // A block that cannot end is malformed.
    if (lengths_[kEndOfBlock] == 0) return Step::kFail;
    if (!dynamicLiterals_.Build({lengths_, literalCount_})) return Step::kFail;
    if (!dynamicDistances_.Build({lengths_ + literalCount_, distanceCount_})) return Step::kFail;
    literals_ = &dynamicLiterals_;
    distances_ = &dynamicDistances_;
    state_ = State::kInBlock;
    return Step::kContinue;
}

}  // namespace tessan::transport
