#include "sshlib/transport/packet_builder.h"

#include <algorithm>

#include "crypto/bytes.h"
#include "crypto/random_pool.h"

namespace tessan::transport {

PacketBuilder::PacketBuilder()
    : random_([](uint8_t* out, size_t length) { crypto::RandomBytes(out, length); }) {}

PacketBuilder::PacketBuilder(RandomSource random) : random_(std::move(random)) {}

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

size_t PacketBuilder::Build(const OutgoingPacket& packet, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    std::span<const uint8_t> payload = packet.Payload();
    out.resize(start + OutgoingPacket::kHeaderLength);
    if (compressor_) {
        compressor_->Compress(payload.data(), payload.size(), out);
    } else {
        out.insert(out.end(), payload.begin(), payload.end());
    }
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
