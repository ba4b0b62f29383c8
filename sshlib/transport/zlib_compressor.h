// The compressor of the "zlib" method: one endless zlib stream (RFC 1950 header, RFC 1951
// deflate data) per direction. Every payload is closed off so that the peer can decode all of it
// without waiting for later data: its last block is ended and an empty fixed-code block follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sshlib/transport/deflate_bit_writer.h"

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
    // the stored-block header after the pending bits rounded up to whole bytes, plus 4.
    size_t DisableCompression();

private:
    // The window, the hash chains and the symbols of the block being made: everything that
    // holds plaintext lives in this one allocation, wiped before it is freed.
    struct State;
    std::unique_ptr<State> s_;
    DeflateBitWriter writer_;
    bool headerWritten_ = false;
    bool disabled_ = false;
};

}  // namespace tessan::transport
