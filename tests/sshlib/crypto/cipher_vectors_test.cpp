// The symmetric ciphers against the published vectors (FIPS 197, SP 800-38A, NIST CAVP, FIPS 81,
// SP 800-67, Schneier's Blowfish set, RFC 6229) and the derived SSH mode vectors, on both the
// portable and the processor-instruction paths, mostly through the SSH-2 descriptors.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "crypto/aes.h"
#include "crypto/blowfish.h"
#include "crypto/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/des.h"
#include "crypto/rc4.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

class CipherVectors : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForcePortableCrypto(GetParam()); }
    void TearDown() override { ForcePortableCrypto(false); }
};

// Runs `data` through a fresh context of `descriptor`, split into calls at `split` (a multiple of
// the block size), and returns the result and the IV the next packet would use.
Bytes RunCipher(const CipherDescriptor& descriptor, const Bytes& key, const Bytes& iv, Bytes data,
                bool encrypt, size_t split = 0) {
    auto context = descriptor.CreateContext();
    context->SetKey(key.data());
    if (!iv.empty()) context->SetIv(iv.data());
    auto call = [&](uint8_t* p, size_t n) {
        if (encrypt) {
            context->Encrypt(p, n);
        } else {
            context->Decrypt(p, n);
        }
    };
    call(data.data(), split);
    call(data.data() + split, data.size() - split);
    return data;
}

const CipherDescriptor& AesDescriptor(size_t keyBytes, bool cbc) {
    switch (keyBytes) {
        case 16:
            return cbc ? kAes128Cbc : kAes128Ctr;
        case 24:
            return cbc ? kAes192Cbc : kAes192Ctr;
        default:
            return cbc ? kAes256Cbc : kAes256Ctr;
    }
}

TEST_P(CipherVectors, AesFips197AndSp80038a) {
    int checked = 0;
    for (const Record& r : ReadRecords("aes/aes_fips197_sp800_38a.txt")) {
        const Bytes key = Hex(r["KEY"]);
        const Bytes plain = Hex(r["PLAINTEXT"]);
        const Bytes cipher = Hex(r["CIPHERTEXT"]);
        if (r.section.rfind("ECB", 0) == 0) {
            Aes aes;
            aes.SetKey(key.data(), key.size());
            EXPECT_EQ(aes.UsesAesNi(), UseAesNi());
            Bytes out(16);
            aes.EncryptBlock(plain.data(), out.data());
            EXPECT_EQ(ToHex(out), ToHex(cipher));
            aes.DecryptBlock(cipher.data(), out.data());
            EXPECT_EQ(ToHex(out), ToHex(plain));
        } else {
            const bool cbc = r.section == "CBC";
            const Bytes iv = Hex(cbc ? r["IV"] : r["COUNTER"]);
            const CipherDescriptor& descriptor = AesDescriptor(key.size(), cbc);
            EXPECT_EQ(ToHex(RunCipher(descriptor, key, iv, plain, true, 16)), ToHex(cipher))
                << descriptor.name;
            EXPECT_EQ(ToHex(RunCipher(descriptor, key, iv, cipher, false, 32)), ToHex(plain))
                << descriptor.name;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 10);
}

TEST_P(CipherVectors, AesCbcMultiBlockMessageTests) {
    int checked = 0;
    for (const char* file : {"aes/CBCMMT128.rsp", "aes/CBCMMT192.rsp", "aes/CBCMMT256.rsp"}) {
        for (const Record& r : ReadRecords(file)) {
            const Bytes key = Hex(r["KEY"]);
            const Bytes iv = Hex(r["IV"]);
            const Bytes plain = Hex(r["PLAINTEXT"]);
            const Bytes cipher = Hex(r["CIPHERTEXT"]);
            const bool encrypt = r.section == "ENCRYPT";
            const Bytes& input = encrypt ? plain : cipher;
            const size_t split = 16 * (input.size() / 32);
            EXPECT_EQ(
                ToHex(RunCipher(AesDescriptor(key.size(), true), key, iv, input, encrypt, split)),
                ToHex(encrypt ? cipher : plain))
                << file << " " << r.section << " " << r["COUNT"];
            ++checked;
        }
    }
    EXPECT_EQ(checked, 60);
}

// Runs one SDCTR record through the descriptor and the raw counter interface; both must give the
// ciphertext and leave the expected next counter.
TEST_P(CipherVectors, SdctrCounterCarriesAndWraps) {
    struct File {
        const char* path;
        std::string section;
    };
    int checked = 0;
    for (const File& f :
         {File{"aes/aes_sdctr_derived.txt", ""}, File{"des/tdes_ssh_modes_derived.txt", "3des-ctr"},
          File{"blowfish/blowfish_ssh_modes_derived.txt", "blowfish-ctr"}}) {
        for (const Record& r : ReadRecords(f.path)) {
            if (!r.Has("COUNTER")) continue;
            const Bytes key = Hex(r["KEY"]);
            const Bytes counter = Hex(r["COUNTER"]);
            const Bytes plain = Hex(r["PLAINTEXT"]);
            const CipherDescriptor* descriptor =
                f.section.empty() ? &AesDescriptor(key.size(), false) : FindCipher(r.section);
            ASSERT_NE(descriptor, nullptr) << r.section;
            EXPECT_EQ(
                ToHex(RunCipher(*descriptor, key, counter, plain, true, descriptor->blockSize)),
                ToHex(Hex(r["CIPHERTEXT"])))
                << f.path << " " << r["COUNTER"];
            // The counter left behind: encrypting a zero block with a fresh context at NEXT_COUNTER
            // must equal continuing the old one.
            auto context = descriptor->CreateContext();
            context->SetKey(key.data());
            context->SetIv(counter.data());
            Bytes scratch = plain;
            context->Encrypt(scratch.data(), scratch.size());
            Bytes continued(descriptor->blockSize, 0);
            context->Encrypt(continued.data(), continued.size());
            EXPECT_EQ(ToHex(continued), ToHex(RunCipher(*descriptor, key, Hex(r["NEXT_COUNTER"]),
                                                        Bytes(descriptor->blockSize, 0), true)));
            if (f.section.empty()) {
                Aes aes;
                aes.SetKey(key.data(), key.size());
                Bytes rawCounter = counter;
                Bytes data = plain;
                aes.CryptCtr(data.data(), data.size(), rawCounter.data());
                EXPECT_EQ(ToHex(rawCounter), r["NEXT_COUNTER"]);
            }
            ++checked;
        }
    }
    EXPECT_GE(checked, 12);
}

TEST_P(CipherVectors, AllOnesCounterWrapsToZeroAfterOneBlock) {
    for (const CipherDescriptor* d :
         {&kAes128Ctr, &kAes192Ctr, &kAes256Ctr, &kTripleDesCtr, &kBlowfishCtr}) {
        const Bytes key = RandomBytesForTest(d->keyBytes);
        const Bytes wrapped =
            RunCipher(*d, key, Bytes(d->blockSize, 0xff), Bytes(2 * d->blockSize, 0), true);
        const Bytes atZero =
            RunCipher(*d, key, Bytes(d->blockSize, 0x00), Bytes(d->blockSize, 0), true);
        EXPECT_EQ(ToHex(Bytes(wrapped.begin() + static_cast<long>(d->blockSize), wrapped.end())),
                  ToHex(atZero))
            << d->name;
    }
}

TEST_P(CipherVectors, Aes256CtrTwiceRestoresAndContinuesTheCounter) {
    const Bytes key = RandomBytesForTest(32);
    const Bytes iv = RandomBytesForTest(16);
    const Bytes plain = RandomBytesForTest(48);
    const Bytes once = RunCipher(kAes256Ctr, key, iv, plain, true);
    EXPECT_EQ(ToHex(RunCipher(kAes256Ctr, key, iv, once, true)), ToHex(plain));
    // One 32-byte call then one 16-byte call equals one 48-byte call.
    EXPECT_EQ(ToHex(RunCipher(kAes256Ctr, key, iv, plain, true, 32)), ToHex(once));
}

TEST_P(CipherVectors, DesAndTripleDesPublished) {
    for (const Record& r : ReadRecords("des/des_tdes_fips81_sp800_67.txt")) {
        const Bytes key = Hex(r["KEY"]);
        const Bytes plain = Hex(r["PLAINTEXT"]);
        const Bytes cipher = Hex(r["CIPHERTEXT"]);
        if (r.section == "DES CBC") {
            EXPECT_EQ(ToHex(RunCipher(kDesCbc, key, Hex(r["IV"]), plain, true, 8)), ToHex(cipher));
            EXPECT_EQ(ToHex(RunCipher(kDesCbcAlias, key, Hex(r["IV"]), cipher, false, 16)),
                      ToHex(plain));
            continue;
        }
        // ECB: CBC with a zero IV over single blocks.
        for (size_t offset = 0; offset < plain.size(); offset += 8) {
            const Bytes block(plain.begin() + static_cast<long>(offset),
                              plain.begin() + static_cast<long>(offset) + 8);
            const Bytes expected(cipher.begin() + static_cast<long>(offset),
                                 cipher.begin() + static_cast<long>(offset) + 8);
            const CipherDescriptor& d = key.size() == 8 ? kDesCbc : kTripleDesCbc;
            EXPECT_EQ(ToHex(RunCipher(d, key, Bytes(8, 0), block, true)), ToHex(expected))
                << r.section;
        }
    }
}

TEST_P(CipherVectors, DesCavpKnownAnswerAndMultiBlockTests) {
    int checked = 0;
    for (const char* file : {"des/TCBCvarkey.rsp", "des/TCBCvartext.rsp", "des/TCBCpermop.rsp",
                             "des/TCBCsubtab.rsp", "des/TCBCinvperm.rsp", "des/TCBCMMT3.rsp"}) {
        for (const Record& r : ReadRecords(file)) {
            if (!r.Has("PLAINTEXT")) continue;
            const bool singleKey = r.Has("KEYs");
            const Bytes key = singleKey ? Hex(r["KEYs"]) : Hex(r["KEY1"] + r["KEY2"] + r["KEY3"]);
            const Bytes iv = Hex(r["IV"]);
            const bool encrypt = r.section == "ENCRYPT";
            const Bytes input = Hex(encrypt ? r["PLAINTEXT"] : r["CIPHERTEXT"]);
            const std::string expected = ToHex(Hex(encrypt ? r["CIPHERTEXT"] : r["PLAINTEXT"]));
            if (singleKey) {
                ASSERT_EQ(ToHex(RunCipher(kDesCbc, key, iv, input, encrypt)), expected)
                    << file << " " << r["COUNT"];
                const Bytes tripled = Hex(r["KEYs"] + r["KEYs"] + r["KEYs"]);
                ASSERT_EQ(ToHex(RunCipher(kTripleDesCbc, tripled, iv, input, encrypt)), expected)
                    << file << " " << r["COUNT"];
            } else {
                ASSERT_EQ(ToHex(RunCipher(kTripleDesCbc, key, iv, input, encrypt,
                                          8 * (input.size() / 16))),
                          expected)
                    << file << " " << r["COUNT"];
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 480);
}

TEST_P(CipherVectors, CbcChainContinuesAcrossCalls) {
    for (const auto& [file, section] :
         {std::pair{"des/tdes_ssh_modes_derived.txt", "3des-cbc"},
          std::pair{"blowfish/blowfish_ssh_modes_derived.txt", "blowfish-cbc"}}) {
        for (const Record& r : ReadRecords(file)) {
            if (r.section != section) continue;
            const CipherDescriptor* d = FindCipher(section);
            const Bytes key = Hex(r["KEY"]);
            const Bytes plain = Hex(r["PLAINTEXT"]);
            for (size_t split = 0; split <= plain.size(); split += 8) {
                EXPECT_EQ(ToHex(RunCipher(*d, key, Hex(r["IV"]), plain, true, split)),
                          ToHex(Hex(r["CIPHERTEXT"])));
                EXPECT_EQ(
                    ToHex(RunCipher(*d, key, Hex(r["IV"]), Hex(r["CIPHERTEXT"]), false, split)),
                    ToHex(plain));
            }
            // NEXT_IV: the last ciphertext block chains into the next call.
            EXPECT_EQ(ToHex(Hex(r["CIPHERTEXT"])).substr(ToHex(Hex(r["CIPHERTEXT"])).size() - 16),
                      ToHex(Hex(r["NEXT_IV"])));
        }
    }
}

TEST_P(CipherVectors, BlowfishSchneierVectors) {
    int checked = 0;
    for (const Record& r : ReadRecords("blowfish/blowfish_schneier_vectors.txt")) {
        const Bytes key = Hex(r["KEY"]);
        const Bytes plain = Hex(r["PLAINTEXT"]);
        const Bytes cipher = Hex(r["CIPHERTEXT"]);
        if (r.section.rfind("CBC", 0) == 0) {
            EXPECT_EQ(ToHex(RunCipher(kBlowfishCbc, key, Hex(r["IV"]), plain, true, 8)),
                      ToHex(cipher));
        } else {
            Blowfish blowfish;
            blowfish.SetKey(key.data(), key.size());
            uint32_t l = (uint32_t{plain[0]} << 24) | (uint32_t{plain[1]} << 16) |
                         (uint32_t{plain[2]} << 8) | plain[3];
            uint32_t rr = (uint32_t{plain[4]} << 24) | (uint32_t{plain[5]} << 16) |
                          (uint32_t{plain[6]} << 8) | plain[7];
            blowfish.Encrypt(l, rr);
            char hex[17];
            std::snprintf(hex, sizeof(hex), "%08x%08x", l, rr);
            EXPECT_EQ(hex, ToHex(cipher)) << r.section << " key " << r["KEY"];
            blowfish.Decrypt(l, rr);
            std::snprintf(hex, sizeof(hex), "%08x%08x", l, rr);
            EXPECT_EQ(hex, ToHex(plain));
        }
        ++checked;
    }
    EXPECT_EQ(checked, 34 + 24 + 1);
}

TEST_P(CipherVectors, Rc4Rfc6229AtEveryOffset) {
    std::ifstream in(DataPath("rc4/rc4_rfc6229_128_256.txt"));
    std::string line;
    Bytes stream;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.rfind('#', 0) == 0) continue;
        const size_t keyAt = line.find("key: 0x");
        if (keyAt != std::string::npos) {
            const Bytes key = Hex(line.substr(keyAt + 7));
            Rc4 rc4;
            rc4.SetKey(key.data(), key.size());
            stream.assign(4112, 0);
            rc4.Crypt(stream.data(), stream.size());
            continue;
        }
        const size_t dec = line.find("DEC");
        const size_t colon = line.find(':');
        if (dec == std::string::npos || colon == std::string::npos) continue;
        const size_t offset = std::stoul(line.substr(dec + 3));
        EXPECT_EQ(ToHex(stream.data() + offset, 16), ToHex(Hex(line.substr(colon + 1)))) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 72);
}

TEST_P(CipherVectors, ArcfourDiscardsTheFirst1536Bytes) {
    int checked = 0;
    for (const Record& r : ReadRecords("rc4/rc4_arcfour_derived.txt")) {
        if (!r.Has("NAME")) continue;
        const CipherDescriptor* d = FindCipher(r["NAME"]);
        ASSERT_NE(d, nullptr);
        const Bytes key = Hex(r["KEY"]);
        EXPECT_EQ(ToHex(RunCipher(*d, key, {}, Bytes(64, 0), true, 7)), r["KEYSTREAM_64"]);
        EXPECT_EQ(ToHex(RunCipher(*d, key, {}, Hex(r["PLAINTEXT"]), true)), r["CIPHERTEXT"]);
        // The first arcfour byte is byte 1537 of plain RC4 under the same key.
        Rc4 plain;
        plain.SetKey(key.data(), key.size());
        Bytes raw(1537, 0);
        plain.Crypt(raw.data(), raw.size());
        EXPECT_EQ(ToHex(&raw[1536], 1), r["KEYSTREAM_64"].substr(0, 2));
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

INSTANTIATE_TEST_SUITE_P(Paths, CipherVectors, ::testing::Values(false, true), PathName);

}  // namespace
}  // namespace tessan::crypto::test
