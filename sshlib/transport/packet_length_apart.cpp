// The framings that keep the packet length apart from the encrypted body: encrypt-then-MAC
// (the length in clear, the MAC over the length and the ciphertext) and the authenticated
// ciphers (aead.h). The receiver authenticates the whole packet before decrypting any of it; the
// length it reads first only decides how many bytes to wait for.

#include "crypto/bytes.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"

namespace tessan::transport {

void PacketBuilder::SealLengthApart(uint8_t* packet, size_t counted) {
    if (aead_) {
        aead_->Seal(packet, counted, sequence_);
        return;
    }
    if (cipher_) cipher_->Encrypt(packet + 4, counted - 4);
    mac_->Generate(packet, counted, sequence_);
}

bool PacketReader::TakeLength(const uint8_t* field) {
    const uint32_t packetLength =
        aead_ ? aead_->PacketLength(field, sequence_) : crypto::LoadBe32(field);
    // The body must hold the padding-length byte, a message number and at least four bytes of
    // padding, in whole blocks.
    const bool valid = packetLength <= kMaxPacketLength && packetLength >= blockSize_ &&
                       packetLength % blockSize_ == 0;
    if (!valid) return false;
    total_ = packetLength + kLengthField;
    need_ = total_ + macLength_;
    return true;
}

PacketReader::Result PacketReader::FinishLengthApart(uint8_t* packet) {
    bool authentic;
    if (aead_) {
        authentic = aead_->Open(packet, total_, sequence_);
    } else {
        authentic = mac_->Verify(packet, total_, sequence_);
        if (authentic && cipher_) cipher_->Decrypt(packet + kLengthField, total_ - kLengthField);
    }
    if (!authentic) {
        Reset();
        return Result::kBadMac;
    }
    padding_ = packet[kLengthField];
    if (padding_ < 4 || total_ - kLengthField < size_t{padding_} + 2) {
        Reset();
        return Result::kBadLength;
    }
    return Complete(packet);
}

}  // namespace tessan::transport
