#include "crypto/key_agreement.h"

#include "crypto/p256.h"
#include "crypto/x25519.h"

namespace tessan::crypto {
namespace {

class X25519KeyAgreement : public KeyAgreement {
public:
    ~X25519KeyAgreement() override { SecureWipe(secret_, sizeof(secret_)); }

    std::vector<uint8_t> GenerateKeyPair(const RandomFill& random) override {
        random(secret_, sizeof(secret_));
        haveSecret_ = true;
        std::vector<uint8_t> publicValue(kX25519Length);
        X25519PublicKey(publicValue.data(), secret_);
        return publicValue;
    }

    std::optional<SecretBytes> SharedSecret(std::span<const uint8_t> peerPublic) const override {
        if (!haveSecret_ || peerPublic.size() != kX25519Length) return std::nullopt;
        SecretBytes shared(kX25519Length);
        X25519(shared.data(), secret_, peerPublic.data());
        if (X25519IsAllZero(shared.data())) return std::nullopt;
        return shared;
    }

private:
    uint8_t secret_[kX25519Length] = {};
    bool haveSecret_ = false;
};

class P256KeyAgreement : public KeyAgreement {
public:
    ~P256KeyAgreement() override { SecureWipe(secret_, sizeof(secret_)); }

    // The secret is drawn uniformly from 1 .. n-1 by drawing 32 bytes until they fall in range
    // (n is so close to 2^256 that a second draw is needed about once in 2^32).
    std::vector<uint8_t> GenerateKeyPair(const RandomFill& random) override {
        do {
            random(secret_, sizeof(secret_));
        } while (!P256IsValidScalar(secret_));
        haveSecret_ = true;
        std::vector<uint8_t> publicValue(kP256PointLength);
        P256PublicKey(publicValue.data(), secret_);
        return publicValue;
    }

    std::optional<SecretBytes> SharedSecret(std::span<const uint8_t> peerPublic) const override {
        if (!haveSecret_) return std::nullopt;
        SecretBytes shared(kP256ScalarLength);
        if (!P256SharedSecret(shared.data(), secret_, peerPublic)) return std::nullopt;
        return shared;
    }

private:
    uint8_t secret_[kP256ScalarLength] = {};
    bool haveSecret_ = false;
};

}  // namespace

std::unique_ptr<KeyAgreement> CreateP256KeyAgreement() {
    return std::make_unique<P256KeyAgreement>();
}

std::unique_ptr<KeyAgreement> CreateX25519KeyAgreement() {
    return std::make_unique<X25519KeyAgreement>();
}

}  // namespace tessan::crypto
