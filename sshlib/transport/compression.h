// The compression methods a key exchange can agree on: "none", and "zlib" (the stream
// compressor and decompressor of zlib_compressor.h and zlib_decompressor.h).
#pragma once

#include <memory>
#include <string_view>

#include "sshlib/transport/zlib_compressor.h"
#include "sshlib/transport/zlib_decompressor.h"

namespace tessan::transport {

struct CompressionDescriptor {
    std::string_view name;         // the SSH-2 name offered and matched
    std::string_view displayName;  // for traces and the security information
    bool compresses;               // false for "none"

    // A fresh stream per direction, or nullptr for "none".
    std::unique_ptr<ZlibCompressor> CreateCompressor() const;
    std::unique_ptr<ZlibDecompressor> CreateDecompressor() const;
};

extern const CompressionDescriptor kCompressionNone;  // "none"
extern const CompressionDescriptor kCompressionZlib;  // "zlib", "zlib (RFC1950)"

// The descriptor named `name`, or nullptr.
const CompressionDescriptor* FindCompression(std::string_view name);

}  // namespace tessan::transport
