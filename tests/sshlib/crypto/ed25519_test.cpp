// Ed25519 verification against every Wycheproof case and against signatures OpenSSL makes for
// random keys and messages, with corrupted signatures, keys and messages refused.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "crypto/ed25519.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

bool Verify(const Bytes& key, const Bytes& signature, const Bytes& message) {
    if (key.size() != kEd25519PublicKeyLength || signature.size() != kEd25519SignatureLength)
        return false;
    return Ed25519Verify(key.data(), signature.data(), message);
}

TEST(Ed25519, Wycheproof) {
    const auto json = ReadJson("ed25519/wycheproof_ed25519_test.json");
    int checked = 0;
    for (const auto& group : json["testGroups"]) {
        const Bytes key = Hex(group["publicKey"]["pk"].get<std::string>());
        for (const auto& t : group["tests"]) {
            ASSERT_NE(t["result"], "acceptable") << "tcId " << t["tcId"];  // none in this set
            const bool valid =
                Verify(key, Hex(t["sig"].get<std::string>()), Hex(t["msg"].get<std::string>()));
            EXPECT_EQ(valid, t["result"] == "valid") << "tcId " << t["tcId"] << " " << t["comment"];
            ++checked;
        }
    }
    EXPECT_EQ(checked, 150);
}

struct OpenSslSigner {
    EVP_PKEY* key = nullptr;
    Bytes publicKey = Bytes(32);

    explicit OpenSslSigner(const Bytes& seed) {
        key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), seed.size());
        size_t length = publicKey.size();
        EVP_PKEY_get_raw_public_key(key, publicKey.data(), &length);
    }
    ~OpenSslSigner() { EVP_PKEY_free(key); }

    Bytes Sign(const Bytes& message) const {
        Bytes signature(64);
        size_t length = signature.size();
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(ctx, signature.data(), &length, message.data(), message.size());
        EVP_MD_CTX_free(ctx);
        return signature;
    }
};

TEST(Ed25519, VerifiesOpenSslSignaturesAndRefusesEveryCorruption) {
    for (int round = 0; round < 60; ++round) {
        const OpenSslSigner signer(RandomBytesForTest(32));
        const Bytes message = RandomBytesForTest(RandomSize(0, 300));
        Bytes signature = signer.Sign(message);
        ASSERT_TRUE(Verify(signer.publicKey, signature, message)) << "round " << round;

        // One flipped bit anywhere in R or S, in the key or in the message.
        const size_t bit = RandomSize(0, 511);
        signature[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        EXPECT_FALSE(Verify(signer.publicKey, signature, message)) << "signature bit " << bit;
        signature[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        Bytes key = signer.publicKey;
        key[RandomSize(0, 31)] ^= static_cast<uint8_t>(1 << RandomSize(0, 7));
        EXPECT_FALSE(Verify(key, signature, message));
        Bytes changed = message;
        changed.push_back(0);
        EXPECT_FALSE(Verify(signer.publicKey, signature, changed));
    }
}

TEST(Ed25519, RefusesMalleableAndNonCanonicalEncodings) {
    const OpenSslSigner signer(RandomBytesForTest(32));
    const Bytes message = ToBytes("exchange hash");
    const Bytes signature = signer.Sign(message);
    ASSERT_TRUE(Verify(signer.publicKey, signature, message));

    // S + L verifies the same equation but must be refused (S must be below L).
    const Bytes order = Hex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
    Bytes plusOrder = signature;
    unsigned carry = 0;
    for (size_t i = 0; i < 32; ++i) {
        carry += plusOrder[32 + i] + order[i];
        plusOrder[32 + i] = static_cast<uint8_t>(carry);
        carry >>= 8;
    }
    EXPECT_FALSE(Verify(signer.publicKey, plusOrder, message));

    // A key with y = p + 1 (non-canonical encoding of y = 1) is refused; so is the key y = 1
    // with its sign bit set, since x = 0 there.
    Bytes nonCanonical(32, 0xff);
    nonCanonical[0] = 0xee;
    nonCanonical[31] = 0x7f;
    EXPECT_FALSE(Verify(nonCanonical, signature, message));
    Bytes negativeZero(32, 0);
    negativeZero[0] = 1;
    negativeZero[31] = 0x80;
    EXPECT_FALSE(Verify(negativeZero, signature, message));
}

}  // namespace
}  // namespace tessan::crypto::test
