// The incremental reader of SSH-2 binary packets (RFC 4253 section 6): bytes go in as they
// arrive, split anywhere; whole packets come out, decrypted, checked and decompressed.
//
// Three framings: the original one (the MAC over the plain packet, the length field encrypted
// with the rest), encrypt-then-MAC (the length in clear, the MAC over the packet as sent,
// checked before anything is decrypted) and the authenticated ciphers (aead.h: the tag checked
// before anything is decrypted). In the last two the length field is outside the cipher's
// blocks: the body after it is a multiple of the block size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "crypto/aead.h"
#include "crypto/cipher.h"
#include "crypto/mac.h"
#include "crypto/secure_memory.h"
#include "sshlib/transport/packet.h"
#include "sshlib/transport/zlib_decompressor.h"

namespace tessan::transport {

class PacketReader {
public:
    // The largest packet length field accepted.
    static constexpr uint32_t kMaxPacketLength = 35000;
    // The largest payload a compressed packet may expand to; a peer cannot make us hold more.
    static constexpr size_t kMaxDecompressedPayload = 256 * 1024;

    PacketReader() = default;
    ~PacketReader();
    PacketReader(const PacketReader&) = delete;
    PacketReader& operator=(const PacketReader&) = delete;

    enum class Result {
        kNeedMore,        // every byte given was consumed; no packet is complete
        kPacket,          // Packet() holds the next packet
        kBadLength,       // the first block gives an impossible length or padding
        kBadMac,          // the MAC does not match
        kBadCompression,  // the payload does not decompress (or expands too far, or to nothing)
    };

    // Installs the incoming direction's keys (each may be null: none). The next packet is read
    // with them; the sequence number runs on.
    void SetKeys(std::unique_ptr<crypto::CipherContext> cipher, size_t blockSize,
                 std::unique_ptr<crypto::MacContext> mac, size_t macLength,
                 std::unique_ptr<ZlibDecompressor> decompressor, bool encryptThenMac = false);
    // The same for an authenticated cipher (no separate MAC).
    void SetAeadKeys(std::unique_ptr<crypto::AeadContext> aead, size_t blockSize, size_t tagLength,
                     std::unique_ptr<ZlibDecompressor> decompressor);
    bool KeysActive() const { return cipher_ != nullptr || mac_ != nullptr || aead_ != nullptr; }

    // Consumes bytes until a packet is complete or found bad, or the bytes run out; `consumed`
    // tells how many were used. After a bad packet the reader starts over with the next byte as
    // the first byte of a new packet (the bad packet's bytes are gone).
    Result Feed(const uint8_t* data, size_t length, size_t& consumed);
    // The same, but a packet that lies whole in `data` is decrypted and checked where it lies
    // instead of being copied first: the consumed bytes are overwritten (with plaintext), and
    // Packet() may point into them until the caller reuses them.
    Result FeedInPlace(uint8_t* data, size_t length, size_t& consumed);

    // The packet of the last kPacket result; valid until the next Feed or SetKeys.
    IncomingPacket Packet() const { return IncomingPacket(payload_, packetSequence_); }
    // Bytes of that packet on the wire without its MAC (packet length field + 4).
    size_t PacketWireLength() const { return packetWireLength_; }
    uint32_t NextSequence() const { return sequence_; }
    void SetNextSequence(uint32_t sequence) { sequence_ = sequence; }

private:
    enum class State { kFirstBlock, kRest };
    void Reset();
    void ReserveInflated();
    static constexpr size_t kLengthField = 4;
    // `writable` is `data` when the caller lets the bytes be overwritten, else null.
    Result FeedBytes(const uint8_t* data, uint8_t* writable, size_t length, size_t& consumed);
    // Opens the head of a packet (its first block, decrypted in place, or the length field of
    // the framings that keep it apart): false when the length or padding is impossible, else
    // total_ and need_ are set.
    bool OpenHead(uint8_t* head);
    // Checks and decrypts the rest of a packet whose head is open.
    Result Finish(uint8_t* packet);
    // The original framing.
    bool TakeFirstBlock(const uint8_t* block);
    Result FinishPacket(uint8_t* packet);
    // Encrypt-then-MAC and authenticated ciphers (packet_length_apart.cpp).
    bool TakeLength(const uint8_t* field);
    Result FinishLengthApart(uint8_t* packet);
    // Keeps the head of a packet that is not whole yet in buffer_, where the rest will join it.
    void KeepHead(const uint8_t* head, size_t length);
    // Hands out the checked and decrypted packet at `packet` (buffer_ or the caller's bytes):
    // sequence number, payload, decompression.
    Result Complete(const uint8_t* packet);

    std::unique_ptr<crypto::CipherContext> cipher_;
    std::unique_ptr<crypto::MacContext> mac_;
    std::unique_ptr<crypto::AeadContext> aead_;
    bool lengthApart_ = false;  // encrypt-then-MAC or an authenticated cipher
    std::unique_ptr<ZlibDecompressor> decompressor_;
    size_t blockSize_ = 8;
    size_t macLength_ = 0;

    State state_ = State::kFirstBlock;
    // Decrypted in place: every block it gives back is wiped.
    SecureBytes buffer_;
    size_t have_ = 0;
    size_t need_ = 0;
    size_t total_ = 0;  // packet length field + 4
    uint8_t padding_ = 0;

    // Made large enough for the biggest payload when a decompressor is installed, so it never
    // moves (leaving a copy behind); wiped on destruction.
    std::vector<uint8_t> inflated_;
    std::span<const uint8_t> payload_;
    uint32_t sequence_ = 0;
    uint32_t packetSequence_ = 0;
    size_t packetWireLength_ = 0;
};

}  // namespace tessan::transport
