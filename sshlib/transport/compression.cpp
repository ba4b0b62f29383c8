#include "sshlib/transport/compression.h"

namespace tessan::transport {

const CompressionDescriptor kCompressionNone{"none", "none", false};
const CompressionDescriptor kCompressionZlib{"zlib", "zlib (RFC1950)", true};

std::unique_ptr<ZlibCompressor> CompressionDescriptor::CreateCompressor() const {
    return compresses ? std::make_unique<ZlibCompressor>() : nullptr;
}

std::unique_ptr<ZlibDecompressor> CompressionDescriptor::CreateDecompressor() const {
    return compresses ? std::make_unique<ZlibDecompressor>() : nullptr;
}

const CompressionDescriptor* FindCompression(std::string_view name) {
    if (name == kCompressionNone.name) return &kCompressionNone;
    if (name == kCompressionZlib.name) return &kCompressionZlib;
    return nullptr;
}

}  // namespace tessan::transport
