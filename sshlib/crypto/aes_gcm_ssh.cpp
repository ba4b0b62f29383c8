// aes128-gcm@openssh.com and aes256-gcm@openssh.com (see aead.h).
#include <cstring>

#include "crypto/aead.h"
#include "crypto/bytes.h"
#include "crypto/gcm.h"

namespace tessan::crypto {
namespace {

class AesGcmContext : public AeadContext {
public:
    explicit AesGcmContext(size_t keyBytes) : keyBytes_(keyBytes) {}
    ~AesGcmContext() override { SecureWipe(fixed_, sizeof(fixed_)); }

    void SetKey(const uint8_t* key) override { gcm_.SetKey(key, keyBytes_); }
    void SetIv(const uint8_t* iv) override {
        std::memcpy(fixed_, iv, sizeof(fixed_));
        invocation_ = LoadBe64(iv + 4);
    }

    uint32_t PacketLength(const uint8_t* packet, uint32_t) const override {
        return LoadBe32(packet);
    }

    void Seal(uint8_t* packet, size_t length, uint32_t) override {
        uint8_t iv[12];
        Iv(iv);
        gcm_.Encrypt(iv, sizeof(iv), packet, 4, packet + 4, packet + 4, length - 4,
                     packet + length);
        ++invocation_;
    }

    bool Open(uint8_t* packet, size_t length, uint32_t) override {
        uint8_t iv[12];
        Iv(iv);
        if (!gcm_.Decrypt(iv, sizeof(iv), packet, 4, packet + 4, packet + 4, length - 4,
                          packet + length)) {
            return false;
        }
        ++invocation_;
        return true;
    }

private:
    void Iv(uint8_t iv[12]) const {
        std::memcpy(iv, fixed_, sizeof(fixed_));
        StoreBe64(iv + 4, invocation_);
    }

    AesGcm gcm_;
    size_t keyBytes_;
    uint8_t fixed_[4] = {};
    uint64_t invocation_ = 0;
};

}  // namespace

std::unique_ptr<AeadContext> CreateAesGcmContext(size_t keyBytes) {
    return std::make_unique<AesGcmContext>(keyBytes);
}

}  // namespace tessan::crypto
