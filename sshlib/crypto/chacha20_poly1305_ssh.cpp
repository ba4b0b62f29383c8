// chacha20-poly1305@openssh.com (see aead.h). 64 bytes of key: K_2, the main key, then K_1, the
// header key. The nonce is the sequence number as a big-endian uint64 in ChaCha20's original
// layout. K_1 from block 0 encrypts the length field; K_2's block 0 gives the Poly1305 key and
// its blocks from 1 on encrypt the body; the tag covers the encrypted length and body.
#include <cstring>

#include "crypto/aead.h"
#include "crypto/bytes.h"
#include "crypto/chacha20.h"
#include "crypto/poly1305.h"

namespace tessan::crypto {
namespace {

constexpr size_t kLengthField = 4;

class ChaCha20Poly1305Context : public AeadContext {
public:
    void SetKey(const uint8_t* key) override {
        main_.SetKey(key);
        header_.SetKey(key + 32);
    }
    void SetIv(const uint8_t*) override {}

    uint32_t PacketLength(const uint8_t* wire, uint32_t sequence) override {
        uint8_t length[kLengthField];
        CryptLength(wire, length, sequence);
        return LoadBe32(length);
    }

    void Seal(uint8_t* packet, size_t bodyLength, uint32_t sequence) override {
        uint8_t polyKey[32];
        StartBody(sequence, polyKey);
        CryptLength(packet, packet, sequence);
        main_.Crypt(packet + kLengthField, packet + kLengthField, bodyLength);
        Poly1305Tag(polyKey, packet, kLengthField + bodyLength, packet + kLengthField + bodyLength);
        SecureWipe(polyKey, sizeof(polyKey));
    }

    bool Open(uint8_t* packet, size_t bodyLength, uint32_t sequence) override {
        uint8_t polyKey[32], expected[16];
        StartBody(sequence, polyKey);
        Poly1305Tag(polyKey, packet, kLengthField + bodyLength, expected);
        SecureWipe(polyKey, sizeof(polyKey));
        if (!ConstantTimeEqual(expected, packet + kLengthField + bodyLength, sizeof(expected)))
            return false;
        main_.Crypt(packet + kLengthField, packet + kLengthField, bodyLength);
        return true;
    }

private:
    static void Nonce(uint32_t sequence, uint8_t nonce[8]) { StoreBe64(nonce, sequence); }

    void CryptLength(const uint8_t* in, uint8_t* out, uint32_t sequence) {
        uint8_t nonce[8];
        Nonce(sequence, nonce);
        header_.SetNonce64(nonce, 0);
        header_.Crypt(in, out, kLengthField);
    }

    // K_2 at block 0 for the Poly1305 key, which leaves the cipher at block 1 for the body.
    void StartBody(uint32_t sequence, uint8_t polyKey[32]) {
        uint8_t nonce[8];
        Nonce(sequence, nonce);
        main_.SetNonce64(nonce, 0);
        static constexpr uint8_t kZeros[32] = {};
        main_.Crypt(kZeros, polyKey, sizeof(kZeros));
    }

    ChaCha20 main_;
    ChaCha20 header_;
};

std::unique_ptr<AeadContext> CreateContext() {
    return std::make_unique<ChaCha20Poly1305Context>();
}

}  // namespace

const AeadDescriptor kChaCha20Poly1305Aead{CreateContext, 64, 0, 16};

}  // namespace tessan::crypto
