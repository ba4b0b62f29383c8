#include "crypto/dsa.h"

#include <initializer_list>
#include <memory>

#include "crypto/fingerprint.h"
#include "crypto/host_key.h"
#include "crypto/sha1.h"
#include "crypto/wire.h"

namespace tessan::crypto {
namespace {

constexpr std::string_view kName = "ssh-dss";
constexpr size_t kSignatureLength = 40;

class DsaHostKey : public HostKey {
public:
    explicit DsaHostKey(DsaPublicKey key) : key_(std::move(key)) {}
    std::string Weakness() const override {
        const std::pair<size_t, size_t> size{key_.p.BitCount(), key_.q.BitCount()};
        for (const auto& allowed : kDsaSizes)
            if (size == allowed) return {};
        return "DSA host key of " + std::to_string(size.first) + "/" + std::to_string(size.second) +
               " bits refused (p and q must be 1024/160, 2048/224, 2048/256 or 3072/256)";
    }
    std::string_view AlgorithmName() const override { return kName; }
    size_t Bits() const override { return key_.p.BitCount(); }
    std::string Fingerprint() const override { return DsaFingerprint(key_); }
    std::vector<uint8_t> PublicKeyBlob() const override {
        std::vector<uint8_t> blob;
        AppendString(blob, kName);
        for (const BigNum* number : {&key_.p, &key_.q, &key_.g, &key_.y})
            AppendMpint(blob, *number);
        return blob;
    }
    bool Verify(std::span<const uint8_t> signature, std::span<const uint8_t> data) const override {
        return DsaVerify(key_, signature, data);
    }

private:
    DsaPublicKey key_;
};

std::unique_ptr<HostKey> DsaHostKeyFromBlob(std::span<const uint8_t> blob) {
    auto key = DsaKeyFromBlob(blob);
    if (!key) return nullptr;
    return std::make_unique<DsaHostKey>(std::move(*key));
}

}  // namespace

const HostKeyAlgorithm kSshDss{kName, DsaHostKeyFromBlob};

std::optional<DsaPublicKey> DsaKeyFromBlob(std::span<const uint8_t> blob) {
    WireReader reader(blob);
    DsaPublicKey key;
    if (!reader.ExpectString(kName)) return std::nullopt;
    if (!reader.ReadNonNegativeMpint(key.p) || !reader.ReadNonNegativeMpint(key.q) ||
        !reader.ReadNonNegativeMpint(key.g) || !reader.ReadNonNegativeMpint(key.y)) {
        return std::nullopt;
    }
    return key;
}

std::string DsaFingerprint(const DsaPublicKey& key) {
    const BigNum* numbers[] = {&key.p, &key.q, &key.g, &key.y};
    return PublicKeyFingerprint(kName, key.p.BitCount(), numbers);
}

bool DsaVerify(const DsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data) {
    if (key.p.IsZero() || key.q.IsZero()) return false;
    std::span<const uint8_t> rs;
    if (signatureBlob.size() == kSignatureLength) {
        rs = signatureBlob;
    } else {
        WireReader reader(signatureBlob);
        if (!reader.ExpectString(kName) || !reader.ReadString(rs) || rs.size() < kSignatureLength)
            return false;
        rs = rs.first(kSignatureLength);
    }
    const BigNum r = BigNum::FromBytes(rs.first(20));
    const BigNum s = BigNum::FromBytes(rs.subspan(20, 20));
    if (r.IsZero() || s.IsZero() || r >= key.q || s >= key.q) return false;

    const auto w = BigNum::ModInverse(s, key.q);
    if (!w) return false;
    const BigNum h = BigNum::FromBytes(Sha1::Hash(data));
    const BigNum u1 = BigNum::ModMul(h, *w, key.q);
    const BigNum u2 = BigNum::ModMul(r, *w, key.q);
    const BigNum gu1 = BigNum::ModExp(key.g, u1, key.p);
    const BigNum yu2 = BigNum::ModExp(key.y, u2, key.p);
    const BigNum v = BigNum::Mod(BigNum::ModMul(gu1, yu2, key.p), key.q);
    return v == r;
}

}  // namespace tessan::crypto
