// AES-GCM, ChaCha20, Poly1305 and ChaCha20-Poly1305 against the published vectors (Wycheproof,
// RFC 8439), on the processor-instruction paths and with portable code forced.
#include <gtest/gtest.h>

#include "crypto/chacha20.h"
#include "crypto/chacha20_poly1305.h"
#include "crypto/cpu_features.h"
#include "crypto/gcm.h"
#include "crypto/poly1305.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

class AeadVectors : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForcePortableCrypto(GetParam()); }
    void TearDown() override { ForcePortableCrypto(false); }
};

struct AeadCase {
    int id;
    std::string result;  // "valid" or "invalid"
    Bytes key, iv, aad, msg, ct, tag;
};

std::vector<AeadCase> WycheproofCases(std::string_view file) {
    std::vector<AeadCase> cases;
    const nlohmann::json json = ReadJson(file);
    for (const auto& group : json["testGroups"]) {
        for (const auto& t : group["tests"]) {
            cases.push_back({t["tcId"].get<int>(), t["result"].get<std::string>(),
                             Hex(t["key"].get<std::string>()), Hex(t["iv"].get<std::string>()),
                             Hex(t["aad"].get<std::string>()), Hex(t["msg"].get<std::string>()),
                             Hex(t["ct"].get<std::string>()), Hex(t["tag"].get<std::string>())});
        }
    }
    return cases;
}

// Every case runs: the implementations take every key, IV and tag size the files use, and the
// sizes they refuse (an empty IV, a ChaCha20 nonce that is not 12 bytes) count as rejections.
TEST_P(AeadVectors, WycheproofAesGcm) {
    int valid = 0, invalid = 0;
    for (const AeadCase& c : WycheproofCases("aead/wycheproof_aes_gcm_test.json")) {
        SCOPED_TRACE(c.id);
        ASSERT_EQ(c.tag.size(), AesGcm::kTagLength);
        AesGcm gcm;
        gcm.SetKey(c.key.data(), c.key.size());
        EXPECT_EQ(gcm.UsesFusedPath(),
                  !GetParam() && DetectedCpuFeatures().aesNi && DetectedCpuFeatures().clmul);
        Bytes plain(c.ct.size());
        const bool opened = gcm.Decrypt(c.iv.data(), c.iv.size(), c.aad.data(), c.aad.size(),
                                        c.ct.data(), plain.data(), c.ct.size(), c.tag.data());
        if (c.result == "valid") {
            ++valid;
            EXPECT_TRUE(opened);
            EXPECT_EQ(ToHex(plain), ToHex(c.msg));
            Bytes cipher(c.msg.size());
            uint8_t tag[16];
            ASSERT_TRUE(gcm.Encrypt(c.iv.data(), c.iv.size(), c.aad.data(), c.aad.size(),
                                    c.msg.data(), cipher.data(), c.msg.size(), tag));
            EXPECT_EQ(ToHex(cipher), ToHex(c.ct));
            EXPECT_EQ(ToHex(tag, 16), ToHex(c.tag));
        } else {
            ++invalid;
            EXPECT_FALSE(opened);
            EXPECT_EQ(plain, Bytes(plain.size(), 0)) << "plaintext of a rejected message leaked";
        }
    }
    EXPECT_EQ(valid + invalid, 316);
    EXPECT_GE(invalid, 80);
}

TEST_P(AeadVectors, WycheproofChaCha20Poly1305) {
    int valid = 0, invalid = 0;
    for (const AeadCase& c : WycheproofCases("aead/wycheproof_chacha20_poly1305_test.json")) {
        SCOPED_TRACE(c.id);
        Bytes plain(c.ct.size(), 0);
        const bool opened =
            c.iv.size() == kChaCha20Poly1305NonceLength && c.key.size() == 32 &&
            c.tag.size() == 16 &&
            ChaCha20Poly1305Open(c.key.data(), c.iv.data(), c.aad.data(), c.aad.size(), c.ct.data(),
                                 plain.data(), c.ct.size(), c.tag.data());
        if (c.result == "valid") {
            ++valid;
            EXPECT_TRUE(opened);
            EXPECT_EQ(ToHex(plain), ToHex(c.msg));
            Bytes cipher(c.msg.size());
            uint8_t tag[16];
            ChaCha20Poly1305Seal(c.key.data(), c.iv.data(), c.aad.data(), c.aad.size(),
                                 c.msg.data(), cipher.data(), c.msg.size(), tag);
            EXPECT_EQ(ToHex(cipher), ToHex(c.ct));
            EXPECT_EQ(ToHex(tag, 16), ToHex(c.tag));
        } else {
            ++invalid;
            EXPECT_FALSE(opened);
            EXPECT_EQ(plain, Bytes(plain.size(), 0)) << "plaintext of a rejected message leaked";
        }
    }
    EXPECT_EQ(valid, 256);
    EXPECT_EQ(invalid, 69);
}

TEST_P(AeadVectors, Rfc8439Examples) {
    int checked = 0;
    for (const Record& r : ReadRecords("aead/chacha20_poly1305_rfc8439.txt")) {
        if (r.section == "ChaCha20") {
            const Bytes key = Hex(r["KEY"]), nonce = Hex(r["NONCE"]), plain = Hex(r["PLAINTEXT"]);
            ChaCha20 cipher;
            cipher.SetKey(key.data());
            cipher.SetNonce96(nonce.data(), static_cast<uint32_t>(std::stoul(r["COUNTER"])));
            Bytes out(plain.size());
            cipher.Crypt(plain.data(), out.data(), plain.size());
            EXPECT_EQ(ToHex(out), r["CIPHERTEXT"]);
        } else {
            const Bytes key = Hex(r["KEY"]), message = Hex(r["MSG"]);
            uint8_t tag[16];
            Poly1305Tag(key.data(), message.data(), message.size(), tag);
            EXPECT_EQ(ToHex(tag, 16), r["TAG"]);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 10);
}

INSTANTIATE_TEST_SUITE_P(Paths, AeadVectors, ::testing::Bool(), PathName);

}  // namespace
}  // namespace tessan::crypto::test
