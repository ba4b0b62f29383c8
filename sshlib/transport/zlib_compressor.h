// The compressor of the "zlib" method: one endless zlib stream (RFC 1950 header, RFC 1951
// deflate data) per direction. Every payload is closed off so that the peer can decode all of it
// without waiting for later data: the fixed-Huffman block is ended and an empty fixed block
// follows, then the next block is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/secure_memory.h"

namespace tessan::transport {

class ZlibCompressor {
public:
    ZlibCompressor();
    ~ZlibCompressor();
    ZlibCompressor(const ZlibCompressor&) = delete;
    ZlibCompressor& operator=(const ZlibCompressor&) = delete;

    // Compresses one payload and appends the bytes completed so far to `out` (bits that do not
    // fill a byte stay for the next call). The first call starts with the header 0x78 0x9C.
    void Compress(const uint8_t* input, size_t length, std::vector<uint8_t>& out);

    // The next Compress call sends its input as stored blocks, then compression resumes.
    // Returns how many bytes beyond its input length that call will append, for an input of at
    // most 65535 bytes: 7 before the first block (header and stored-block framing), otherwise
    // the end of the open block plus the stored-block header rounded up to whole bytes, plus 4.
    size_t DisableCompression();

private:
    struct State;
    void PutBits(uint32_t value, int count);
    void FlushBits(std::vector<uint8_t>& out);
    void PutLiteral(uint8_t literal);
    void PutMatch(uint32_t length, uint32_t distance);
    void StoreBlocks(const uint8_t* input, size_t length);
    void Deflate(const uint8_t* input, size_t length);
    void Consume(const uint8_t* input, size_t index, size_t length);
    void HashPending(size_t length);
    const uint8_t* At(uint64_t position) const { return history_.data() + (position - base_); }
    uint32_t FindMatch(const uint8_t* input, size_t index, size_t length, uint32_t& distance);

    std::unique_ptr<State> s_;
    // The window and the current payload as one run of bytes: history_[0] is stream position
    // base_, so a match can be compared without caring where the window ends.
    SecureBytes history_;  // plaintext: every block it gives back is wiped
    uint64_t base_ = 0;
    std::vector<uint8_t>* out_ = nullptr;
    uint64_t bits_ = 0;
    int bitCount_ = 0;
    bool headerWritten_ = false;
    bool blockOpen_ = false;
    bool disabled_ = false;
};

}  // namespace tessan::transport
