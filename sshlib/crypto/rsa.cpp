#include "crypto/rsa.h"

#include <memory>

#include "crypto/bytes.h"
#include "crypto/fingerprint.h"
#include "crypto/host_key.h"
#include "crypto/random_pool.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "crypto/wire.h"

namespace tessan::crypto {
namespace {

constexpr std::string_view kName = "ssh-rsa";

// The zero separator followed by the DER DigestInfo prefix of each hash (RFC 8017 section 9.2,
// note 1).
constexpr uint8_t kSha1DigestInfo[] = {0x00, 0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b,
                                       0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
constexpr uint8_t kSha256DigestInfo[] = {0x00, 0x30, 0x31, 0x30, 0x0d, 0x06, 0x09,
                                         0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04,
                                         0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
constexpr uint8_t kSha512DigestInfo[] = {0x00, 0x30, 0x51, 0x30, 0x0d, 0x06, 0x09,
                                         0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04,
                                         0x02, 0x03, 0x05, 0x00, 0x04, 0x40};

// The separator, DigestInfo and digest of `data`: the tail of the encoded message.
std::vector<uint8_t> DigestTail(RsaDigest digest, std::span<const uint8_t> data) {
    std::vector<uint8_t> tail;
    auto append = [&tail](std::span<const uint8_t> bytes) {
        tail.insert(tail.end(), bytes.begin(), bytes.end());
    };
    switch (digest) {
        case RsaDigest::kSha1:
            append(kSha1DigestInfo);
            append(Sha1::Hash(data));
            break;
        case RsaDigest::kSha256:
            append(kSha256DigestInfo);
            append(Sha256::Hash(data));
            break;
        case RsaDigest::kSha512:
            append(kSha512DigestInfo);
            append(Sha512::Hash(data));
            break;
    }
    return tail;
}

// A signature blob (string name, string s) over `data`. The original "ssh-rsa" has always
// ignored bytes after s; the new names allow none.
bool VerifyBlob(const RsaPublicKey& key, std::string_view name, RsaDigest digest,
                std::span<const uint8_t> signatureBlob, std::span<const uint8_t> data) {
    WireReader reader(signatureBlob);
    std::span<const uint8_t> signature;
    if (!reader.ExpectString(name) || !reader.ReadString(signature)) return false;
    if (digest != RsaDigest::kSha1 && reader.Remaining() != 0) return false;
    return RsaPkcs1Verify(key, signature, digest, data);
}

// A key read from an "ssh-rsa" blob for one of the RSA host-key algorithms; `name` is both the
// algorithm's name and the name its signature blobs carry.
class RsaHostKey : public HostKey {
public:
    RsaHostKey(RsaPublicKey key, std::string_view name, RsaDigest digest)
        : key_(std::move(key)), name_(name), digest_(digest) {}
    std::string_view AlgorithmName() const override { return name_; }
    size_t Bits() const override { return key_.n.BitCount(); }
    std::string Fingerprint() const override { return RsaFingerprint(key_); }
    std::vector<uint8_t> PublicKeyBlob() const override { return RsaKeyBlob(key_); }
    bool Verify(std::span<const uint8_t> signatureBlob,
                std::span<const uint8_t> data) const override {
        return VerifyBlob(key_, name_, digest_, signatureBlob, data);
    }
    std::string Weakness() const override { return RsaHostKeyWeakness(key_); }

private:
    RsaPublicKey key_;
    std::string_view name_;
    RsaDigest digest_;
};

template <RsaDigest digest, const std::string_view& name>
std::unique_ptr<HostKey> RsaHostKeyFromBlob(std::span<const uint8_t> blob) {
    auto key = RsaKeyFromBlob(blob);
    if (!key) return nullptr;
    if (digest != RsaDigest::kSha1 && key->n.BitCount() < kMinRsaSha2Bits) return nullptr;
    return std::make_unique<RsaHostKey>(std::move(*key), name, digest);
}

constexpr std::string_view kSha512Name = "rsa-sha2-512";
constexpr std::string_view kSha256Name = "rsa-sha2-256";

}  // namespace

const HostKeyAlgorithm kSshRsa{kName, RsaHostKeyFromBlob<RsaDigest::kSha1, kName>};
const HostKeyAlgorithm kRsaSha2_512{kSha512Name,
                                    RsaHostKeyFromBlob<RsaDigest::kSha512, kSha512Name>};
const HostKeyAlgorithm kRsaSha2_256{kSha256Name,
                                    RsaHostKeyFromBlob<RsaDigest::kSha256, kSha256Name>};

std::optional<RsaPublicKey> RsaKeyFromBlob(std::span<const uint8_t> blob) {
    WireReader reader(blob);
    RsaPublicKey key;
    if (!reader.ExpectString(kName)) return std::nullopt;
    if (!reader.ReadUnsignedMpint(key.e) || !reader.ReadUnsignedMpint(key.n)) return std::nullopt;
    if (key.e.IsZero() || key.n.BitCount() < 2) return std::nullopt;
    return key;
}

std::string RsaHostKeyWeakness(const RsaPublicKey& key) {
    const size_t bits = key.n.BitCount();
    if (bits >= kMinRsaHostKeyBits) return {};
    return "RSA host key of " + std::to_string(bits) + " bits refused (at least " +
           std::to_string(kMinRsaHostKeyBits) + " are needed)";
}

std::string RsaFingerprint(const RsaPublicKey& key) {
    const BigNum* numbers[] = {&key.e, &key.n};
    return PublicKeyFingerprint(kName, key.n.BitCount(), numbers);
}

std::vector<uint8_t> RsaKeyBlob(const RsaPublicKey& key) {
    std::vector<uint8_t> blob;
    AppendString(blob, kName);
    AppendMpint(blob, key.e);
    AppendMpint(blob, key.n);
    return blob;
}

bool RsaPkcs1Verify(const RsaPublicKey& key, std::span<const uint8_t> signature, RsaDigest digest,
                    std::span<const uint8_t> data) {
    const size_t k = key.ByteLength();
    if (k == 0 || signature.size() > k) return false;
    const BigNum s = BigNum::FromBytes(signature);
    if (s >= key.n) return false;
    const std::vector<uint8_t> tail = DigestTail(digest, data);
    // 00 01, at least eight FF bytes, then the tail (RFC 8017 section 9.2 step 5).
    if (k < 2 + 8 + tail.size()) return false;
    const BigNum m = BigNum::ModExp(s, key.e, key.n);

    // Byte i counts from the least significant end of the k-byte value. Every byte is compared and
    // the differences collected, so the result does not depend on where a mismatch lies.
    uint8_t difference = 0;
    auto expect = [&](size_t i, uint8_t value) {
        difference |= static_cast<uint8_t>(m.Byte(i) ^ value);
    };
    expect(k - 1, 0x00);
    expect(k - 2, 0x01);
    for (size_t i = k - 3; i >= tail.size(); --i)
        expect(i, 0xff);
    for (size_t i = 0; i < tail.size(); ++i)
        expect(tail.size() - 1 - i, tail[i]);
    return difference == 0;
}

bool RsaVerify(const RsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data) {
    return VerifyBlob(key, kName, RsaDigest::kSha1, signatureBlob, data);
}

bool Ssh1RsaEncrypt(std::span<uint8_t> buffer, size_t length, const RsaPublicKey& key) {
    const size_t k = key.ByteLength();
    if (k == 0 || k < length + 4 || buffer.size() < k) return false;
    // 00 02 <non-zero random> 00 <data>
    std::vector<uint8_t, WipingAllocator<uint8_t>> block(k);
    for (size_t i = 0; i < length; ++i)
        block[k - length + i] = buffer[i];
    block[0] = 0x00;
    block[1] = 0x02;
    for (size_t i = 2; i < k - length - 1; ++i) {
        uint8_t byte;
        do {
            byte = RandomByte();
        } while (byte == 0);
        block[i] = byte;
    }
    block[k - length - 1] = 0x00;
    BigNum message = BigNum::FromBytes(block);
    const BigNum encrypted = BigNum::ModExp(message, key.e, key.n);
    message.Wipe();
    encrypted.ToBytes(buffer.data(), k);
    return true;
}

}  // namespace tessan::crypto
