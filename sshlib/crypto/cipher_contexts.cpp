#include "crypto/cipher_contexts.h"

#include <cassert>
#include <cstring>

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/bytes.h"
#include "crypto/des.h"
#include "crypto/rc4.h"

namespace tessan::crypto {
namespace {

constexpr size_t kArcfourDiscard = 1536;

class AesContext : public CipherContext {
public:
    AesContext(size_t keyBytes, bool counterMode)
        : keyBytes_(keyBytes), counterMode_(counterMode) {}
    ~AesContext() override { SecureWipe(iv_, sizeof(iv_)); }
    void SetIv(const uint8_t* iv) override { std::memcpy(iv_, iv, sizeof(iv_)); }
    void SetKey(const uint8_t* key) override { aes_.SetKey(key, keyBytes_); }
    void Encrypt(uint8_t* data, size_t length) override {
        if (counterMode_) {
            aes_.CryptCtr(data, length, iv_);
        } else {
            aes_.EncryptCbc(data, length, iv_);
        }
    }
    void Decrypt(uint8_t* data, size_t length) override {
        if (counterMode_) {
            aes_.CryptCtr(data, length, iv_);
        } else {
            aes_.DecryptCbc(data, length, iv_);
        }
    }

private:
    Aes aes_;
    uint8_t iv_[16] = {};
    size_t keyBytes_;
    bool counterMode_;
};

// The three 64-bit block ciphers share their modes; Engine has SetKey(key, length) semantics
// adapted below and Encrypt/Decrypt on two big-endian words.
struct TripleDesEngine {
    TripleDes cipher;
    void SetKey(const uint8_t* key, size_t) { cipher.SetKey(key); }
    void Encrypt(uint32_t& l, uint32_t& r) const { cipher.Encrypt(l, r); }
    void Decrypt(uint32_t& l, uint32_t& r) const { cipher.Decrypt(l, r); }
};
struct DesEngine {
    Des cipher;
    void SetKey(const uint8_t* key, size_t) { cipher.SetKey(key); }
    void Encrypt(uint32_t& l, uint32_t& r) const { cipher.Encrypt(l, r); }
    void Decrypt(uint32_t& l, uint32_t& r) const { cipher.Decrypt(l, r); }
};
struct BlowfishEngine {
    Blowfish cipher;
    void SetKey(const uint8_t* key, size_t length) { cipher.SetKey(key, length); }
    void Encrypt(uint32_t& l, uint32_t& r) const { cipher.Encrypt(l, r); }
    void Decrypt(uint32_t& l, uint32_t& r) const { cipher.Decrypt(l, r); }
};

template <typename Engine>
class Block64Context : public CipherContext {
public:
    Block64Context(size_t keyBytes, bool counterMode)
        : keyBytes_(keyBytes), counterMode_(counterMode) {}
    ~Block64Context() override {
        chain_[0] = chain_[1] = 0;
        SecureWipe(chain_, sizeof(chain_));
    }
    void SetIv(const uint8_t* iv) override {
        chain_[0] = LoadBe32(iv);
        chain_[1] = LoadBe32(iv + 4);
    }
    void SetKey(const uint8_t* key) override { engine_.SetKey(key, keyBytes_); }

    void Encrypt(uint8_t* data, size_t length) override {
        if (counterMode_) return Counter(data, length);
        assert(length % 8 == 0);
        uint32_t l = chain_[0], r = chain_[1];
        for (size_t offset = 0; offset < length; offset += 8) {
            l ^= LoadBe32(data + offset);
            r ^= LoadBe32(data + offset + 4);
            engine_.Encrypt(l, r);
            StoreBe32(data + offset, l);
            StoreBe32(data + offset + 4, r);
        }
        chain_[0] = l;
        chain_[1] = r;
    }

    void Decrypt(uint8_t* data, size_t length) override {
        if (counterMode_) return Counter(data, length);
        assert(length % 8 == 0);
        uint32_t chainL = chain_[0], chainR = chain_[1];
        for (size_t offset = 0; offset < length; offset += 8) {
            const uint32_t cipherL = LoadBe32(data + offset);
            const uint32_t cipherR = LoadBe32(data + offset + 4);
            uint32_t l = cipherL, r = cipherR;
            engine_.Decrypt(l, r);
            StoreBe32(data + offset, l ^ chainL);
            StoreBe32(data + offset + 4, r ^ chainR);
            chainL = cipherL;
            chainR = cipherR;
        }
        chain_[0] = chainL;
        chain_[1] = chainR;
    }

private:
    void Counter(uint8_t* data, size_t length) {
        for (size_t offset = 0; offset < length; offset += 8) {
            uint32_t l = chain_[0], r = chain_[1];
            engine_.Encrypt(l, r);
            uint8_t keystream[8];
            StoreBe32(keystream, l);
            StoreBe32(keystream + 4, r);
            const size_t n = length - offset < 8 ? length - offset : 8;
            for (size_t i = 0; i < n; ++i)
                data[offset + i] ^= keystream[i];
            // The counter is one 64-bit big-endian integer: carry from the second word into the
            // first.
            if (++chain_[1] == 0) ++chain_[0];
        }
    }

    Engine engine_;
    uint32_t chain_[2] = {};
    size_t keyBytes_;
    bool counterMode_;
};

class ArcfourContext : public CipherContext {
public:
    explicit ArcfourContext(size_t keyBytes) : keyBytes_(keyBytes) {}
    void SetIv(const uint8_t*) override {}
    void SetKey(const uint8_t* key) override {
        rc4_.SetKey(key, keyBytes_);
        rc4_.Discard(kArcfourDiscard);
    }
    void Encrypt(uint8_t* data, size_t length) override { rc4_.Crypt(data, length); }
    void Decrypt(uint8_t* data, size_t length) override { rc4_.Crypt(data, length); }

private:
    Rc4 rc4_;
    size_t keyBytes_;
};

}  // namespace

std::unique_ptr<CipherContext> CreateAesCbcContext(size_t keyBytes) {
    return std::make_unique<AesContext>(keyBytes, false);
}
std::unique_ptr<CipherContext> CreateAesCtrContext(size_t keyBytes) {
    return std::make_unique<AesContext>(keyBytes, true);
}
std::unique_ptr<CipherContext> CreateTripleDesCbcContext() {
    return std::make_unique<Block64Context<TripleDesEngine>>(24, false);
}
std::unique_ptr<CipherContext> CreateTripleDesCtrContext() {
    return std::make_unique<Block64Context<TripleDesEngine>>(24, true);
}
std::unique_ptr<CipherContext> CreateDesCbcContext() {
    return std::make_unique<Block64Context<DesEngine>>(8, false);
}
std::unique_ptr<CipherContext> CreateBlowfishCbcContext(size_t keyBytes) {
    return std::make_unique<Block64Context<BlowfishEngine>>(keyBytes, false);
}
std::unique_ptr<CipherContext> CreateBlowfishCtrContext(size_t keyBytes) {
    return std::make_unique<Block64Context<BlowfishEngine>>(keyBytes, true);
}
std::unique_ptr<CipherContext> CreateArcfourContext(size_t keyBytes) {
    return std::make_unique<ArcfourContext>(keyBytes);
}

}  // namespace tessan::crypto
