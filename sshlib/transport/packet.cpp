#include "sshlib/transport/packet.h"

#include <utility>

#include "crypto/bytes.h"
#include "crypto/wire.h"

namespace tessan::transport {

OutgoingPacket::OutgoingPacket(uint8_t type) {
    data_.reserve(64);
    data_.resize(kHeaderLength);
    data_.push_back(type);
}

OutgoingPacket::~OutgoingPacket() {
    Release();
}

OutgoingPacket::OutgoingPacket(OutgoingPacket&& other) noexcept
    : data_(std::move(other.data_)),
      stringStart_(other.stringStart_),
      minimumPaddedLength_(other.minimumPaddedLength_),
      secret_(other.secret_) {
    other.data_.clear();
    other.secret_ = false;
}

OutgoingPacket& OutgoingPacket::operator=(OutgoingPacket&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::move(other.data_);
        stringStart_ = other.stringStart_;
        minimumPaddedLength_ = other.minimumPaddedLength_;
        secret_ = other.secret_;
        other.data_.clear();
        other.secret_ = false;
    }
    return *this;
}

void OutgoingPacket::Release() {
    if (secret_ && data_.capacity() > 0) {
        data_.resize(data_.capacity());
        SecureWipe(data_.data(), data_.size());
    }
    data_.clear();
}

OutgoingPacket& OutgoingPacket::AddByte(uint8_t value) {
    data_.push_back(value);
    return *this;
}

OutgoingPacket& OutgoingPacket::AddBool(bool value) {
    return AddByte(value ? 1 : 0);
}

OutgoingPacket& OutgoingPacket::AddUint32(uint32_t value) {
    crypto::AppendUint32(data_, value);
    return *this;
}

OutgoingPacket& OutgoingPacket::AddString(std::span<const uint8_t> bytes) {
    crypto::AppendString(data_, bytes);
    return *this;
}

OutgoingPacket& OutgoingPacket::AddString(std::string_view text) {
    crypto::AppendString(data_, text);
    return *this;
}

OutgoingPacket& OutgoingPacket::StartString() {
    stringStart_ = data_.size();
    crypto::AppendUint32(data_, 0);
    return *this;
}

OutgoingPacket& OutgoingPacket::AppendString(std::span<const uint8_t> bytes) {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    crypto::StoreBe32(data_.data() + stringStart_,
                      static_cast<uint32_t>(data_.size() - stringStart_ - 4));
    return *this;
}

OutgoingPacket& OutgoingPacket::AppendString(std::string_view text) {
    return AppendString(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

OutgoingPacket& OutgoingPacket::AddMpint(const crypto::BigNum& value) {
    crypto::AppendMpint(data_, value);
    return *this;
}

OutgoingPacket& OutgoingPacket::AddRaw(std::span<const uint8_t> bytes) {
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
}

bool IncomingPacket::ReadByte(uint8_t& value) {
    value = 0;
    if (Remaining() < 1) return false;
    value = payload_[position_++];
    return true;
}

bool IncomingPacket::ReadBool(bool& value) {
    uint8_t byte;
    bool ok = ReadByte(byte);
    value = byte != 0;
    return ok;
}

bool IncomingPacket::ReadUint32(uint32_t& value) {
    value = 0;
    if (Remaining() < 4) return false;
    value = crypto::LoadBe32(payload_.data() + position_);
    position_ += 4;
    return true;
}

bool IncomingPacket::ReadString(std::span<const uint8_t>& value) {
    value = {};
    if (Remaining() < 4) return false;
    uint32_t length = crypto::LoadBe32(payload_.data() + position_);
    if ((length & 0x80000000u) != 0 || length > Remaining() - 4) return false;
    value = payload_.subspan(position_ + 4, length);
    position_ += 4 + length;
    return true;
}

bool IncomingPacket::ReadString(std::string_view& value) {
    std::span<const uint8_t> bytes;
    bool ok = ReadString(bytes);
    value = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return ok;
}

bool IncomingPacket::ReadRaw8(std::array<uint8_t, 8>& value) {
    value = {};
    if (Remaining() < 8) return false;
    for (size_t i = 0; i < 8; ++i)
        value[i] = payload_[position_ + i];
    position_ += 8;
    return true;
}

bool IncomingPacket::ReadMpint(crypto::BigNum& value) {
    value = crypto::BigNum();
    if (position_ > payload_.size()) return false;
    crypto::WireReader reader(payload_.subspan(position_));
    size_t before = reader.Remaining();
    if (!reader.ReadNonNegativeMpint(value)) {
        value = crypto::BigNum();
        return false;
    }
    position_ += before - reader.Remaining();
    return true;
}

}  // namespace tessan::transport
