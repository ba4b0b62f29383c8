#include "sshlib/transport/packet_builder.h"

#include <algorithm>

#include "crypto/bytes.h"
#include "crypto/random_pool.h"

namespace tessan::transport {

PacketBuilder::PacketBuilder()
    : random_([](uint8_t* out, size_t length) { crypto::RandomBytes(out, length); }) {}

PacketBuilder::PacketBuilder(RandomSource random) : random_(std::move(random)) {}

PacketBuilder::~PacketBuilder() {
    SecureWipe(compressed_);
}

void PacketBuilder::SetKeys(std::unique_ptr<crypto::CipherContext> cipher, size_t blockSize,
                            bool cbc, std::unique_ptr<crypto::MacContext> mac, size_t macLength,
                            std::unique_ptr<ZlibCompressor> compressor, bool encryptThenMac) {
    cipher_ = std::move(cipher);
    blockSize_ = std::max<size_t>(cipher_ ? blockSize : 8, 8);
    cbc_ = cbc;
    mac_ = std::move(mac);
    macLength_ = mac_ ? macLength : 0;
    aead_.reset();
    lengthApart_ = encryptThenMac && mac_ != nullptr;
    compressor_ = std::move(compressor);
}

void PacketBuilder::SetAeadKeys(std::unique_ptr<crypto::AeadContext> aead, size_t blockSize,
                                size_t tagLength, std::unique_ptr<ZlibCompressor> compressor) {
    cipher_.reset();
    mac_.reset();
    aead_ = std::move(aead);
    blockSize_ = std::max<size_t>(blockSize, 8);
    cbc_ = false;
    macLength_ = tagLength;
    lengthApart_ = true;
    compressor_ = std::move(compressor);
}

size_t PacketBuilder::Padding(const OutgoingPacket& packet, size_t length, size_t aligned) const {
    size_t padding = 4;
    size_t minimum = packet.MinimumPaddedLength();
    if (minimum != 0 && length + 4 < minimum) padding = minimum - length;
    padding += (blockSize_ - (aligned + padding) % blockSize_) % blockSize_;
    while (padding > 255)
        padding -= blockSize_;
    return padding;
}

size_t PacketBuilder::Build(const OutgoingPacket& packet, SecureBytes& out) {
    return BuildInto(packet, out);
}

size_t PacketBuilder::Build(const OutgoingPacket& packet, std::vector<uint8_t>& out) {
    return BuildInto(packet, out);
}

std::span<const uint8_t> PacketBuilder::Compress(std::span<const uint8_t> payload) {
    // Deflate output stays far below twice its input (stored blocks add 5 bytes in 65535), so
    // the compressor never has to move the buffer while it writes plaintext-derived bytes.
    const size_t room = 2 * payload.size() + 4096;
    if (compressed_.capacity() < room) {
        SecureWipe(compressed_);
        std::vector<uint8_t> larger;
        larger.reserve(std::max(room, 2 * compressed_.capacity()));
        compressed_.swap(larger);
    }
    compressed_.clear();
    compressor_->Compress(payload.data(), payload.size(), compressed_);
    return compressed_;
}

template <typename Bytes>
size_t PacketBuilder::BuildInto(const OutgoingPacket& packet, Bytes& out) {
    const size_t start = out.size();
    std::span<const uint8_t> payload = packet.Payload();
    if (compressor_) payload = Compress(payload);
    // Room for the whole packet (the padding is at most 255 bytes) before plaintext goes in;
    // growing by at least half keeps a run of appends linear.
    const size_t needed = start + OutgoingPacket::kHeaderLength + payload.size() + 255 + macLength_;
    if (out.capacity() < needed) out.reserve(std::max(needed, out.capacity() + out.capacity() / 2));
    out.resize(start + OutgoingPacket::kHeaderLength);
    out.insert(out.end(), payload.begin(), payload.end());
    if (compressor_) SecureWipe(compressed_.data(), compressed_.size());
    const size_t length = out.size() - start;
    // Where the length field stays apart, only the body after it is aligned.
    const size_t padding = Padding(packet, length, lengthApart_ ? length - 4 : length);

    const size_t counted = length + padding;
    out.resize(start + counted + macLength_);
    uint8_t* p = out.data() + start;
    random_(p + length, padding);
    crypto::StoreBe32(p, static_cast<uint32_t>(counted - 4));
    p[4] = static_cast<uint8_t>(padding);
    if (lengthApart_) {
        SealLengthApart(p, counted);
        ++sequence_;
        return counted;
    }
    if (mac_) mac_->Generate(p, counted, sequence_);
    ++sequence_;
    if (cipher_) cipher_->Encrypt(p, counted);
    return counted;
}

}  // namespace tessan::transport
