#include "sshlib/transport/zlib_compressor.h"

#include <algorithm>

#include "crypto/secure_memory.h"
#include "sshlib/transport/deflate_block_writer.h"
#include "sshlib/transport/deflate_codes.h"
#include "sshlib/transport/deflate_matcher.h"

namespace tessan::transport {

using namespace deflate;

struct ZlibCompressor::State {
    DeflateMatcher matcher;
    DeflateSymbols symbols;
};

ZlibCompressor::ZlibCompressor() : s_(std::make_unique<State>()) {}
ZlibCompressor::~ZlibCompressor() {
    SecureWipe(s_.get(), sizeof(State));
}

void ZlibCompressor::Compress(const uint8_t* input, size_t length, std::vector<uint8_t>& out) {
    writer_.Attach(out);
    if (!headerWritten_) {
        writer_.Reserve(2);
        writer_.Put(0x78, 8);
        writer_.Put(0x9C, 8);
        headerWritten_ = true;
    }
    if (disabled_) {
        WriteStoredBlocks(input, length, writer_);
        for (size_t at = 0; at < length; at += DeflateMatcher::kMaxPiece) {
            s_->matcher.Skip(input + at, std::min(length - at, DeflateMatcher::kMaxPiece));
        }
        disabled_ = false;
        writer_.Detach();
        return;
    }
    bool endsStored = false;
    for (size_t at = 0; at < length; at += DeflateMatcher::kMaxPiece) {
        const size_t piece = std::min(length - at, DeflateMatcher::kMaxPiece);
        s_->matcher.Match(input + at, piece, s_->symbols);
        endsStored = WriteDeflateBlock(s_->symbols, input + at, piece, writer_);
    }
    if (!endsStored) {
        // An empty fixed-code block (header, end-of-block code) pushes the end of the data
        // block out of the bits that wait for the next payload.
        writer_.Reserve(2);
        writer_.Put(kFixedBlockHeader, 3 + 7);
    }
    writer_.Detach();
}

size_t ZlibCompressor::DisableCompression() {
    disabled_ = true;
    if (!headerWritten_) return 7;
    return static_cast<size_t>((writer_.PendingBits() + 3 + 7) / 8) + 4;
}

}  // namespace tessan::transport
