// The modern host-key algorithms: "rsa-sha2-256" and "rsa-sha2-512" against every Wycheproof
// PKCS #1 v1.5 case and OpenSSL signatures, "ssh-ed25519" and "ecdsa-sha2-nistp256" blobs and
// signature blobs built from OpenSSL keys, malformed blobs refused, the registry's lists, and the
// SHA-256 fingerprint form.
#include <gtest/gtest.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include "crypto/host_key.h"
#include "crypto/rsa.h"
#include "crypto/wire.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

Bytes RsaBlob(const BigNum& e, const BigNum& n) {
    return RsaKeyBlob(RsaPublicKey{e, n});
}

Bytes SignatureBlob(std::string_view name, const Bytes& signature) {
    Bytes blob;
    AppendString(blob, name);
    AppendString(blob, signature);
    return blob;
}

// "MissingNull" signatures (DigestInfo without the NULL parameters) are "acceptable" to
// Wycheproof; we compare against the one encoding RFC 8017 produces and refuse them.
void CheckRsaWycheproof(std::string_view file, const HostKeyAlgorithm& algorithm, int expected) {
    const auto json = ReadJson(file);
    int checked = 0;
    for (const auto& group : json["testGroups"]) {
        const BigNum n = HexNumber(group["publicKey"]["modulus"].get<std::string>());
        const BigNum e = HexNumber(group["publicKey"]["publicExponent"].get<std::string>());
        const auto key = algorithm.FromBlob(RsaBlob(e, n));
        ASSERT_NE(key, nullptr);
        for (const auto& t : group["tests"]) {
            const Bytes signature = Hex(t["sig"].get<std::string>());
            const bool ok = key->Verify(SignatureBlob(algorithm.name, signature),
                                        Hex(t["msg"].get<std::string>()));
            EXPECT_EQ(ok, t["result"] == "valid") << file << " tcId " << t["tcId"];
            ++checked;
        }
    }
    EXPECT_EQ(checked, expected);
}

TEST(RsaSha2HostKey, Wycheproof) {
    CheckRsaWycheproof("rsa/wycheproof_rsa_signature_2048_sha256_test.json", kRsaSha2_256, 259);
    CheckRsaWycheproof("rsa/wycheproof_rsa_signature_2048_sha512_test.json", kRsaSha2_512, 259);
}

TEST(RsaSha2HostKey, OpenSslSignaturesUnderEachName) {
    EVP_PKEY* pkey = EVP_RSA_gen(2048);
    BIGNUM *n = nullptr, *e = nullptr;
    EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_N, &n);
    EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_E, &e);
    Bytes nBytes(static_cast<size_t>(BN_num_bytes(n))),
        eBytes(static_cast<size_t>(BN_num_bytes(e)));
    BN_bn2bin(n, nBytes.data());
    BN_bn2bin(e, eBytes.data());
    const Bytes blob = RsaBlob(BigNum::FromBytes(eBytes), BigNum::FromBytes(nBytes));
    BN_free(n);
    BN_free(e);

    struct Case {
        const HostKeyAlgorithm* algorithm;
        const EVP_MD* md;
    };
    for (const Case& c : {Case{&kRsaSha2_256, EVP_sha256()}, Case{&kRsaSha2_512, EVP_sha512()}}) {
        const auto key = c.algorithm->FromBlob(blob);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->AlgorithmName(), c.algorithm->name);
        EXPECT_EQ(key->Fingerprint(),
                  kSshRsa.FromBlob(blob)->Fingerprint());  // same key, same text
        for (int round = 0; round < 10; ++round) {
            const Bytes message = RandomBytesForTest(RandomSize(0, 100));
            Bytes signature(256);
            size_t length = signature.size();
            EVP_MD_CTX* ctx = EVP_MD_CTX_new();
            EVP_DigestSignInit(ctx, nullptr, c.md, nullptr, pkey);
            EVP_DigestSign(ctx, signature.data(), &length, message.data(), message.size());
            EVP_MD_CTX_free(ctx);
            signature.resize(length);

            EXPECT_TRUE(key->Verify(SignatureBlob(c.algorithm->name, signature), message));
            // The same signature under any other name, with a trailing byte, or over other data.
            for (std::string_view other : {"ssh-rsa", "rsa-sha2-256", "rsa-sha2-512"}) {
                if (other != c.algorithm->name) {
                    EXPECT_FALSE(key->Verify(SignatureBlob(other, signature), message)) << other;
                }
            }
            Bytes trailing = SignatureBlob(c.algorithm->name, signature);
            trailing.push_back(0);
            EXPECT_FALSE(key->Verify(trailing, message));
            Bytes changed = message;
            changed.push_back('x');
            EXPECT_FALSE(key->Verify(SignatureBlob(c.algorithm->name, signature), changed));
        }
    }
    EVP_PKEY_free(pkey);
}

TEST(RsaSha2HostKey, RefusesModuliBelow1024Bits) {
    BigNum n1016;
    n1016.SetBit(1015);
    n1016.SetBit(0);
    BigNum n1024;
    n1024.SetBit(1023);
    n1024.SetBit(0);
    for (const HostKeyAlgorithm* algorithm : {&kRsaSha2_256, &kRsaSha2_512}) {
        EXPECT_EQ(algorithm->FromBlob(RsaBlob(BigNum(65537), n1016)), nullptr);
        EXPECT_NE(algorithm->FromBlob(RsaBlob(BigNum(65537), n1024)), nullptr);
    }
    EXPECT_NE(kSshRsa.FromBlob(RsaBlob(BigNum(65537), n1016)), nullptr);
}

Bytes Ed25519KeyBlob(const Bytes& key) {
    Bytes blob;
    AppendString(blob, "ssh-ed25519");
    AppendString(blob, key);
    return blob;
}

Bytes EcdsaKeyBlob(const Bytes& point, std::string_view curve = "nistp256") {
    Bytes blob;
    AppendString(blob, "ecdsa-sha2-nistp256");
    AppendString(blob, curve);
    AppendString(blob, point);
    return blob;
}

Bytes EcdsaSignatureBlob(const Bytes& r, const Bytes& s) {
    Bytes inner;
    AppendMpint(inner, BigNum::FromBytes(r));
    AppendMpint(inner, BigNum::FromBytes(s));
    return SignatureBlob("ecdsa-sha2-nistp256", inner);
}

// A fresh OpenSSL key of either type: its SSH public-key blob and a signer giving SSH signature
// blobs.
struct OpenSslHostKey {
    EVP_PKEY* pkey = nullptr;
    bool ed25519;
    Bytes blob;

    explicit OpenSslHostKey(bool isEd25519) : ed25519(isEd25519) {
        if (ed25519) {
            pkey = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
            Bytes key(32);
            size_t length = key.size();
            EVP_PKEY_get_raw_public_key(pkey, key.data(), &length);
            blob = Ed25519KeyBlob(key);
        } else {
            pkey = EVP_EC_gen("P-256");
            Bytes point(65);
            size_t length = 0;
            EVP_PKEY_get_octet_string_param(pkey, OSSL_PKEY_PARAM_PUB_KEY, point.data(), 65,
                                            &length);
            blob = EcdsaKeyBlob(point);
        }
    }
    ~OpenSslHostKey() { EVP_PKEY_free(pkey); }
    OpenSslHostKey(const OpenSslHostKey&) = delete;
    OpenSslHostKey& operator=(const OpenSslHostKey&) = delete;

    Bytes Sign(const Bytes& message) const {
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        EVP_DigestSignInit(ctx, nullptr, ed25519 ? nullptr : EVP_sha256(), nullptr, pkey);
        Bytes der(80);
        size_t length = der.size();
        EVP_DigestSign(ctx, der.data(), &length, message.data(), message.size());
        EVP_MD_CTX_free(ctx);
        der.resize(length);
        if (ed25519) return SignatureBlob("ssh-ed25519", der);
        const uint8_t* p = der.data();
        ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(der.size()));
        Bytes r(static_cast<size_t>(BN_num_bytes(ECDSA_SIG_get0_r(sig))));
        Bytes s(static_cast<size_t>(BN_num_bytes(ECDSA_SIG_get0_s(sig))));
        BN_bn2bin(ECDSA_SIG_get0_r(sig), r.data());
        BN_bn2bin(ECDSA_SIG_get0_s(sig), s.data());
        ECDSA_SIG_free(sig);
        return EcdsaSignatureBlob(r, s);
    }
};

// OpenSSL's own SHA-256 and Base64 of the blob, with the padding cut off.
std::string ExpectedSha256Fingerprint(const Bytes& blob) {
    uint8_t digest[32];
    SHA256(blob.data(), blob.size(), digest);
    char base64[48];
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64), digest, 32);
    std::string text = std::string("SHA256:") + base64;
    while (text.back() == '=')
        text.pop_back();
    return text;
}

TEST(ModernHostKey, OpenSslKeysAndSignatures) {
    for (const bool ed25519 : {true, false}) {
        const HostKeyAlgorithm& algorithm = ed25519 ? kSshEd25519 : kEcdsaSha2Nistp256;
        for (int round = 0; round < 10; ++round) {
            const OpenSslHostKey host(ed25519);
            const auto key = algorithm.FromBlob(host.blob);
            ASSERT_NE(key, nullptr);
            EXPECT_EQ(key->AlgorithmName(), algorithm.name);
            EXPECT_EQ(key->Bits(), 256u);
            EXPECT_EQ(key->PublicKeyBlob(), host.blob);
            EXPECT_EQ(key->Sha256Fingerprint(), ExpectedSha256Fingerprint(host.blob));
            EXPECT_EQ(key->Fingerprint().substr(0, algorithm.name.size() + 5),
                      std::string(algorithm.name) + " 256 ");

            const Bytes message = RandomBytesForTest(32);
            const Bytes signature = host.Sign(message);
            EXPECT_TRUE(key->Verify(signature, message)) << algorithm.name;
            Bytes trailing = signature;
            trailing.push_back(0);
            EXPECT_FALSE(key->Verify(trailing, message));
            const OpenSslHostKey other(ed25519);
            EXPECT_FALSE(algorithm.FromBlob(other.blob)->Verify(signature, message));
        }
    }
}

TEST(ModernHostKey, MalformedKeyBlobsAreRefused) {
    const OpenSslHostKey ecdsa(false);
    Bytes point(ecdsa.blob.end() - 65, ecdsa.blob.end());
    Bytes offCurve = point;
    offCurve[64] ^= 1;
    Bytes compressed(point.begin(), point.begin() + 33);
    compressed[0] = 0x02 | (point[64] & 1);
    Bytes trailing = ecdsa.blob;
    trailing.push_back(0);
    Bytes renamed = Ed25519KeyBlob(Bytes(32, 1));
    renamed[7] ^= 1;
    struct Case {
        const char* what;
        const HostKeyAlgorithm* algorithm;
        Bytes blob;
    };
    const Case cases[] = {
        {"ed25519 key of 31 bytes", &kSshEd25519, Ed25519KeyBlob(Bytes(31, 1))},
        {"ed25519 key of 33 bytes", &kSshEd25519, Ed25519KeyBlob(Bytes(33, 1))},
        {"ed25519 other name", &kSshEd25519, renamed},
        {"ed25519 blob under ecdsa", &kEcdsaSha2Nistp256, Ed25519KeyBlob(Bytes(32, 1))},
        {"ecdsa point off the curve", &kEcdsaSha2Nistp256, EcdsaKeyBlob(offCurve)},
        {"ecdsa compressed point", &kEcdsaSha2Nistp256, EcdsaKeyBlob(compressed)},
        {"ecdsa other curve", &kEcdsaSha2Nistp256, EcdsaKeyBlob(point, "nistp384")},
        {"ecdsa trailing byte", &kEcdsaSha2Nistp256, trailing},
        {"ecdsa truncated", &kEcdsaSha2Nistp256, Bytes(ecdsa.blob.begin(), ecdsa.blob.end() - 1)},
        {"rsa-sha2 with a dss blob", &kRsaSha2_256, Ed25519KeyBlob(Bytes(32, 1))},
        {"empty", &kSshEd25519, Bytes{}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.algorithm->FromBlob(c.blob), nullptr) << c.what;
    Bytes ed25519Trailing = Ed25519KeyBlob(Bytes(32, 1));
    ed25519Trailing.push_back(0);
    EXPECT_EQ(kSshEd25519.FromBlob(ed25519Trailing), nullptr);
}

TEST(ModernHostKey, MalformedSignatureBlobsAreRefused) {
    const OpenSslHostKey ed(true), ecdsa(false);
    const Bytes message = ToBytes("hash");
    const auto edKey = kSshEd25519.FromBlob(ed.blob);
    const auto ecKey = kEcdsaSha2Nistp256.FromBlob(ecdsa.blob);
    const Bytes edSignature = ed.Sign(message);
    ASSERT_TRUE(edKey->Verify(edSignature, message));
    const Bytes raw(edSignature.end() - 64, edSignature.end());
    EXPECT_FALSE(
        edKey->Verify(SignatureBlob("ssh-ed25519", Bytes(raw.begin(), raw.end() - 1)), message));
    EXPECT_FALSE(edKey->Verify(SignatureBlob("ssh-ed25519x", raw), message));
    EXPECT_FALSE(edKey->Verify(raw, message));

    const Bytes r = RandomBytesForTest(32), s = RandomBytesForTest(32);
    Bytes negative;  // r written as a negative mpint
    AppendString(negative, Bytes{0x80, 0x01});
    AppendMpint(negative, BigNum::FromBytes(s));
    Bytes tooLong;
    AppendMpint(tooLong, BigNum::FromBytes(RandomBytesForTest(33)));
    AppendMpint(tooLong, BigNum::FromBytes(s));
    Bytes onlyR;
    AppendMpint(onlyR, BigNum::FromBytes(r));
    Bytes extra;
    AppendMpint(extra, BigNum::FromBytes(r));
    AppendMpint(extra, BigNum::FromBytes(s));
    extra.push_back(0);
    for (const Bytes& inner : {negative, tooLong, onlyR, extra, Bytes{}})
        EXPECT_FALSE(ecKey->Verify(SignatureBlob("ecdsa-sha2-nistp256", inner), message));
    EXPECT_TRUE(ecKey->Verify(ecdsa.Sign(message), message));
}

TEST(HostKeyRegistry, OriginalAndModernLists) {
    auto names = [](std::span<const HostKeyAlgorithm* const> list) {
        std::string joined;
        for (const HostKeyAlgorithm* algorithm : list)
            joined += std::string(algorithm->name) + ",";
        return joined;
    };
    EXPECT_EQ(names(HostKeyAlgorithms()), "ssh-rsa,ssh-dss,");
    EXPECT_EQ(names(ModernHostKeyAlgorithms()),
              "ssh-ed25519,ecdsa-sha2-nistp256,rsa-sha2-512,rsa-sha2-256,");
    for (const auto list : {HostKeyAlgorithms(), ModernHostKeyAlgorithms()}) {
        for (const HostKeyAlgorithm* algorithm : list)
            EXPECT_EQ(FindHostKeyAlgorithm(algorithm->name), algorithm);
    }
}

}  // namespace
}  // namespace tessan::crypto::test
