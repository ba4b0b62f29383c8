#include "crypto/blowfish.h"
#include "crypto/bytes.h"
#include "crypto/des.h"
#include "crypto/ssh1_cipher.h"

namespace tessan::crypto {
namespace {

// One DES CBC layer with its own chaining value (big-endian words).
struct DesCbcLayer {
    Des des;
    uint32_t chain[2] = {};

    ~DesCbcLayer() { SecureWipe(chain, sizeof(chain)); }

    void Encrypt(uint8_t* data, size_t length) {
        uint32_t l = chain[0], r = chain[1];
        for (size_t offset = 0; offset < length; offset += 8) {
            l ^= LoadBe32(data + offset);
            r ^= LoadBe32(data + offset + 4);
            des.Encrypt(l, r);
            StoreBe32(data + offset, l);
            StoreBe32(data + offset + 4, r);
        }
        chain[0] = l;
        chain[1] = r;
    }

    void Decrypt(uint8_t* data, size_t length) {
        for (size_t offset = 0; offset < length; offset += 8) {
            const uint32_t cipherL = LoadBe32(data + offset);
            const uint32_t cipherR = LoadBe32(data + offset + 4);
            uint32_t l = cipherL, r = cipherR;
            des.Decrypt(l, r);
            StoreBe32(data + offset, l ^ chain[0]);
            StoreBe32(data + offset + 4, r ^ chain[1]);
            chain[0] = cipherL;
            chain[1] = cipherR;
        }
    }
};

// Three separate CBC layers: encrypt = CBC-E(k1), CBC-D(k2), CBC-E(k3); decrypt undoes them in
// reverse order with its own schedules and chaining values.
class TripleDesInnerCbc : public Ssh1CipherContext {
public:
    void SetSessionKey(const uint8_t* key) override {
        for (int i = 0; i < 3; ++i) {
            encrypt_[i].des.SetKey(key + 8 * i);
            decrypt_[i].des.SetKey(key + 8 * i);
        }
    }
    void Encrypt(uint8_t* data, size_t length) override {
        encrypt_[0].Encrypt(data, length);
        encrypt_[1].Decrypt(data, length);
        encrypt_[2].Encrypt(data, length);
    }
    void Decrypt(uint8_t* data, size_t length) override {
        decrypt_[2].Decrypt(data, length);
        decrypt_[1].Encrypt(data, length);
        decrypt_[0].Decrypt(data, length);
    }

private:
    DesCbcLayer encrypt_[3];
    DesCbcLayer decrypt_[3];
};

class SingleDesCbc : public Ssh1CipherContext {
public:
    void SetSessionKey(const uint8_t* key) override {
        encrypt_.des.SetKey(key);
        decrypt_.des.SetKey(key);
    }
    void Encrypt(uint8_t* data, size_t length) override { encrypt_.Encrypt(data, length); }
    void Decrypt(uint8_t* data, size_t length) override { decrypt_.Decrypt(data, length); }

private:
    DesCbcLayer encrypt_;
    DesCbcLayer decrypt_;
};

// Blowfish CBC reading and writing each 32-bit half little-endian.
class BlowfishLittleEndianCbc : public Ssh1CipherContext {
public:
    ~BlowfishLittleEndianCbc() override {
        SecureWipe(encryptChain_, sizeof(encryptChain_));
        SecureWipe(decryptChain_, sizeof(decryptChain_));
    }
    void SetSessionKey(const uint8_t* key) override { blowfish_.SetKey(key, 32); }
    void Encrypt(uint8_t* data, size_t length) override {
        uint32_t l = encryptChain_[0], r = encryptChain_[1];
        for (size_t offset = 0; offset < length; offset += 8) {
            l ^= LoadLe32(data + offset);
            r ^= LoadLe32(data + offset + 4);
            blowfish_.Encrypt(l, r);
            StoreLe32(data + offset, l);
            StoreLe32(data + offset + 4, r);
        }
        encryptChain_[0] = l;
        encryptChain_[1] = r;
    }
    void Decrypt(uint8_t* data, size_t length) override {
        for (size_t offset = 0; offset < length; offset += 8) {
            const uint32_t cipherL = LoadLe32(data + offset);
            const uint32_t cipherR = LoadLe32(data + offset + 4);
            uint32_t l = cipherL, r = cipherR;
            blowfish_.Decrypt(l, r);
            StoreLe32(data + offset, l ^ decryptChain_[0]);
            StoreLe32(data + offset + 4, r ^ decryptChain_[1]);
            decryptChain_[0] = cipherL;
            decryptChain_[1] = cipherR;
        }
    }

private:
    Blowfish blowfish_;  // one schedule: Blowfish decrypts with the same P-array and S-boxes
    uint32_t encryptChain_[2] = {};
    uint32_t decryptChain_[2] = {};
};

template <typename Context>
std::unique_ptr<Ssh1CipherContext> Create() {
    return std::make_unique<Context>();
}

}  // namespace

const Ssh1CipherDescriptor kSsh1TripleDes{Create<TripleDesInnerCbc>, CipherFamily::kTripleDes, 8,
                                          "triple-DES inner-CBC", 3};
const Ssh1CipherDescriptor kSsh1Des{Create<SingleDesCbc>, CipherFamily::kSingleDes, 8,
                                    "single-DES CBC", 2};
const Ssh1CipherDescriptor kSsh1Blowfish{Create<BlowfishLittleEndianCbc>, CipherFamily::kBlowfish,
                                         8, "Blowfish-128 CBC", 6};

const Ssh1CipherDescriptor* ChooseSsh1Cipher(const CipherPreference& preference,
                                             uint32_t supportedMask) {
    for (const int code : preference) {
        const Ssh1CipherDescriptor* candidate = nullptr;
        switch (code) {
            case static_cast<int>(CipherFamily::kTripleDes):
                candidate = &kSsh1TripleDes;
                break;
            case static_cast<int>(CipherFamily::kBlowfish):
                candidate = &kSsh1Blowfish;
                break;
            case static_cast<int>(CipherFamily::kSingleDes):
                candidate = &kSsh1Des;
                break;
            default:
                continue;
        }
        if ((supportedMask >> candidate->number) & 1) return candidate;
    }
    return nullptr;
}

}  // namespace tessan::crypto
