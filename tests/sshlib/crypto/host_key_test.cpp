// "ssh-rsa" and "ssh-dss" host keys: blobs, fingerprints and signature checks against the NIST,
// Wycheproof and derived vectors, and against random keys made and used by OpenSSL, with every
// single-bit corruption of a good signature rejected. Also the SSH-1 RSA session-key encryption.
#include <gtest/gtest.h>
#include <openssl/bn.h>
#include <openssl/dsa.h>
#include <openssl/md5.h>
#include <openssl/obj_mac.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>

#include <algorithm>

#include "crypto/dsa.h"
#include "crypto/host_key.h"
#include "crypto/random_pool.h"
#include "crypto/rsa.h"
#include "crypto/wire.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

BigNum FromBn(const BIGNUM* b) {
    Bytes bytes(static_cast<size_t>(BN_num_bytes(b)));
    BN_bn2bin(b, bytes.data());
    return BigNum::FromBytes(bytes);
}

Bytes RsaBlob(const BigNum& e, const BigNum& n) {
    Bytes blob;
    AppendString(blob, "ssh-rsa");
    AppendMpint(blob, e);
    AppendMpint(blob, n);
    return blob;
}

Bytes RsaSignatureBlob(const Bytes& s) {
    Bytes blob;
    AppendString(blob, "ssh-rsa");
    AppendString(blob, s);
    return blob;
}

// Flips every bit of the blob in turn (up to `limit` positions spread over it); none may verify.
void ExpectEveryBitFlipRejected(const HostKey& key, Bytes signature, const Bytes& data,
                                size_t limit) {
    const size_t bits = signature.size() * 8;
    const size_t step = std::max<size_t>(1, bits / limit);
    for (size_t bit = 0; bit < bits; bit += step) {
        signature[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        ASSERT_FALSE(key.Verify(signature, data)) << "bit " << bit << " flipped";
        signature[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    }
    ASSERT_TRUE(key.Verify(signature, data));
}

TEST(RsaHostKey, NistSigVer15) {
    int checked = 0, passes = 0;
    BigNum n;
    for (const Record& r : ReadRecords("rsa/SigVer15_186-3_SHA1.rsp")) {
        if (r.Has("n")) n = HexNumber(r["n"]);
        if (!r.Has("S")) continue;
        ASSERT_EQ(r["SHAAlg"], "SHA1");
        const RsaPublicKey key{HexNumber(r["e"]), n};
        Bytes s = Hex(r["S"]);
        // NIST prints S as a number; the wire form is k bytes.
        s.insert(s.begin(), key.ByteLength() - std::min(key.ByteLength(), s.size()), 0);
        const bool expected = r["Result"][0] == 'P';
        EXPECT_EQ(RsaVerify(key, RsaSignatureBlob(s), Hex(r["Msg"])), expected)
            << r["Msg"].substr(0, 16) << " " << r["Result"];
        passes += expected;
        ++checked;
    }
    EXPECT_EQ(checked, 54);
    EXPECT_EQ(passes, 9);
}

TEST(RsaHostKey, WycheproofSignatures) {
    const auto json = ReadJson("rsa/wycheproof_rsa_pkcs1_sha1_sig_gen_subset.json");
    int checked = 0;
    for (const auto& group : json["testGroups"]) {
        const BigNum n = HexNumber(group["privateKey"]["modulus"].get<std::string>());
        const BigNum e = HexNumber(group["privateKey"]["publicExponent"].get<std::string>());
        const auto key = kSshRsa.FromBlob(RsaBlob(e, n));
        ASSERT_NE(key, nullptr);
        for (const auto& t : group["tests"]) {
            const Bytes message = Hex(t["msg"].get<std::string>());
            const Bytes signature = RsaSignatureBlob(Hex(t["sig"].get<std::string>()));
            EXPECT_TRUE(key->Verify(signature, message)) << "tcId " << t["tcId"];
            ++checked;
        }
    }
    EXPECT_EQ(checked, 16);
}

TEST(RsaHostKey, DerivedEncodingsBlobsAndFingerprint) {
    const auto json = ReadJson("rsa/rsa_1024_sha1_ssh_derived.json");
    const Bytes blob = Hex(json["sshRsaPublicKeyBlob"].get<std::string>());
    // Our own encoding of (e, n) is the canonical blob.
    EXPECT_EQ(ToHex(RsaBlob(HexNumber(json["e"].get<std::string>()),
                            HexNumber(json["n"].get<std::string>()))),
              ToHex(blob));
    const auto key = kSshRsa.FromBlob(blob);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Bits(), 1024u);
    const std::string fingerprint = key->Fingerprint();
    EXPECT_EQ(fingerprint, json["fingerprintText"].get<std::string>());
    EXPECT_EQ(fingerprint.rfind("ssh-rsa 1024 ", 0), 0u);
    EXPECT_EQ(std::count(fingerprint.begin(), fingerprint.end(), ':'), 15);

    const Bytes message = Hex(json["msg"].get<std::string>());
    int checked = 0;
    for (const char* list : {"encodingCases", "signatureBlobCases"}) {
        for (const auto& c : json[list]) {
            EXPECT_EQ(key->Verify(Hex(c["sshSignatureBlob"].get<std::string>()), message),
                      c["expected"] == "valid")
                << c["comment"];
            ++checked;
        }
    }
    EXPECT_GE(checked, 19);
}

TEST(RsaHostKey, MalformedBlobsGiveNoKey) {
    const BigNum n = HexNumber(
        "c5062b58d8539c765e1e5dbaf14cf75dd56c2e13105fecfd1a930bbb5948ff328f126abe779359ca59bca752c3"
        "08d281573bc6178b6c0fef7dc445e4f826430437b9f9d790581de5749c2cb9cb26d42b2fee15b6b26f09c99670"
        "336423b86bc5bec71113157be2d944d7ff3eebffb28413143ea36755db0ae62ff5b724eecb3d316b6bac67e89c"
        "acd8171937e2ab19bd353a89acea8c36f81c89a620d5fd2effea896601c7f9daca7f033f635a3a943331d1b1b4"
        "f5288790b53af352f1121ca1bef205f40dc012c412b40bdd27585b946466d75f7ee0a7f9d549b4bece6f43ac3e"
        "e65fe7fd37123359d9f1a850ad450aaf5c94eb11dea3fc0fc6e9856b1805ef");
    const Bytes good = RsaBlob(BigNum(65537), n);
    ASSERT_NE(RsaKeyFromBlob(good), std::nullopt);
    Bytes wrongName = good;
    wrongName[10] = 'x';
    Bytes extraName;
    AppendString(extraName, "ssh-rsa2");
    AppendMpint(extraName, BigNum(3));
    AppendMpint(extraName, n);
    const Bytes cases[] = {
        {},
        wrongName,
        extraName,
        Bytes(good.begin(), good.end() - 1),
        Bytes(good.begin(), good.begin() + 11),
        RsaBlob(BigNum(), n),          // e = 0
        RsaBlob(BigNum(3), BigNum()),  // no modulus
    };
    for (const Bytes& blob : cases)
        EXPECT_EQ(kSshRsa.FromBlob(blob), nullptr) << ToHex(blob);
    // A key whose modulus is too short for the SHA-1 encoding verifies nothing and does not crash.
    const RsaPublicKey tiny{BigNum(3), BigNum(0xc5062b58d8539c77ull)};
    EXPECT_FALSE(RsaVerify(tiny, RsaSignatureBlob(Hex("0102030405060708")), ToBytes("x")));
}

TEST(RsaHostKey, RandomOpenSslKeysAndCorruptedSignatures) {
    for (const int bits : {1024, 1024, 2048, 3072}) {
        RSA* rsa = RSA_new();
        BIGNUM* e = BN_new();
        BN_set_word(e, bits == 3072 ? 3 : 65537);
        ASSERT_EQ(RSA_generate_key_ex(rsa, bits, e, nullptr), 1);
        const BIGNUM *bn = nullptr, *be = nullptr;
        RSA_get0_key(rsa, &bn, &be, nullptr);
        const auto key = kSshRsa.FromBlob(RsaBlob(FromBn(be), FromBn(bn)));
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->Bits(), static_cast<size_t>(bits));
        for (int round = 0; round < 3; ++round) {
            const Bytes message = RandomBytesForTest(RandomSize(0, 300));
            uint8_t digest[20];
            SHA1(message.data(), message.size(), digest);
            Bytes signature(static_cast<size_t>(RSA_size(rsa)));
            unsigned length = 0;
            ASSERT_EQ(RSA_sign(NID_sha1, digest, 20, signature.data(), &length, rsa), 1);
            const Bytes blob = RsaSignatureBlob(signature);
            EXPECT_TRUE(key->Verify(blob, message));
            Bytes otherMessage = message;
            otherMessage.push_back(0);
            EXPECT_FALSE(key->Verify(blob, otherMessage));
            ExpectEveryBitFlipRejected(*key, blob, message, round == 0 ? 1200 : 64);
        }
        BN_free(e);
        RSA_free(rsa);
    }
}

TEST(Ssh1Rsa, EncryptionIsPkcs1Type2UnderThePublicKey) {
    RandomPoolReference pool;
    RSA* rsa = RSA_new();
    BIGNUM* e = BN_new();
    BN_set_word(e, 37);
    ASSERT_EQ(RSA_generate_key_ex(rsa, 1024, e, nullptr), 1);
    const BIGNUM *bn = nullptr, *be = nullptr;
    RSA_get0_key(rsa, &bn, &be, nullptr);
    const RsaPublicKey key{FromBn(be), FromBn(bn)};
    const size_t k = key.ByteLength();
    for (const size_t length : {0, 1, 32, 100, 124}) {
        const Bytes data = RandomBytesForTest(length);
        Bytes buffer = data;
        buffer.resize(k);
        ASSERT_TRUE(Ssh1RsaEncrypt(buffer, length, key)) << length;
        Bytes raw(k);
        ASSERT_EQ(RSA_private_decrypt(static_cast<int>(k), buffer.data(), raw.data(), rsa,
                                      RSA_NO_PADDING),
                  static_cast<int>(k));
        EXPECT_EQ(raw[0], 0x00);
        EXPECT_EQ(raw[1], 0x02);
        for (size_t i = 2; i < k - length - 1; ++i)
            EXPECT_NE(raw[i], 0) << "padding byte " << i;
        EXPECT_EQ(raw[k - length - 1], 0x00);
        EXPECT_EQ(Bytes(raw.end() - static_cast<long>(length), raw.end()), data);
    }
    // k < length + 4, or a buffer shorter than k: refused, buffer untouched.
    Bytes buffer = RandomBytesForTest(k);
    const Bytes before = buffer;
    EXPECT_FALSE(Ssh1RsaEncrypt(buffer, k - 3, key));
    EXPECT_FALSE(Ssh1RsaEncrypt(std::span<uint8_t>(buffer.data(), k - 1), 10, key));
    EXPECT_EQ(buffer, before);
    BN_free(e);
    RSA_free(rsa);
}

Bytes DsaBlob(const BigNum& p, const BigNum& q, const BigNum& g, const BigNum& y) {
    Bytes blob;
    AppendString(blob, "ssh-dss");
    for (const BigNum* n : {&p, &q, &g, &y})
        AppendMpint(blob, *n);
    return blob;
}

Bytes DsaSignatureBlob(const Bytes& rs) {
    Bytes blob;
    AppendString(blob, "ssh-dss");
    AppendString(blob, rs);
    return blob;
}

Bytes Pad20(const Bytes& value) {
    Bytes out(20 - std::min<size_t>(20, value.size()), 0);
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

TEST(DsaHostKey, NistSigVer) {
    int checked = 0;
    BigNum p, q, g;
    for (const Record& r : ReadRecords("dsa/SigVer_186-3_L1024_N160_SHA1.rsp")) {
        if (r.Has("P")) {
            p = HexNumber(r["P"]);
            q = HexNumber(r["Q"]);
            g = HexNumber(r["G"]);
        }
        if (!r.Has("R")) continue;
        const auto key = kSshDss.FromBlob(DsaBlob(p, q, g, HexNumber(r["Y"])));
        ASSERT_NE(key, nullptr);
        Bytes rs = Pad20(Hex(r["R"]));
        const Bytes s = Pad20(Hex(r["S"]));
        rs.insert(rs.end(), s.begin(), s.end());
        const bool expected = r["Result"][0] == 'P';
        EXPECT_EQ(key->Verify(rs, Hex(r["Msg"])), expected) << r["Result"];
        EXPECT_EQ(key->Verify(DsaSignatureBlob(rs), Hex(r["Msg"])), expected) << r["Result"];
        ++checked;
    }
    EXPECT_EQ(checked, 15);
}

TEST(DsaHostKey, WycheproofRawAndWrappedForms) {
    const auto json = ReadJson("dsa/dsa_1024_sha1_raw_rs_derived.json");
    int checked = 0;
    for (const auto& group : json["groups"]) {
        const Bytes blob = Hex(group["sshDssPublicKeyBlob"].get<std::string>());
        const auto key = kSshDss.FromBlob(blob);
        ASSERT_NE(key, nullptr);
        for (const auto& t : group["tests"]) {
            const bool expected = t["expected"] == "valid";
            const Bytes message = Hex(t["msg"].get<std::string>());
            EXPECT_EQ(key->Verify(Hex(t["rs40"].get<std::string>()), message), expected)
                << "tcId " << t["tcId"] << " " << t["comment"];
            EXPECT_EQ(key->Verify(Hex(t["sshSignatureBlob"].get<std::string>()), message), expected)
                << "tcId " << t["tcId"];
            ++checked;
        }
        if (group.contains("blobCases")) {
            for (const auto& c : group["blobCases"]) {
                EXPECT_EQ(kSshDss.FromBlob(Hex(c["blob"].get<std::string>())) != nullptr,
                          c["expected"] == "key")
                    << c["comment"];
            }
        }
        // The fingerprint is the MD5 of the canonical blob.
        uint8_t md5[16];
        MD5(blob.data(), blob.size(), md5);
        std::string expected = "ssh-dss " + std::to_string(key->Bits()) + " ";
        for (int i = 0; i < 16; ++i)
            expected += (i ? ":" : "") + ToHex(md5 + i, 1);
        EXPECT_EQ(key->Fingerprint(), expected);
    }
    EXPECT_EQ(checked, 72);
}

TEST(DsaHostKey, DegenerateKeysAndSignatures) {
    const auto json = ReadJson("dsa/dsa_1024_sha1_raw_rs_derived.json");
    const auto& group = json["groups"][0];
    const BigNum p = HexNumber(group["p"].get<std::string>());
    const BigNum q = HexNumber(group["q"].get<std::string>());
    const BigNum g = HexNumber(group["g"].get<std::string>());
    const BigNum y = HexNumber(group["y"].get<std::string>());
    const auto& valid = group["tests"][0];
    const Bytes rs = Hex(valid["rs40"].get<std::string>());
    const Bytes message = Hex(valid["msg"].get<std::string>());
    ASSERT_EQ(valid["expected"], "valid");
    ASSERT_TRUE(kSshDss.FromBlob(DsaBlob(p, q, g, y))->Verify(rs, message));
    // Keys with a zero p or q verify nothing (and divide by nothing).
    for (const Bytes& blob :
         {DsaBlob(BigNum(), q, g, y), DsaBlob(p, BigNum(), g, y), DsaBlob(p, BigNum(1), g, y)}) {
        const auto key = kSshDss.FromBlob(blob);
        ASSERT_NE(key, nullptr);
        EXPECT_FALSE(key->Verify(rs, message));
    }
    const auto key = kSshDss.FromBlob(DsaBlob(p, q, g, y));
    Bytes shortWrapped = DsaSignatureBlob(Bytes(rs.begin(), rs.begin() + 39));
    for (const Bytes& signature :
         {Bytes{}, Bytes(39, 1), Bytes(41, 1), shortWrapped, Bytes(rs.begin(), rs.end() - 1)}) {
        EXPECT_FALSE(key->Verify(signature, message));
    }
}

TEST(DsaHostKey, RandomOpenSslKeysAndCorruptedSignatures) {
    DSA* params = DSA_new();
    ASSERT_EQ(DSA_generate_parameters_ex(params, 1024, nullptr, 0, nullptr, nullptr, nullptr), 1);
    for (int k = 0; k < 2; ++k) {
        DSA* dsa = DSAparams_dup(params);
        ASSERT_EQ(DSA_generate_key(dsa), 1);
        const BIGNUM *bp, *bq, *bg, *by;
        DSA_get0_pqg(dsa, &bp, &bq, &bg);
        DSA_get0_key(dsa, &by, nullptr);
        ASSERT_EQ(BN_num_bits(bq), 160);
        const auto key = kSshDss.FromBlob(DsaBlob(FromBn(bp), FromBn(bq), FromBn(bg), FromBn(by)));
        ASSERT_NE(key, nullptr);
        for (int round = 0; round < 4; ++round) {
            const Bytes message = RandomBytesForTest(RandomSize(0, 200));
            uint8_t digest[20];
            SHA1(message.data(), message.size(), digest);
            DSA_SIG* sig = DSA_do_sign(digest, 20, dsa);
            const BIGNUM *r, *s;
            DSA_SIG_get0(sig, &r, &s);
            Bytes rs(40);
            BN_bn2binpad(r, rs.data(), 20);
            BN_bn2binpad(s, rs.data() + 20, 20);
            DSA_SIG_free(sig);
            EXPECT_TRUE(key->Verify(rs, message));
            EXPECT_TRUE(key->Verify(DsaSignatureBlob(rs), message));
            ExpectEveryBitFlipRejected(*key, rs, message, round == 0 ? 320 : 20);
            ExpectEveryBitFlipRejected(*key, DsaSignatureBlob(rs), message, 20);
        }
        DSA_free(dsa);
    }
    DSA_free(params);
}

// Keys too weak to trust whatever their signatures say: RSA moduli below 1024 bits and DSA keys
// outside the standard (p, q) sizes. The numbers need only their sizes for this.
TEST(HostKeyStrength, SmallRsaAndNonStandardDsaSizesAreRefused) {
    auto sized = [](size_t bits) { return BigNum::Add(BigNum(1).ShiftLeft(bits - 1), BigNum(1)); };
    for (const auto& [bits, weak] : std::vector<std::pair<size_t, bool>>{
             {512, true}, {1023, true}, {1024, false}, {2048, false}}) {
        const auto key = kSshRsa.FromBlob(RsaBlob(BigNum(65537), sized(bits)));
        ASSERT_NE(key, nullptr) << bits;
        EXPECT_EQ(key->Weakness().empty(), !weak) << bits << ": " << key->Weakness();
    }
    struct Dsa {
        size_t p, q;
        bool weak;
    };
    for (const Dsa& c : {Dsa{1024, 160, false}, Dsa{2048, 224, false}, Dsa{2048, 256, false},
                         Dsa{3072, 256, false}, Dsa{512, 160, true}, Dsa{1024, 256, true},
                         Dsa{1536, 160, true}, Dsa{4096, 256, true}}) {
        const auto key = kSshDss.FromBlob(DsaBlob(sized(c.p), sized(c.q), BigNum(2), BigNum(3)));
        ASSERT_NE(key, nullptr) << c.p << "/" << c.q;
        EXPECT_EQ(key->Weakness().empty(), !c.weak) << c.p << "/" << c.q;
    }
    EXPECT_EQ(kSshRsa.FromBlob(RsaBlob(BigNum(3), sized(512)))->Weakness(),
              "RSA host key of 512 bits refused (at least 1024 are needed)");
}

}  // namespace
}  // namespace tessan::crypto::test
