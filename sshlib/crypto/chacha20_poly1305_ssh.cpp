// chacha20-poly1305@openssh.com (see aead.h).
#include <cstring>

#include "crypto/aead.h"
#include "crypto/bytes.h"
#include "crypto/chacha20.h"
#include "crypto/poly1305.h"

namespace tessan::crypto {
namespace {

class ChaCha20Poly1305Context : public AeadContext {
public:
    ~ChaCha20Poly1305Context() override { SecureWipe(headerKey_, sizeof(headerKey_)); }

    void SetKey(const uint8_t* key) override {
        main_.SetKey(key);
        std::memcpy(headerKey_, key + 32, sizeof(headerKey_));
    }
    void SetIv(const uint8_t*) override {}

    uint32_t PacketLength(const uint8_t* packet, uint32_t sequence) const override {
        uint8_t length[4];
        CryptLength(packet, length, sequence);
        return LoadBe32(length);
    }

    void Seal(uint8_t* packet, size_t length, uint32_t sequence) override {
        uint8_t polyKey[32];
        StartMain(sequence, polyKey);
        CryptLength(packet, packet, sequence);
        main_.Crypt(packet + 4, packet + 4, length - 4);
        Poly1305Tag(polyKey, packet, length, packet + length);
        SecureWipe(polyKey, sizeof(polyKey));
    }

    bool Open(uint8_t* packet, size_t length, uint32_t sequence) override {
        uint8_t polyKey[32], expected[16];
        StartMain(sequence, polyKey);
        Poly1305Tag(polyKey, packet, length, expected);
        SecureWipe(polyKey, sizeof(polyKey));
        if (!ConstantTimeEqual(expected, packet + length, sizeof(expected))) return false;
        CryptLength(packet, packet, sequence);
        main_.Crypt(packet + 4, packet + 4, length - 4);
        return true;
    }

private:
    static void Nonce(uint32_t sequence, uint8_t nonce[8]) { StoreBe64(nonce, sequence); }

    // The length field under K_1, block 0 (a keyed copy per call keeps PacketLength const).
    void CryptLength(const uint8_t* in, uint8_t* out, uint32_t sequence) const {
        uint8_t nonce[8];
        Nonce(sequence, nonce);
        ChaCha20 header;
        header.SetKey(headerKey_);
        header.SetNonce64(nonce, 0);
        header.Crypt(in, out, 4);
    }

    // K_2 at block 0 for the Poly1305 key, leaving the cipher at block 1 for the packet.
    void StartMain(uint32_t sequence, uint8_t polyKey[32]) {
        uint8_t nonce[8];
        Nonce(sequence, nonce);
        main_.SetNonce64(nonce, 0);
        static constexpr uint8_t kZeros[32] = {};
        main_.Crypt(kZeros, polyKey, 32);
    }

    ChaCha20 main_;
    uint8_t headerKey_[32] = {};
};

}  // namespace

std::unique_ptr<AeadContext> CreateChaCha20Poly1305Context() {
    return std::make_unique<ChaCha20Poly1305Context>();
}

}  // namespace tessan::crypto
