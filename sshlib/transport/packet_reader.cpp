#include "sshlib/transport/packet_reader.h"

#include <algorithm>
#include <cstring>

#include "crypto/bytes.h"

namespace tessan::transport {
namespace {

// Room beyond the payload limit that the decompressor may make ahead of its output.
constexpr size_t kInflateSlack = 2 * 65536;

}  // namespace

PacketReader::~PacketReader() {
    SecureWipe(inflated_);
}

void PacketReader::ReserveInflated() {
    if (!decompressor_ || inflated_.capacity() >= kMaxDecompressedPayload + kInflateSlack) return;
    SecureWipe(inflated_);
    inflated_.reserve(kMaxDecompressedPayload + kInflateSlack);
}

void PacketReader::SetKeys(std::unique_ptr<crypto::CipherContext> cipher, size_t blockSize,
                           std::unique_ptr<crypto::MacContext> mac, size_t macLength,
                           std::unique_ptr<ZlibDecompressor> decompressor, bool encryptThenMac) {
    cipher_ = std::move(cipher);
    blockSize_ = std::max<size_t>(cipher_ ? blockSize : 8, 8);
    mac_ = std::move(mac);
    macLength_ = mac_ ? macLength : 0;
    aead_.reset();
    lengthApart_ = encryptThenMac && mac_ != nullptr;
    decompressor_ = std::move(decompressor);
    payload_ = {};
    ReserveInflated();
}

void PacketReader::SetAeadKeys(std::unique_ptr<crypto::AeadContext> aead, size_t blockSize,
                               size_t tagLength, std::unique_ptr<ZlibDecompressor> decompressor) {
    cipher_.reset();
    mac_.reset();
    aead_ = std::move(aead);
    blockSize_ = std::max<size_t>(blockSize, 8);
    macLength_ = tagLength;
    lengthApart_ = true;
    decompressor_ = std::move(decompressor);
    payload_ = {};
    ReserveInflated();
}

void PacketReader::Reset() {
    state_ = State::kFirstBlock;
    have_ = 0;
}

PacketReader::Result PacketReader::Feed(const uint8_t* data, size_t length, size_t& consumed) {
    return FeedBytes(data, nullptr, length, consumed);
}

PacketReader::Result PacketReader::FeedInPlace(uint8_t* data, size_t length, size_t& consumed) {
    return FeedBytes(data, data, length, consumed);
}

void PacketReader::KeepHead(const uint8_t* head, size_t length) {
    if (buffer_.size() < need_) buffer_.resize(need_);
    std::memcpy(buffer_.data(), head, length);
    have_ = length;
    state_ = State::kRest;
}

bool PacketReader::TakeFirstBlock(const uint8_t* block) {
    const uint32_t packetLength = crypto::LoadBe32(block);
    padding_ = block[4];
    // At least one payload byte (the message number) must remain beside the padding.
    const bool valid = (packetLength & 0x80000000u) == 0 && packetLength <= kMaxPacketLength &&
                       padding_ >= 4 && packetLength >= uint32_t{padding_} + 2 &&
                       (packetLength + 4) % blockSize_ == 0;
    if (!valid) return false;
    total_ = packetLength + 4;
    need_ = total_ + macLength_;
    return true;
}

PacketReader::Result PacketReader::FinishPacket(uint8_t* packet) {
    if (cipher_ && total_ > blockSize_) cipher_->Decrypt(packet + blockSize_, total_ - blockSize_);
    if (mac_ && !mac_->Verify(packet, total_, sequence_)) {
        Reset();
        return Result::kBadMac;
    }
    return Complete(packet);
}

bool PacketReader::OpenHead(uint8_t* head) {
    if (lengthApart_) return TakeLength(head);
    if (cipher_) cipher_->Decrypt(head, blockSize_);
    return TakeFirstBlock(head);
}

PacketReader::Result PacketReader::Finish(uint8_t* packet) {
    return lengthApart_ ? FinishLengthApart(packet) : FinishPacket(packet);
}

PacketReader::Result PacketReader::FeedBytes(const uint8_t* data, uint8_t* writable, size_t length,
                                             size_t& consumed) {
    consumed = 0;
    payload_ = {};
    // The head tells the packet's length: its first cipher block, or the length field where that
    // stands apart.
    const size_t head = lengthApart_ ? kLengthField : blockSize_;
    // At a packet boundary the head is opened where it lies; so is the whole packet when all of
    // it is at hand, which spares copying the stream once more.
    if (writable && state_ == State::kFirstBlock && have_ == 0 && length >= head) {
        consumed = head;
        if (!OpenHead(writable)) {
            Reset();
            return Result::kBadLength;
        }
        if (length >= need_) {
            consumed = need_;
            return Finish(writable);
        }
        KeepHead(writable, head);
    }
    if (state_ == State::kFirstBlock) {
        if (buffer_.size() < head) buffer_.resize(head);
        const size_t take = std::min(head - have_, length - consumed);
        std::memcpy(buffer_.data() + have_, data + consumed, take);
        have_ += take;
        consumed += take;
        if (have_ < head) return Result::kNeedMore;
        if (!OpenHead(buffer_.data())) {
            Reset();
            return Result::kBadLength;
        }
        if (buffer_.size() < need_) buffer_.resize(need_);
        state_ = State::kRest;
    }
    const size_t take = std::min(need_ - have_, length - consumed);
    std::memcpy(buffer_.data() + have_, data + consumed, take);
    have_ += take;
    consumed += take;
    if (have_ < need_) return Result::kNeedMore;
    return Finish(buffer_.data());
}

PacketReader::Result PacketReader::Complete(const uint8_t* packet) {
    packetSequence_ = sequence_++;
    packetWireLength_ = total_;
    Reset();
    std::span<const uint8_t> payload(packet + 5, total_ - 5 - padding_);
    if (decompressor_) {
        SecureWipe(inflated_.data(), inflated_.size());
        inflated_.clear();
        if (!decompressor_->Decompress(payload.data(), payload.size(), inflated_,
                                       kMaxDecompressedPayload) ||
            inflated_.empty()) {
            return Result::kBadCompression;
        }
        payload = inflated_;
    }
    payload_ = payload;
    return Result::kPacket;
}

}  // namespace tessan::transport
