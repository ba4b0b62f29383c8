// "ecdsa-sha2-nistp256" host keys (RFC 5656 sections 3.1 and 3.1.2): key blob string
// "ecdsa-sha2-nistp256", string "nistp256", string Q (uncompressed point); signature blob string
// "ecdsa-sha2-nistp256", string holding mpint r and mpint s.
#include <algorithm>
#include <memory>

#include "crypto/curve_host_key.h"
#include "crypto/p256.h"
#include "crypto/wire.h"

namespace tessan::crypto {
namespace {

constexpr std::string_view kName = "ecdsa-sha2-nistp256";
constexpr std::string_view kCurve = "nistp256";

// A non-negative mpint of at most 32 bytes (leading zero bytes allowed), as its magnitude bytes.
bool ReadScalar(WireReader& reader, std::vector<uint8_t>& out) {
    BigNum number;
    if (!reader.ReadNonNegativeMpint(number) || number.ByteCount() > kP256ScalarLength)
        return false;
    out = number.ToBytes();
    return true;
}

class EcdsaHostKey : public CurveHostKey {
public:
    EcdsaHostKey(std::span<const uint8_t> blob, std::span<const uint8_t> point)
        : CurveHostKey(kName, blob) {
        std::copy(point.begin(), point.end(), point_);
    }
    bool Verify(std::span<const uint8_t> signatureBlob,
                std::span<const uint8_t> data) const override {
        WireReader outer(signatureBlob);
        std::span<const uint8_t> inner;
        if (!outer.ExpectString(kName) || !outer.ReadString(inner) || outer.Remaining() != 0)
            return false;
        WireReader reader(inner);
        std::vector<uint8_t> r, s;
        if (!ReadScalar(reader, r) || !ReadScalar(reader, s) || reader.Remaining() != 0)
            return false;
        return EcdsaP256Verify(point_, r, s, data);
    }

private:
    uint8_t point_[kP256PointLength];
};

std::unique_ptr<HostKey> EcdsaHostKeyFromBlob(std::span<const uint8_t> blob) {
    WireReader reader(blob);
    std::span<const uint8_t> point;
    if (!reader.ExpectString(kName) || !reader.ExpectString(kCurve) || !reader.ReadString(point) ||
        reader.Remaining() != 0 || !P256IsValidPoint(point)) {
        return nullptr;
    }
    return std::make_unique<EcdsaHostKey>(blob, point);
}

}  // namespace

const HostKeyAlgorithm kEcdsaSha2Nistp256{kName, EcdsaHostKeyFromBlob};

}  // namespace tessan::crypto
