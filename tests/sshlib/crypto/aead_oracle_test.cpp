// AES-GCM, ChaCha20, Poly1305 and ChaCha20-Poly1305 against OpenSSL for every length 0..N,
// random IV and AAD sizes, split points and the ChaCha20 counter carry, on both paths.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include <numeric>

#include "crypto/chacha20.h"
#include "crypto/chacha20_poly1305.h"
#include "crypto/cpu_features.h"
#include "crypto/gcm.h"
#include "crypto/ghash.h"
#include "crypto/poly1305.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

class AeadOracle : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForcePortableCrypto(GetParam()); }
    void TearDown() override { ForcePortableCrypto(false); }
};

// OpenSSL's AEAD encryption: ciphertext followed by the 16-byte tag.
Bytes OpenSslSeal(const EVP_CIPHER* cipher, const Bytes& key, const Bytes& iv, const Bytes& aad,
                  const Bytes& plain) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, cipher, nullptr, nullptr, nullptr);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_SET_IVLEN, static_cast<int>(iv.size()), nullptr);
    EVP_EncryptInit_ex(ctx, nullptr, nullptr, key.data(), iv.data());
    int n = 0;
    if (!aad.empty()) EVP_EncryptUpdate(ctx, nullptr, &n, aad.data(), static_cast<int>(aad.size()));
    Bytes out(plain.size() + 16);
    if (!plain.empty()) {
        EVP_EncryptUpdate(ctx, out.data(), &n, plain.data(), static_cast<int>(plain.size()));
    }
    EVP_EncryptFinal_ex(ctx, out.data() + plain.size(), &n);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_GET_TAG, 16, out.data() + plain.size());
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

const EVP_CIPHER* GcmCipher(size_t keyBytes) {
    return keyBytes == 16   ? EVP_aes_128_gcm()
           : keyBytes == 24 ? EVP_aes_192_gcm()
                            : EVP_aes_256_gcm();
}

TEST_P(AeadOracle, AesGcmEveryLengthAndIvSize) {
    for (size_t keyBytes : {16, 24, 32}) {
        const Bytes key = RandomBytesForTest(keyBytes);
        AesGcm gcm;
        gcm.SetKey(key.data(), key.size());
        for (size_t length = 0; length <= 300; ++length) {
            SCOPED_TRACE(testing::Message() << keyBytes << " bytes of key, length " << length);
            const Bytes iv = RandomBytesForTest(length % 5 == 0 ? RandomSize(1, 40) : 12);
            const Bytes aad = RandomBytesForTest(RandomSize(0, 40));
            const Bytes plain = RandomBytesForTest(length);
            const Bytes expected = OpenSslSeal(GcmCipher(keyBytes), key, iv, aad, plain);

            Bytes sealed(length + 16);
            ASSERT_TRUE(gcm.Encrypt(iv.data(), iv.size(), aad.data(), aad.size(), plain.data(),
                                    sealed.data(), length, sealed.data() + length));
            ASSERT_EQ(ToHex(sealed), ToHex(expected));
            // In place, as the SSH packets are opened.
            ASSERT_TRUE(gcm.Decrypt(iv.data(), iv.size(), aad.data(), aad.size(), sealed.data(),
                                    sealed.data(), length, expected.data() + length));
            ASSERT_EQ(ToHex(sealed.data(), length), ToHex(plain));
        }
    }
}

TEST_P(AeadOracle, AesGcmLongMessages) {
    const Bytes key = RandomBytesForTest(16), iv = RandomBytesForTest(12);
    AesGcm gcm;
    gcm.SetKey(key.data(), key.size());
    for (size_t length : {1024, 4093, 16384, 32768 + 15}) {
        const Bytes plain = RandomBytesForTest(length);
        const Bytes expected = OpenSslSeal(EVP_aes_128_gcm(), key, iv, {}, plain);
        Bytes sealed(length + 16);
        gcm.Encrypt(iv.data(), iv.size(), nullptr, 0, plain.data(), sealed.data(), length,
                    sealed.data() + length);
        EXPECT_EQ(ToHex(sealed), ToHex(expected)) << length;
    }
}

TEST_P(AeadOracle, ChaCha20Poly1305EveryLength) {
    std::vector<size_t> lengths(701);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.insert(lengths.end(), {1024 + 5, 4096 + 960, 16384, 32768 + 3});
    for (const size_t length : lengths) {
        SCOPED_TRACE(length);
        const Bytes key = RandomBytesForTest(32), nonce = RandomBytesForTest(12);
        const Bytes aad = RandomBytesForTest(RandomSize(0, 40));
        const Bytes plain = RandomBytesForTest(length);
        const Bytes expected = OpenSslSeal(EVP_chacha20_poly1305(), key, nonce, aad, plain);
        Bytes sealed(length + 16);
        ChaCha20Poly1305Seal(key.data(), nonce.data(), aad.data(), aad.size(), plain.data(),
                             sealed.data(), length, sealed.data() + length);
        ASSERT_EQ(ToHex(sealed), ToHex(expected));
        ASSERT_TRUE(ChaCha20Poly1305Open(key.data(), nonce.data(), aad.data(), aad.size(),
                                         sealed.data(), sealed.data(), length,
                                         expected.data() + length));
        ASSERT_EQ(ToHex(sealed.data(), length), ToHex(plain));
    }
}

// The original layout carries the block counter from word 12 into word 13; the vector code
// must stop at that carry. OpenSSL computes each block alone from its explicit 64-bit counter.
TEST_P(AeadOracle, ChaCha20CounterCarriesIntoTheHighWord) {
    const Bytes key = RandomBytesForTest(32), nonce = RandomBytesForTest(8);
    // 13 or 32 blocks before the carry, then 27 or 8 after: every vector width meets it.
    for (uint64_t start : {0xfffffff3ULL, 0x1ffffffe0ULL}) {
        constexpr size_t kBlocks = 40;
        ChaCha20 ours;
        ours.SetKey(key.data());
        ours.SetNonce64(nonce.data(), start);
        Bytes stream(64 * kBlocks, 0);
        ours.Crypt(stream.data(), stream.data(), stream.size());
        for (size_t block = 0; block < kBlocks; ++block) {
            Bytes iv(16);
            StoreLe64(iv.data(), start + block);
            std::copy(nonce.begin(), nonce.end(), iv.begin() + 8);
            EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
            EVP_EncryptInit_ex(ctx, EVP_chacha20(), nullptr, key.data(), iv.data());
            Bytes expected(64, 0);
            int n = 0;
            EVP_EncryptUpdate(ctx, expected.data(), &n, expected.data(), 64);
            EVP_CIPHER_CTX_free(ctx);
            EXPECT_EQ(ToHex(stream.data() + 64 * block, 64), ToHex(expected)) << block;
        }
    }
}

Bytes OpenSslPoly1305(const Bytes& key, const Bytes& message) {
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "POLY1305", nullptr);
    EVP_MAC_CTX* ctx = EVP_MAC_CTX_new(mac);
    EVP_MAC_init(ctx, key.data(), key.size(), nullptr);
    EVP_MAC_update(ctx, message.data(), message.size());
    Bytes tag(16);
    size_t length = 0;
    EVP_MAC_final(ctx, tag.data(), &length, tag.size());
    EVP_MAC_CTX_free(ctx);
    EVP_MAC_free(mac);
    return tag;
}

// Long enough that some pieces take the four-block vector path and others the scalar one.
TEST_P(AeadOracle, Poly1305PiecesAtEverySplitEqualOneMessage) {
    const Bytes key = RandomBytesForTest(32);
    const Bytes message = RandomBytesForTest(307);
    const std::string expected = ToHex(OpenSslPoly1305(key, message));
    for (size_t first = 0; first <= message.size(); ++first) {
        for (size_t second = first; second <= message.size(); second += 7) {
            Poly1305 mac(key.data());
            mac.Update(message.data(), first);
            mac.Update(message.data() + first, second - first);
            mac.Update(message.data() + second, message.size() - second);
            uint8_t tag[16];
            mac.Finish(tag);
            ASSERT_EQ(ToHex(tag, 16), expected) << first << " " << second;
        }
    }
    // Keys with r and the accumulator near their limits, over long all-ones messages.
    for (size_t length : {0, 1, 15, 16, 17, 255, 256, 1000}) {
        const Bytes ones(length, 0xff);
        Bytes extreme(32, 0xff);
        uint8_t tag[16];
        Poly1305Tag(extreme.data(), ones.data(), ones.size(), tag);
        EXPECT_EQ(ToHex(tag, 16), ToHex(OpenSslPoly1305(extreme, ones))) << length;
    }
}

TEST(GhashPaths, PortableAndCarrylessMultiplyAgree) {
    if (!DetectedCpuFeatures().clmul) GTEST_SKIP() << "no PCLMULQDQ";
    for (int i = 0; i < 2000; ++i) {
        const Bytes a = RandomBytesForTest(16), b = RandomBytesForTest(16);
        const GhashElement x = GhashLoad(a.data()), y = GhashLoad(b.data());
        const GhashElement portable = GhashMultiplyPortable(x, y);
        const GhashElement clmul = GhashMultiplyClmul(x, y);
        ASSERT_EQ(portable.lo, clmul.lo);
        ASSERT_EQ(portable.hi, clmul.hi);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, AeadOracle, ::testing::Bool(), PathName);

}  // namespace
}  // namespace tessan::crypto::test
