// Framing of outgoing SSH-2 packets (RFC 4253 section 6): compression, padding to the cipher's
// block size, the MAC over the sequence number and the packet, and encryption, all in place in
// the buffer the bytes are written from. With encrypt-then-MAC and with the authenticated
// ciphers the length field stays apart: the body after it is padded to the block size,
// encrypted, and then the MAC or tag covers the packet as sent (packet_reader.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "crypto/aead.h"
#include "crypto/cipher.h"
#include "crypto/mac.h"
#include "crypto/secure_memory.h"
#include "sshlib/transport/packet.h"
#include "sshlib/transport/zlib_compressor.h"

namespace tessan::transport {

class PacketBuilder {
public:
    // Where padding bytes come from (the process-wide random pool unless a test supplies one).
    using RandomSource = std::function<void(uint8_t* out, size_t length)>;

    PacketBuilder();
    explicit PacketBuilder(RandomSource random);
    ~PacketBuilder();
    PacketBuilder(const PacketBuilder&) = delete;
    PacketBuilder& operator=(const PacketBuilder&) = delete;

    // Installs the outgoing direction's keys (each may be null: none) for the next packet; the
    // sequence number runs on.
    void SetKeys(std::unique_ptr<crypto::CipherContext> cipher, size_t blockSize, bool cbc,
                 std::unique_ptr<crypto::MacContext> mac, size_t macLength,
                 std::unique_ptr<ZlibCompressor> compressor, bool encryptThenMac = false);
    // The same for an authenticated cipher (no separate MAC).
    void SetAeadKeys(std::unique_ptr<crypto::AeadContext> aead, size_t blockSize, size_t tagLength,
                     std::unique_ptr<ZlibCompressor> compressor);

    // Frames `packet` and appends the bytes to write to `out`. Returns the counted length: the
    // packet without its MAC (what the data limit counts).
    //   padding = 4, or enough to reach the packet's minimum padded length, then grown to a
    //   multiple of the block size (at least 8); the padding-length byte can hold at most 255.
    // `out` has room for the whole packet before the plaintext goes in, so it never moves (and
    // gives a block back) while it holds plaintext; with a SecureBytes `out` every block it
    // gives back later is wiped as well.
    size_t Build(const OutgoingPacket& packet, SecureBytes& out);
    size_t Build(const OutgoingPacket& packet, std::vector<uint8_t>& out);

    size_t BlockSize() const { return blockSize_; }
    bool CipherActive() const { return cipher_ != nullptr || aead_ != nullptr; }
    bool Cbc() const { return cipher_ != nullptr && cbc_; }
    size_t MacLength() const { return macLength_; }
    ZlibCompressor* Compressor() { return compressor_.get(); }
    uint32_t NextSequence() const { return sequence_; }
    void SetNextSequence(uint32_t sequence) { sequence_ = sequence; }

private:
    template <typename Bytes>
    size_t BuildInto(const OutgoingPacket& packet, Bytes& out);
    // Compresses the payload into compressed_, which was made large enough beforehand.
    std::span<const uint8_t> Compress(std::span<const uint8_t> payload);
    // The padding for `length` bytes (framing room and payload) of which the last `aligned`
    // count towards the block alignment.
    size_t Padding(const OutgoingPacket& packet, size_t length, size_t aligned) const;
    // Encrypt-then-MAC and authenticated ciphers (packet_length_apart.cpp).
    void SealLengthApart(uint8_t* packet, size_t counted);

    RandomSource random_;
    std::unique_ptr<crypto::CipherContext> cipher_;
    std::unique_ptr<crypto::MacContext> mac_;
    std::unique_ptr<crypto::AeadContext> aead_;
    bool lengthApart_ = false;
    std::unique_ptr<ZlibCompressor> compressor_;
    // The compressor's output for one packet, wiped once the packet is framed.
    std::vector<uint8_t> compressed_;
    size_t blockSize_ = 8;
    size_t macLength_ = 0;
    bool cbc_ = false;
    uint32_t sequence_ = 0;
};

}  // namespace tessan::transport
