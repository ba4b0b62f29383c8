// P-256: ECDH and ECDSA verification against every Wycheproof case SSH can express, and against
// OpenSSL with random scalars, keys and messages.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/sha.h>

#include <map>

#include "crypto/key_agreement.h"
#include "crypto/p256.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

// SubjectPublicKeyInfo of a named-curve P-256 key up to the point: SSH carries only the point.
constexpr std::string_view kNamedCurvePrefix =
    "3059301306072a8648ce3d020106082a8648ce3d030107034200";

// Wycheproof writes scalars as signed big-endian integers (a leading 00 when the top bit is
// set); SSH and our API take exactly 32 bytes.
Bytes Scalar32(const Bytes& value) {
    Bytes out(32, 0);
    size_t start = 0;
    while (value.size() - start > 32 && value[start] == 0)
        ++start;
    std::copy(value.begin() + static_cast<long>(start), value.end(),
              out.end() - static_cast<long>(value.size() - start));
    return out;
}

TEST(P256, EcdhWycheproof) {
    const auto json = ReadJson("p256/wycheproof_ecdh_secp256r1_test.json");
    int computed = 0;
    std::map<std::string, int> skipped;  // by first flag: encodings SSH never sends
    for (const auto& group : json["testGroups"]) {
        for (const auto& t : group["tests"]) {
            const std::string publicHex = t["public"].get<std::string>();
            const std::string result = t["result"].get<std::string>();
            if (publicHex.size() != kNamedCurvePrefix.size() + 130 ||
                publicHex.compare(0, kNamedCurvePrefix.size(), kNamedCurvePrefix) != 0) {
                ++skipped[t["flags"][0].get<std::string>()];
                continue;
            }
            const Bytes point = Hex(publicHex.substr(kNamedCurvePrefix.size()));
            const Bytes secret = Scalar32(Hex(t["private"].get<std::string>()));
            uint8_t shared[32];
            const bool ok = P256SharedSecret(shared, secret.data(), point);
            const auto id = t["tcId"].get<int>();
            if (result == "invalid") {
                EXPECT_FALSE(ok) << "tcId " << id;
            } else if (result == "acceptable" && !ok) {
                // A bit string edited after the point: we refuse it for being off the curve.
                EXPECT_FALSE(P256IsValidPoint(point)) << "tcId " << id;
            } else {
                ASSERT_TRUE(ok) << "tcId " << id;
                EXPECT_EQ(ToHex(shared, 32), t["shared"].get<std::string>()) << "tcId " << id;
            }
            ++computed;
        }
    }
    EXPECT_EQ(computed, 349);
    int skippedTotal = 0;
    for (const auto& [flag, count] : skipped)
        skippedTotal += count;
    EXPECT_EQ(computed + skippedTotal, 612);
    EXPECT_EQ(skipped.count("InvalidCurveAttack"), 0u);
}

// A strict DER SEQUENCE { INTEGER r, INTEGER s }: definite short or long lengths in minimal
// form, minimal integers, nothing trailing. Gives the integers' content bytes (two's complement).
bool ParseDerSignature(const Bytes& der, Bytes& r, Bytes& s) {
    size_t pos = 0;
    auto readLength = [&](size_t& length) {
        if (pos >= der.size()) return false;
        const uint8_t first = der[pos++];
        if (first < 0x80) {
            length = first;
            return true;
        }
        if (first != 0x81 || pos >= der.size() || der[pos] < 0x80) return false;
        length = der[pos++];
        return true;
    };
    auto readInteger = [&](Bytes& out) {
        size_t length = 0;
        if (pos >= der.size() || der[pos++] != 0x02 || !readLength(length)) return false;
        if (length == 0 || length > der.size() - pos) return false;
        if (length > 1 && der[pos] == 0 && der[pos + 1] < 0x80) return false;  // not minimal
        if (length > 1 && der[pos] == 0xff && der[pos + 1] >= 0x80) return false;
        out.assign(der.begin() + static_cast<long>(pos),
                   der.begin() + static_cast<long>(pos + length));
        pos += length;
        return true;
    };
    size_t total = 0;
    if (der.empty() || der[pos++] != 0x30 || !readLength(total) || total != der.size() - pos)
        return false;
    return readInteger(r) && readInteger(s) && pos == der.size();
}

TEST(P256, EcdsaWycheproof) {
    const auto json = ReadJson("p256/wycheproof_ecdsa_secp256r1_sha256_test.json");
    int checked = 0, notDer = 0, negative = 0;
    for (const auto& group : json["testGroups"]) {
        ASSERT_EQ(group["sha"], "SHA-256");
        const Bytes point = Hex(group["publicKey"]["uncompressed"].get<std::string>());
        for (const auto& t : group["tests"]) {
            const bool valid = t["result"] == "valid";
            ASSERT_NE(t["result"], "acceptable") << t["tcId"];  // none in this set
            Bytes r, s;
            if (!ParseDerSignature(Hex(t["sig"].get<std::string>()), r, s)) {
                EXPECT_FALSE(valid) << "tcId " << t["tcId"];
                ++notDer;  // BER and broken encodings: SSH sends two mpints instead
                continue;
            }
            if ((r[0] & 0x80) || (s[0] & 0x80)) {
                EXPECT_FALSE(valid) << "tcId " << t["tcId"];
                ++negative;  // a negative mpint, refused by the signature blob parser
                continue;
            }
            EXPECT_EQ(EcdsaP256Verify(point, r, s, Hex(t["msg"].get<std::string>())), valid)
                << "tcId " << t["tcId"] << " " << t["comment"];
            ++checked;
        }
    }
    EXPECT_EQ(checked + notDer + negative, 471);
    EXPECT_GT(checked, 250);
}

// OpenSSL as the other party: an EC key on P-256 and its uncompressed point.
struct OpenSslKey {
    EVP_PKEY* key = nullptr;
    Bytes point = Bytes(65);
    Bytes secret = Bytes(32);

    OpenSslKey() {
        key = EVP_EC_gen("P-256");
        size_t length = 0;
        EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(),
                                        &length);
        BIGNUM* d = nullptr;
        EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_PRIV_KEY, &d);
        BN_bn2binpad(d, secret.data(), 32);
        BN_free(d);
    }
    ~OpenSslKey() { EVP_PKEY_free(key); }
    OpenSslKey(const OpenSslKey&) = delete;
    OpenSslKey& operator=(const OpenSslKey&) = delete;
};

TEST(P256, KeyAgreementMatchesOpenSsl) {
    for (int round = 0; round < 30; ++round) {
        const OpenSslKey theirs;
        // Our public point for their secret is their point.
        uint8_t point[65];
        ASSERT_TRUE(P256PublicKey(point, theirs.secret.data()));
        ASSERT_EQ(ToHex(point, 65), ToHex(theirs.point));

        auto ours = CreateP256KeyAgreement();
        const Bytes ourPoint = ours->GenerateKeyPair([](uint8_t* out, size_t length) {
            const Bytes bytes = RandomBytesForTest(length);
            std::copy(bytes.begin(), bytes.end(), out);
        });
        ASSERT_TRUE(P256IsValidPoint(ourPoint));
        const auto shared = ours->SharedSecret(theirs.point);
        ASSERT_TRUE(shared.has_value());

        // OpenSSL derives the same x coordinate from its side.
        EVP_PKEY* peer = nullptr;
        {
            EVP_PKEY_CTX* pctx = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
            OSSL_PARAM params[] = {
                OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME,
                                                 const_cast<char*>("P-256"), 0),
                OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY,
                                                  const_cast<uint8_t*>(ourPoint.data()), 65),
                OSSL_PARAM_construct_end()};
            EVP_PKEY_fromdata_init(pctx);
            EVP_PKEY_fromdata(pctx, &peer, EVP_PKEY_PUBLIC_KEY, params);
            EVP_PKEY_CTX_free(pctx);
        }
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(theirs.key, nullptr);
        Bytes expected(32);
        size_t length = expected.size();
        ASSERT_EQ(EVP_PKEY_derive_init(ctx), 1);
        ASSERT_EQ(EVP_PKEY_derive_set_peer(ctx, peer), 1);
        ASSERT_EQ(EVP_PKEY_derive(ctx, expected.data(), &length), 1);
        EVP_PKEY_CTX_free(ctx);
        EVP_PKEY_free(peer);
        EXPECT_EQ(ToHex(shared->data(), shared->size()), ToHex(expected));
    }
}

// Scalars at the edges of the signed-window recoding (windows of 16, 17, 31, zero windows,
// scalars next to n) give OpenSSL's [k]G.
TEST(P256, EdgeScalarsMatchOpenSsl) {
    EC_GROUP* group = EC_GROUP_new_by_curve_name(NID_X9_62_prime256v1);
    const BigNum n = HexNumber("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551");
    std::vector<BigNum> scalars;
    for (uint64_t small : {1, 2, 3, 15, 16, 17, 31, 32, 33, 0x210, 0x3ff, 0x400})
        scalars.push_back(BigNum(small));
    for (uint64_t below : {1, 2, 15, 16, 17, 32, 33})
        scalars.push_back(BigNum::Sub(n, BigNum(below)));
    BigNum top;
    top.SetBit(255);
    scalars.push_back(top);
    scalars.push_back(
        HexNumber("8000000000000000000000000000000000000000000000000000000000000001"));
    scalars.push_back(HexNumber("10842108421084210842108421084210842108421084210842108421084210"));
    for (const BigNum& k : scalars) {
        Bytes secret(32);
        k.ToBytes(secret.data(), 32);
        uint8_t ours[65];
        ASSERT_TRUE(P256PublicKey(ours, secret.data())) << ToHex(secret);
        BIGNUM* bn = BN_bin2bn(secret.data(), 32, nullptr);
        EC_POINT* point = EC_POINT_new(group);
        EC_POINT_mul(group, point, bn, nullptr, nullptr, nullptr);
        uint8_t theirs[65];
        EC_POINT_point2oct(group, point, POINT_CONVERSION_UNCOMPRESSED, theirs, 65, nullptr);
        EXPECT_EQ(ToHex(ours, 65), ToHex(theirs, 65)) << ToHex(secret);
        EC_POINT_free(point);
        BN_free(bn);
    }
    EC_GROUP_free(group);
}

TEST(P256, RefusesBadScalarsAndPoints) {
    const OpenSslKey theirs;
    const Bytes order = Hex("ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551");
    Bytes orderMinus1 = order;
    orderMinus1[31] -= 1;
    uint8_t out[65];
    EXPECT_FALSE(P256PublicKey(out, Bytes(32, 0).data()));
    EXPECT_FALSE(P256PublicKey(out, order.data()));
    EXPECT_FALSE(P256PublicKey(out, Bytes(32, 0xff).data()));
    ASSERT_TRUE(P256PublicKey(out, orderMinus1.data()));  // -G: G's x, p - G's y
    EXPECT_EQ(ToHex(out, 33), "046b17d1f2e12c4247f8bce6e563a440f277037d812deb33a0f4a13945d898c296");

    Bytes point = theirs.point;
    const Bytes secret = RandomBytesForTest(32);
    EXPECT_TRUE(P256SharedSecret(out, secret.data(), point));
    struct Case {
        const char* what;
        Bytes point;
    };
    Bytes offCurve = point, compressed(point.begin(), point.begin() + 33), xTooBig = point;
    offCurve[64] ^= 1;
    compressed[0] = 0x02 | (point[64] & 1);
    std::fill(xTooBig.begin() + 1, xTooBig.begin() + 33, 0xff);
    Bytes longer = point;
    longer.push_back(0);
    Bytes hybrid = point;
    hybrid[0] = 0x06 | (point[64] & 1);
    for (const Case& c :
         {Case{"off the curve", offCurve}, Case{"compressed", compressed}, Case{"x >= p", xTooBig},
          Case{"trailing byte", longer}, Case{"hybrid", hybrid}, Case{"infinity", Bytes{0x00}},
          Case{"empty", Bytes{}}}) {
        EXPECT_FALSE(P256IsValidPoint(c.point)) << c.what;
        EXPECT_FALSE(P256SharedSecret(out, secret.data(), c.point)) << c.what;
    }
}

TEST(P256, VerifiesOpenSslSignaturesAndRefusesCorruptions) {
    for (int round = 0; round < 40; ++round) {
        const OpenSslKey signer;
        const Bytes message = RandomBytesForTest(RandomSize(0, 200));
        uint8_t digest[32];
        SHA256(message.data(), message.size(), digest);
        EC_KEY* ecKey = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
        BIGNUM* d = BN_bin2bn(signer.secret.data(), 32, nullptr);
        EC_KEY_set_private_key(ecKey, d);
        ECDSA_SIG* sig = ECDSA_do_sign(digest, 32, ecKey);
        Bytes r(static_cast<size_t>(BN_num_bytes(ECDSA_SIG_get0_r(sig))));
        Bytes s(static_cast<size_t>(BN_num_bytes(ECDSA_SIG_get0_s(sig))));
        BN_bn2bin(ECDSA_SIG_get0_r(sig), r.data());
        BN_bn2bin(ECDSA_SIG_get0_s(sig), s.data());
        ECDSA_SIG_free(sig);
        BN_free(d);
        EC_KEY_free(ecKey);

        ASSERT_TRUE(EcdsaP256Verify(signer.point, r, s, message)) << "round " << round;
        Bytes paddedR(40 - r.size(), 0);
        paddedR.insert(paddedR.end(), r.begin(), r.end());
        EXPECT_TRUE(EcdsaP256Verify(signer.point, paddedR, s, message));

        Bytes changed = message;
        changed.push_back(1);
        EXPECT_FALSE(EcdsaP256Verify(signer.point, r, s, changed));
        Bytes badR = r, badS = s;
        badR[RandomSize(0, r.size() - 1)] ^= static_cast<uint8_t>(1 << RandomSize(0, 7));
        badS[RandomSize(0, s.size() - 1)] ^= static_cast<uint8_t>(1 << RandomSize(0, 7));
        EXPECT_FALSE(EcdsaP256Verify(signer.point, badR, s, message));
        EXPECT_FALSE(EcdsaP256Verify(signer.point, r, badS, message));
        const OpenSslKey other;
        EXPECT_FALSE(EcdsaP256Verify(other.point, r, s, message));
    }
}

}  // namespace
}  // namespace tessan::crypto::test
