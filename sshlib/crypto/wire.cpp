#include "crypto/wire.h"

#include <algorithm>

#include "crypto/bytes.h"

namespace tessan::crypto {

bool WireReader::ReadUint32(uint32_t& value) {
    if (Remaining() < 4) return false;
    value = LoadBe32(data_.data() + position_);
    position_ += 4;
    return true;
}

bool WireReader::ReadString(std::span<const uint8_t>& value) {
    if (Remaining() < 4) return false;
    const uint32_t length = LoadBe32(data_.data() + position_);
    if (length > Remaining() - 4) return false;
    value = data_.subspan(position_ + 4, length);
    position_ += 4 + length;
    return true;
}

bool WireReader::ExpectString(std::string_view expected) {
    const size_t start = position_;
    std::span<const uint8_t> value;
    if (!ReadString(value)) return false;
    if (value.size() != expected.size() ||
        !std::equal(value.begin(), value.end(),
                    reinterpret_cast<const uint8_t*>(expected.data()))) {
        position_ = start;
        return false;
    }
    return true;
}

bool WireReader::ReadMpintBytes(std::span<const uint8_t>& bytes) {
    const size_t start = position_;
    if (!ReadString(bytes)) return false;
    // One extra byte for the sign.
    if (bytes.size() > kMaxWireNumberBits / 8 + 1) {
        position_ = start;
        return false;
    }
    return true;
}

bool WireReader::ReadUnsignedMpint(BigNum& value) {
    std::span<const uint8_t> bytes;
    if (!ReadMpintBytes(bytes)) return false;
    BigNum number = BigNum::FromBytes(bytes);
    if (number.BitCount() > kMaxWireNumberBits) {
        position_ -= 4 + bytes.size();
        return false;
    }
    value = std::move(number);
    return true;
}

bool WireReader::ReadNonNegativeMpint(BigNum& value) {
    const size_t start = position_;
    std::span<const uint8_t> bytes;
    if (!ReadMpintBytes(bytes)) return false;
    if (!bytes.empty() && bytes[0] >= 0x80) {
        position_ = start;
        return false;
    }
    BigNum number = BigNum::FromBytes(bytes);
    if (number.BitCount() > kMaxWireNumberBits) {
        position_ = start;
        return false;
    }
    value = std::move(number);
    return true;
}

namespace {

template <typename Bytes>
void PutUint32(Bytes& out, uint32_t value) {
    uint8_t bytes[4];
    StoreBe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

template <typename Bytes>
void PutString(Bytes& out, std::span<const uint8_t> bytes) {
    PutUint32(out, static_cast<uint32_t>(bytes.size()));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::span<const uint8_t> TextBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

template <typename Bytes>
void PutMpint(Bytes& out, const BigNum& value) {
    const size_t length = value.ByteCount();
    const bool pad = length != 0 && value.Byte(length - 1) >= 0x80;
    PutUint32(out, static_cast<uint32_t>(length + (pad ? 1 : 0)));
    if (pad) out.push_back(0);
    for (size_t i = length; i-- > 0;)
        out.push_back(value.Byte(i));
}

}  // namespace

void AppendUint32(std::vector<uint8_t>& out, uint32_t value) {
    PutUint32(out, value);
}
void AppendUint32(SecureBytes& out, uint32_t value) {
    PutUint32(out, value);
}
void AppendString(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    PutString(out, bytes);
}
void AppendString(SecureBytes& out, std::span<const uint8_t> bytes) {
    PutString(out, bytes);
}
void AppendString(std::vector<uint8_t>& out, std::string_view text) {
    PutString(out, TextBytes(text));
}
void AppendString(SecureBytes& out, std::string_view text) {
    PutString(out, TextBytes(text));
}
void AppendMpint(std::vector<uint8_t>& out, const BigNum& value) {
    PutMpint(out, value);
}
void AppendMpint(SecureBytes& out, const BigNum& value) {
    PutMpint(out, value);
}

}  // namespace tessan::crypto
