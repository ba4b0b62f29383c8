#include "crypto/rsa.h"

#include <memory>

#include "crypto/bytes.h"
#include "crypto/fingerprint.h"
#include "crypto/host_key.h"
#include "crypto/random_pool.h"
#include "crypto/sha1.h"
#include "crypto/wire.h"

namespace tessan::crypto {
namespace {

constexpr std::string_view kName = "ssh-rsa";

// The zero separator followed by the DER DigestInfo prefix for SHA-1 (RFC 3447 section 9.2).
constexpr uint8_t kSha1DigestInfo[16] = {0x00, 0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b,
                                         0x0e, 0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

class RsaHostKey : public HostKey {
public:
    explicit RsaHostKey(RsaPublicKey key) : key_(std::move(key)) {}
    std::string_view AlgorithmName() const override { return kName; }
    size_t Bits() const override { return key_.n.BitCount(); }
    std::string Fingerprint() const override { return RsaFingerprint(key_); }
    bool Verify(std::span<const uint8_t> signature, std::span<const uint8_t> data) const override {
        return RsaVerify(key_, signature, data);
    }

private:
    RsaPublicKey key_;
};

std::unique_ptr<HostKey> RsaHostKeyFromBlob(std::span<const uint8_t> blob) {
    auto key = RsaKeyFromBlob(blob);
    if (!key) return nullptr;
    return std::make_unique<RsaHostKey>(std::move(*key));
}

}  // namespace

const HostKeyAlgorithm kSshRsa{kName, RsaHostKeyFromBlob};

std::optional<RsaPublicKey> RsaKeyFromBlob(std::span<const uint8_t> blob) {
    WireReader reader(blob);
    RsaPublicKey key;
    if (!reader.ExpectString(kName)) return std::nullopt;
    if (!reader.ReadUnsignedMpint(key.e) || !reader.ReadUnsignedMpint(key.n)) return std::nullopt;
    if (key.e.IsZero() || key.n.BitCount() < 2) return std::nullopt;
    return key;
}

std::string RsaFingerprint(const RsaPublicKey& key) {
    const BigNum* numbers[] = {&key.e, &key.n};
    return PublicKeyFingerprint(kName, key.n.BitCount(), numbers);
}

bool RsaVerify(const RsaPublicKey& key, std::span<const uint8_t> signatureBlob,
               std::span<const uint8_t> data) {
    WireReader reader(signatureBlob);
    std::span<const uint8_t> signatureBytes;
    if (!reader.ExpectString(kName) || !reader.ReadString(signatureBytes)) return false;
    const size_t k = key.ByteLength();
    if (k == 0 || signatureBytes.size() > k) return false;
    const BigNum s = BigNum::FromBytes(signatureBytes);
    if (s >= key.n) return false;
    const BigNum m = BigNum::ModExp(s, key.e, key.n);

    const Sha1::Digest digest = Sha1::Hash(data);
    // Byte i counts from the least significant end of the k-byte value. Every byte is compared and
    // the differences collected, so the result does not depend on where a mismatch lies.
    uint8_t difference = 0;
    auto expect = [&](size_t i, uint8_t value) {
        difference |= static_cast<uint8_t>(m.Byte(i) ^ value);
    };
    if (k < 2 + 36) return false;
    expect(k - 1, 0x00);
    expect(k - 2, 0x01);
    for (size_t i = k - 3; i >= 36; --i)
        expect(i, 0xff);
    for (size_t i = 0; i < 16; ++i)
        expect(35 - i, kSha1DigestInfo[i]);
    for (size_t i = 0; i < 20; ++i)
        expect(19 - i, digest[i]);
    return difference == 0;
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
