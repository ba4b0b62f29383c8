// X25519 against every Wycheproof case and against OpenSSL with random scalars and points, and
// the key agreement built on it (all-zero results refused, lengths checked).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "crypto/key_agreement.h"
#include "crypto/x25519.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

// A random source that hands out fixed bytes, so a key agreement uses a known secret.
RandomFill FixedRandom(const Bytes& bytes) {
    return [bytes](uint8_t* out, size_t length) {
        ASSERT_EQ(length, bytes.size());
        std::copy(bytes.begin(), bytes.end(), out);
    };
}

Bytes OpenSslX25519(const Bytes& privateKey, const Bytes& peer) {
    EVP_PKEY* ours = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, privateKey.data(), 32);
    EVP_PKEY* theirs = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peer.data(), 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(ours, nullptr);
    Bytes shared(32);
    size_t length = shared.size();
    const bool ok = EVP_PKEY_derive_init(ctx) == 1 && EVP_PKEY_derive_set_peer(ctx, theirs) == 1 &&
                    EVP_PKEY_derive(ctx, shared.data(), &length) == 1;
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(theirs);
    EVP_PKEY_free(ours);
    if (!ok) shared.clear();  // OpenSSL refuses an all-zero result
    return shared;
}

// Every case computes the published value; "acceptable" cases (twist points, small-order points,
// non-canonical u) are computed as RFC 7748 defines them, and the key agreement then refuses
// exactly the ones whose result is all zero.
TEST(X25519, Wycheproof) {
    const auto json = ReadJson("x25519/wycheproof_x25519_test.json");
    int checked = 0, refused = 0;
    for (const auto& group : json["testGroups"]) {
        for (const auto& t : group["tests"]) {
            const Bytes privateKey = Hex(t["private"].get<std::string>());
            const Bytes peer = Hex(t["public"].get<std::string>());
            const std::string shared = t["shared"].get<std::string>();
            const auto id = t["tcId"].get<int>();
            ASSERT_NE(t["result"], "invalid") << id;  // the set has none; decide if one appears

            uint8_t out[32];
            X25519(out, privateKey.data(), peer.data());
            EXPECT_EQ(ToHex(out, 32), shared) << "tcId " << id;

            auto agreement = CreateX25519KeyAgreement();
            agreement->GenerateKeyPair(FixedRandom(privateKey));
            const auto secret = agreement->SharedSecret(peer);
            const bool zero = shared == std::string(64, '0');
            EXPECT_EQ(secret.has_value(), !zero) << "tcId " << id;
            if (secret) {
                EXPECT_EQ(ToHex(secret->data(), secret->size()), shared) << id;
            }
            refused += zero;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 518);
    EXPECT_GT(refused, 20);
}

TEST(X25519, MatchesOpenSslForRandomScalarsAndPoints) {
    for (int round = 0; round < 200; ++round) {
        const Bytes a = RandomBytesForTest(32), b = RandomBytesForTest(32);
        uint8_t publicA[32], publicB[32];
        X25519PublicKey(publicA, a.data());
        X25519PublicKey(publicB, b.data());

        EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, a.data(), 32);
        uint8_t expected[32];
        size_t length = sizeof(expected);
        ASSERT_EQ(EVP_PKEY_get_raw_public_key(key, expected, &length), 1);
        EVP_PKEY_free(key);
        ASSERT_EQ(ToHex(publicA, 32), ToHex(expected, 32));

        // Both sides agree, and so does OpenSSL on a point that is not on the curve's main
        // subgroup (any 32 bytes, top bit set too).
        uint8_t sharedAb[32], sharedBa[32];
        X25519(sharedAb, a.data(), publicB);
        X25519(sharedBa, b.data(), publicA);
        ASSERT_EQ(ToHex(sharedAb, 32), ToHex(sharedBa, 32));
        const Bytes anyU = RandomBytesForTest(32);
        uint8_t ours[32];
        X25519(ours, a.data(), anyU.data());
        const Bytes theirs = OpenSslX25519(a, anyU);
        if (!theirs.empty()) {
            ASSERT_EQ(ToHex(ours, 32), ToHex(theirs)) << ToHex(anyU);
        }
    }
}

TEST(X25519, KeyAgreementRoundTripAndMisuse) {
    auto alice = CreateX25519KeyAgreement();
    auto bob = CreateX25519KeyAgreement();
    EXPECT_FALSE(alice->SharedSecret(Bytes(32, 9)).has_value());  // no secret yet
    const auto fill = [](uint8_t* out, size_t length) {
        const Bytes bytes = RandomBytesForTest(length);
        std::copy(bytes.begin(), bytes.end(), out);
    };
    const Bytes publicA = alice->GenerateKeyPair(fill);
    const Bytes publicB = bob->GenerateKeyPair(fill);
    ASSERT_EQ(publicA.size(), 32u);
    const auto ab = alice->SharedSecret(publicB);
    const auto ba = bob->SharedSecret(publicA);
    ASSERT_TRUE(ab && ba);
    EXPECT_EQ(*ab, *ba);

    Bytes longer = publicB;
    longer.push_back(0);
    EXPECT_FALSE(alice->SharedSecret(longer).has_value());
    EXPECT_FALSE(alice->SharedSecret(Bytes(publicB.begin(), publicB.end() - 1)).has_value());
    EXPECT_FALSE(alice->SharedSecret(Bytes(32, 0)).has_value());  // u = 0, small order
}

}  // namespace
}  // namespace tessan::crypto::test
