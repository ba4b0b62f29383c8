// aes128-gcm@openssh.com and aes256-gcm@openssh.com (see aead.h): the 12-byte IV from the key
// exchange is a 4-byte fixed field and an 8-byte big-endian invocation counter that steps by one
// per packet, wrapping at 2^64; the length field is the additional authenticated data.
#include <cstring>

#include "crypto/aead.h"
#include "crypto/bytes.h"
#include "crypto/gcm.h"

namespace tessan::crypto {
namespace {

constexpr size_t kLengthField = 4;

class AesGcmContext : public AeadContext {
public:
    explicit AesGcmContext(size_t keyBytes) : keyBytes_(keyBytes) {}
    ~AesGcmContext() override { SecureWipe(fixed_, sizeof(fixed_)); }

    void SetKey(const uint8_t* key) override { gcm_.SetKey(key, keyBytes_); }
    void SetIv(const uint8_t* iv) override {
        std::memcpy(fixed_, iv, sizeof(fixed_));
        invocation_ = LoadBe64(iv + sizeof(fixed_));
    }

    uint32_t PacketLength(const uint8_t* wire, uint32_t) override { return LoadBe32(wire); }

    void Seal(uint8_t* packet, size_t bodyLength, uint32_t) override {
        uint8_t iv[12];
        Iv(iv);
        uint8_t* body = packet + kLengthField;
        gcm_.Encrypt(iv, sizeof(iv), packet, kLengthField, body, body, bodyLength,
                     body + bodyLength);
        ++invocation_;
    }

    // A packet that fails leaves the counter where it was; the connection ends on it anyway.
    bool Open(uint8_t* packet, size_t bodyLength, uint32_t) override {
        uint8_t iv[12];
        Iv(iv);
        uint8_t* body = packet + kLengthField;
        if (!gcm_.Decrypt(iv, sizeof(iv), packet, kLengthField, body, body, bodyLength,
                          body + bodyLength)) {
            return false;
        }
        ++invocation_;
        return true;
    }

private:
    void Iv(uint8_t iv[12]) const {
        std::memcpy(iv, fixed_, sizeof(fixed_));
        StoreBe64(iv + sizeof(fixed_), invocation_);
    }

    AesGcm gcm_;
    size_t keyBytes_;
    uint8_t fixed_[4] = {};
    uint64_t invocation_ = 0;
};

std::unique_ptr<AeadContext> CreateAes128() {
    return std::make_unique<AesGcmContext>(16);
}
std::unique_ptr<AeadContext> CreateAes256() {
    return std::make_unique<AesGcmContext>(32);
}

}  // namespace

const AeadDescriptor kAes128GcmAead{CreateAes128, 16, 12, 16};
const AeadDescriptor kAes256GcmAead{CreateAes256, 32, 12, 16};

}  // namespace tessan::crypto
