// Every SSH-2 and SSH-1 cipher against OpenSSL with random keys, IVs, lengths and split points:
// encryption must equal OpenSSL's, decryption must undo it, and a context must continue its chain
// or counter across calls exactly as one long call would.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>

#include "crypto/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/ssh1_cipher.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

constexpr int kRounds = 300;

struct EvpContext {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    ~EvpContext() { EVP_CIPHER_CTX_free(ctx); }

    // `keyLength` for the variable-length ciphers (Blowfish, RC4).
    void Init(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, bool encrypt) {
        ASSERT_EQ(EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, encrypt ? 1 : 0), 1);
        ASSERT_EQ(EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())), 1);
        EVP_CIPHER_CTX_set_padding(ctx, 0);
        ASSERT_EQ(EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(),
                                    iv.empty() ? nullptr : iv.data(), -1),
                  1);
    }
    void Update(uint8_t* data, size_t length) {
        if (length == 0) return;
        int outLength = 0;
        ASSERT_EQ(EVP_CipherUpdate(ctx, data, &outLength, data, static_cast<int>(length)), 1);
        ASSERT_EQ(static_cast<size_t>(outLength), length);
    }
};

// The SDCTR keystream built from OpenSSL's ECB over a big-endian counter of the block's width.
Bytes CounterModeWithEcb(const EVP_CIPHER* ecb, const Bytes& key, Bytes counter, Bytes data) {
    EvpContext evp;
    evp.Init(ecb, key, {}, true);
    for (size_t offset = 0; offset < data.size(); offset += counter.size()) {
        Bytes block = counter;
        evp.Update(block.data(), block.size());
        for (size_t i = 0; i < counter.size() && offset + i < data.size(); ++i)
            data[offset + i] ^= block[i];
        for (size_t i = counter.size(); i-- > 0;) {
            if (++counter[i] != 0) break;
        }
    }
    return data;
}

struct Oracle {
    const CipherDescriptor* descriptor;
    const char* evpName;  // CBC, CTR or stream cipher of the same kind
    const char* ecbName;  // for the 64-bit SDCTR modes, built on ECB
};

Bytes OracleEncrypt(const Oracle& oracle, const Bytes& key, const Bytes& iv, Bytes data) {
    if (oracle.ecbName != nullptr) {
        EVP_CIPHER* ecb = EVP_CIPHER_fetch(nullptr, oracle.ecbName, nullptr);
        data = CounterModeWithEcb(ecb, key, iv, data);
        EVP_CIPHER_free(ecb);
        return data;
    }
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, oracle.evpName, nullptr);
    EvpContext evp;
    evp.Init(cipher, key, oracle.descriptor->family == CipherFamily::kArcfour ? Bytes{} : iv, true);
    if (oracle.descriptor->family == CipherFamily::kArcfour) {
        Bytes discard(1536, 0);
        evp.Update(discard.data(), discard.size());
    }
    evp.Update(data.data(), data.size());
    EVP_CIPHER_free(cipher);
    return data;
}

class CipherOracle : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ForcePortableCrypto(GetParam());
        ASSERT_TRUE(LoadOpenSslLegacy());
    }
    void TearDown() override { ForcePortableCrypto(false); }
};

TEST_P(CipherOracle, Ssh2CiphersEqualOpenSslAcrossRandomSplits) {
    const Oracle oracles[] = {
        {&kAes256Ctr, "AES-256-CTR", nullptr},
        {&kAes256Cbc, "AES-256-CBC", nullptr},
        {&kAes256CbcAlias, "AES-256-CBC", nullptr},
        {&kAes192Ctr, "AES-192-CTR", nullptr},
        {&kAes192Cbc, "AES-192-CBC", nullptr},
        {&kAes128Ctr, "AES-128-CTR", nullptr},
        {&kAes128Cbc, "AES-128-CBC", nullptr},
        {&kBlowfishCtr, nullptr, "BF-ECB"},
        {&kBlowfishCbc, "BF-CBC", nullptr},
        {&kTripleDesCtr, nullptr, "DES-EDE3-ECB"},
        {&kTripleDesCbc, "DES-EDE3-CBC", nullptr},
        {&kDesCbc, "DES-CBC", nullptr},
        {&kDesCbcAlias, "DES-CBC", nullptr},
        {&kArcfour256, "RC4", nullptr},
        {&kArcfour128, "RC4", nullptr},
    };
    for (const Oracle& oracle : oracles) {
        const CipherDescriptor& d = *oracle.descriptor;
        const int rounds =
            d.family == CipherFamily::kBlowfish ? kRounds / 4 : kRounds;  // slow key schedule
        for (int round = 0; round < rounds; ++round) {
            const Bytes key = RandomBytesForTest(d.keyBytes);
            Bytes iv = RandomBytesForTest(d.blockSize == 1 ? 0 : d.blockSize);
            // Counters near the top, so carries and the wrap get exercised too.
            if (!d.cbc && !iv.empty() && round % 3 == 0) {
                for (size_t i = iv.size() - RandomSize(1, iv.size()); i < iv.size(); ++i)
                    iv[i] = 0xff;
            }
            const size_t blocks = RandomSize(0, round % 10 == 0 ? 300 : 40);
            const Bytes plain = RandomBytesForTest(blocks * d.blockSize);
            const Bytes expected = OracleEncrypt(oracle, key, iv, plain);

            // Several calls at random block boundaries, through one context per direction.
            auto encrypt = d.CreateContext();
            auto decrypt = d.CreateContext();
            encrypt->SetKey(key.data());
            decrypt->SetKey(key.data());
            if (!iv.empty()) {
                encrypt->SetIv(iv.data());
                decrypt->SetIv(iv.data());
            }
            Bytes data = plain;
            for (size_t offset = 0; offset < data.size();) {
                const size_t n = std::min(data.size() - offset, d.blockSize * RandomSize(0, 20));
                encrypt->Encrypt(data.data() + offset, n);
                offset += n;
            }
            ASSERT_EQ(ToHex(data), ToHex(expected)) << d.name << " round " << round;
            for (size_t offset = 0; offset < data.size();) {
                const size_t n = std::min(data.size() - offset, d.blockSize * RandomSize(0, 20));
                decrypt->Decrypt(data.data() + offset, n);
                offset += n;
            }
            ASSERT_EQ(ToHex(data), ToHex(plain)) << d.name << " round " << round;
        }
    }
}

// SSH-1: triple DES as three separate CBC layers (E k1, D k2, E k3), single DES CBC, and Blowfish
// CBC with each 32-bit half stored little-endian; all chains start at zero and run across calls.
TEST_P(CipherOracle, Ssh1CiphersEqualLayeredOpenSsl) {
    for (int round = 0; round < kRounds / 3; ++round) {
        const Bytes sessionKey = RandomBytesForTest(32);
        const Bytes plain = RandomBytesForTest(8 * RandomSize(1, 60));
        const Bytes zeroIv(8, 0);

        Bytes expected3des = plain;
        {
            EVP_CIPHER* des = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
            for (int layer = 0; layer < 3; ++layer) {
                EvpContext evp;
                evp.Init(des,
                         Bytes(sessionKey.begin() + 8 * layer, sessionKey.begin() + 8 * layer + 8),
                         zeroIv, layer != 1);
                evp.Update(expected3des.data(), expected3des.size());
            }
            EVP_CIPHER_free(des);
        }
        Bytes expectedDes = plain;
        {
            EVP_CIPHER* des = EVP_CIPHER_fetch(nullptr, "DES-CBC", nullptr);
            EvpContext evp;
            evp.Init(des, Bytes(sessionKey.begin(), sessionKey.begin() + 8), zeroIv, true);
            evp.Update(expectedDes.data(), expectedDes.size());
            EVP_CIPHER_free(des);
        }
        auto swapWords = [](Bytes data) {
            for (size_t i = 0; i < data.size(); i += 4)
                std::swap(data[i], data[i + 3]), std::swap(data[i + 1], data[i + 2]);
            return data;
        };
        Bytes expectedBlowfish = swapWords(plain);
        {
            EVP_CIPHER* bf = EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
            EvpContext evp;
            evp.Init(bf, sessionKey, zeroIv, true);
            evp.Update(expectedBlowfish.data(), expectedBlowfish.size());
            EVP_CIPHER_free(bf);
        }
        expectedBlowfish = swapWords(expectedBlowfish);

        for (const auto& [descriptor, expected] :
             {std::pair{&kSsh1TripleDes, &expected3des}, std::pair{&kSsh1Des, &expectedDes},
              std::pair{&kSsh1Blowfish, &expectedBlowfish}}) {
            auto context = descriptor->CreateContext();
            context->SetSessionKey(sessionKey.data());
            Bytes data = plain;
            const size_t split = 8 * RandomSize(0, data.size() / 8);
            context->Encrypt(data.data(), split);
            context->Encrypt(data.data() + split, data.size() - split);
            ASSERT_EQ(ToHex(data), ToHex(*expected)) << descriptor->displayName;
            // The same context decrypts with its own, separate chaining values.
            context->Decrypt(data.data(), data.size() - split);
            context->Decrypt(data.data() + data.size() - split, split);
            ASSERT_EQ(ToHex(data), ToHex(plain)) << descriptor->displayName;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, CipherOracle, ::testing::Values(false, true), PathName);

}  // namespace
}  // namespace tessan::crypto::test
