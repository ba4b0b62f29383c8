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
                            std::unique_ptr<ZlibCompressor> compressor) {
    cipher_ = std::move(cipher);
    blockSize_ = std::max<size_t>(cipher_ ? blockSize : 8, 8);
    cbc_ = cbc;
    mac_ = std::move(mac);
    macLength_ = mac_ ? macLength : 0;
    compressor_ = std::move(compressor);
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

    size_t padding = 4;
    size_t minimum = packet.MinimumPaddedLength();
    if (minimum != 0 && length + 4 < minimum) padding = minimum - length;
    padding += (blockSize_ - (length + padding) % blockSize_) % blockSize_;
    while (padding > 255)
        padding -= blockSize_;

    const size_t counted = length + padding;
    out.resize(start + counted + macLength_);
    uint8_t* p = out.data() + start;
    random_(p + length, padding);
    crypto::StoreBe32(p, static_cast<uint32_t>(counted - 4));
    p[4] = static_cast<uint8_t>(padding);
    if (mac_) mac_->Generate(p, counted, sequence_);
    ++sequence_;
    if (cipher_) cipher_->Encrypt(p, counted);
    return counted;
}

}  // namespace tessan::transport
