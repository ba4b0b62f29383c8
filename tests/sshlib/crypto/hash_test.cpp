// SHA-1, SHA-256, SHA-512, MD5, HMAC and CRC-32 against the published vectors and against OpenSSL /
// zlib, on both the portable and the processor-instruction paths.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>
#include <zlib.h>

#include "crypto/cpu_features.h"
#include "crypto/crc32.h"
#include "crypto/hash.h"
#include "crypto/hmac.h"
#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

// Runs each test once with the fast paths allowed and once with portable code forced.
class BothPaths : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForcePortableCrypto(GetParam()); }
    void TearDown() override { ForcePortableCrypto(false); }
};

template <typename Hash>
Bytes HashOf(const Bytes& message) {
    const auto digest = Hash::Hash(message);
    return Bytes(digest.begin(), digest.end());
}

template <typename Hash>
void CheckHashFile(std::string_view file) {
    int checked = 0;
    for (const Record& r : ReadRecords(file)) {
        if (!r.Has("MD")) continue;
        Hash hash;
        if (r.Has("Repeat")) {
            const long repeat = std::stol(r["Repeat"]);
            if (repeat > 10'000'000) continue;  // the LARGE examples: gigabytes, left to benchmarks
            const Bytes unit = Hex(r["Unit"]);
            for (long i = 0; i < repeat; ++i)
                hash.Update(unit);
        } else {
            const Bytes message = Hex(r["Msg"]);
            hash.Update(message.data(),
                        std::stoul(r["Len"]) / 8);  // Len = 0 is written as Msg = 00
        }
        uint8_t digest[Hash::kDigestLength];
        hash.Finish(digest);
        EXPECT_EQ(ToHex(digest, sizeof(digest)), r["MD"])
            << file << " Len=" << (r.Has("Len") ? r["Len"] : "repeat");
        ++checked;
    }
    EXPECT_GE(checked, 3) << file;
}

TEST_P(BothPaths, PublishedHashVectors) {
    CheckHashFile<Sha1>("hash/sha1_rfc3174.txt");
    CheckHashFile<Sha1>("hash/SHA1ShortMsg.rsp");
    CheckHashFile<Sha256>("hash/sha256_fips180_nist.txt");
    CheckHashFile<Sha512>("hash/sha512_fips180.txt");
    CheckHashFile<Md5>("hash/md5_rfc1321.txt");
}

// Incremental hashing at random split points equals OpenSSL's one-shot digest, for every
// length 0..300 (past the padding boundaries of both block sizes) and random longer ones.
template <typename Hash>
void CheckAgainstOpenSsl(const EVP_MD* md) {
    for (size_t length = 0; length < 400; ++length) {
        const Bytes message = RandomBytesForTest(length <= 300 ? length : RandomSize(300, 5000));
        Hash hash;
        size_t offset = 0;
        while (offset < message.size()) {
            const size_t piece = std::min(message.size() - offset, RandomSize(0, 150));
            hash.Update(message.data() + offset, piece);
            offset += piece;
        }
        uint8_t ours[Hash::kDigestLength];
        hash.Finish(ours);
        uint8_t theirs[EVP_MAX_MD_SIZE];
        unsigned theirLength = 0;
        ASSERT_EQ(EVP_Digest(message.data(), message.size(), theirs, &theirLength, md, nullptr), 1);
        ASSERT_EQ(theirLength, Hash::kDigestLength);
        ASSERT_EQ(ToHex(ours, sizeof(ours)), ToHex(theirs, theirLength))
            << "length " << message.size();
    }
}

TEST_P(BothPaths, HashesMatchOpenSslAtEverySplit) {
    CheckAgainstOpenSsl<Sha1>(EVP_sha1());
    CheckAgainstOpenSsl<Sha256>(EVP_sha256());
    CheckAgainstOpenSsl<Sha512>(EVP_sha512());
    CheckAgainstOpenSsl<Md5>(EVP_md5());
}

TEST_P(BothPaths, Sha1CompressionFunctionMatchesOpenSsl) {
    for (int round = 0; round < 200; ++round) {
        const Bytes block = RandomBytesForTest(64);
        const Bytes start = RandomBytesForTest(20);
        uint32_t ours[5];
        SHA_CTX theirs;
        SHA1_Init(&theirs);
        for (int i = 0; i < 5; ++i) {
            ours[i] = (uint32_t{start[4 * i]} << 24) | (uint32_t{start[4 * i + 1]} << 16) |
                      (uint32_t{start[4 * i + 2]} << 8) | start[4 * i + 3];
        }
        theirs.h0 = ours[0];
        theirs.h1 = ours[1];
        theirs.h2 = ours[2];
        theirs.h3 = ours[3];
        theirs.h4 = ours[4];
        Sha1Compress(ours, block.data());
        SHA1_Transform(&theirs, block.data());
        EXPECT_EQ(ours[0], theirs.h0);
        EXPECT_EQ(ours[1], theirs.h1);
        EXPECT_EQ(ours[2], theirs.h2);
        EXPECT_EQ(ours[3], theirs.h3);
        EXPECT_EQ(ours[4], theirs.h4);
    }
}

TEST_P(BothPaths, HmacRfc2202) {
    int checked = 0;
    for (const Record& r : ReadRecords("hmac/hmac_rfc2202.txt")) {
        if (!r.Has("Digest")) continue;
        const Bytes key = Hex(r["Key"]);
        const Bytes data = Hex(r["Data"]);
        ASSERT_EQ(data.size(), std::stoul(r["DataLen"]));
        std::string mac;
        if (r.section.find("MD5") != std::string::npos) {
            const auto digest = Hmac<Md5>::Compute(key, data);
            mac = ToHex(digest.data(), digest.size());
        } else {
            const auto digest = Hmac<Sha1>::Compute(key, data);
            mac = ToHex(digest.data(), digest.size());
        }
        EXPECT_EQ(mac, r["Digest"]) << r.section << " case " << r["Count"];
        if (r.Has("Digest96")) {
            EXPECT_EQ(mac.substr(0, 24), r["Digest96"]);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 14);
}

// Every case of a Wycheproof HMAC file, the truncated tags and modified-tag negatives included;
// the number run must be the file's own count.
template <typename Hash>
void CheckHmacWycheproof(const char* file, int expectedCases) {
    const auto json = ReadJson(file);
    int checked = 0;
    for (const auto& group : json["testGroups"]) {
        const size_t tagBytes = group["tagSize"].get<size_t>() / 8;
        for (const auto& t : group["tests"]) {
            const auto mac = Hmac<Hash>::Compute(Hex(t["key"].get<std::string>()),
                                                 Hex(t["msg"].get<std::string>()));
            const bool matches = ToHex(mac.data(), tagBytes) == t["tag"].get<std::string>();
            EXPECT_EQ(matches, t["result"] == "valid") << file << " tcId " << t["tcId"];
            ++checked;
        }
    }
    EXPECT_EQ(checked, expectedCases) << file;
    EXPECT_EQ(checked, json["numberOfTests"].get<int>()) << file;
}

TEST_P(BothPaths, HmacWycheproof) {
    CheckHmacWycheproof<Sha1>("hmac/wycheproof_hmac_sha1_test.json", 170);
    CheckHmacWycheproof<Sha256>("hmac/wycheproof_hmac_sha256_test.json", 174);
    CheckHmacWycheproof<Sha512>("hmac/wycheproof_hmac_sha512_test.json", 174);
}

template <typename Hash>
void CheckHmacAgainstOpenSsl(const EVP_MD* md) {
    const size_t block = Hash::kBlockLength;
    const size_t keyLengths[] = {0, 1, 20, block - 1, block, block + 1, 200};
    for (size_t keyLength : keyLengths) {
        for (int round = 0; round < 20; ++round) {
            const Bytes key = RandomBytesForTest(keyLength);
            const Bytes data = RandomBytesForTest(RandomSize(0, 300));
            const auto ours = Hmac<Hash>::Compute(key, data);
            uint8_t theirs[EVP_MAX_MD_SIZE];
            unsigned length = 0;
            HMAC(md, key.data(), static_cast<int>(key.size()), data.data(), data.size(), theirs,
                 &length);
            ASSERT_EQ(ToHex(ours.data(), ours.size()), ToHex(theirs, length))
                << "key length " << keyLength;
        }
    }
}

TEST_P(BothPaths, HmacMatchesOpenSslForKeysAroundTheBlockSize) {
    CheckHmacAgainstOpenSsl<Sha256>(EVP_sha256());
    CheckHmacAgainstOpenSsl<Sha512>(EVP_sha512());
}

TEST_P(BothPaths, HashDescriptors) {
    struct Case {
        const HashDescriptor* descriptor;
        const EVP_MD* md;
        size_t length;
        const char* name;
    };
    for (const Case& c : {Case{&kSha1Hash, EVP_sha1(), 20, "SHA-1"},
                          Case{&kSha256Hash, EVP_sha256(), 32, "SHA-256"},
                          Case{&kSha512Hash, EVP_sha512(), 64, "SHA-512"}}) {
        EXPECT_EQ(c.descriptor->digestLength, c.length);
        EXPECT_EQ(c.descriptor->displayName, c.name);
        const Bytes message = RandomBytesForTest(1000);
        auto context = c.descriptor->CreateContext();
        context->Update(message.data(), 300);
        context->Update(std::span<const uint8_t>(message).subspan(300));
        Bytes ours(c.length);
        context->Finish(ours.data());
        uint8_t theirs[EVP_MAX_MD_SIZE];
        unsigned theirLength = 0;
        EVP_Digest(message.data(), message.size(), theirs, &theirLength, c.md, nullptr);
        EXPECT_EQ(ToHex(ours), ToHex(theirs, theirLength));
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, BothPaths, ::testing::Values(false, true), PathName);

TEST(Crc32, MatchesZlibIncrementally) {
    EXPECT_EQ(Crc32(0, reinterpret_cast<const uint8_t*>("123456789"), 9),
              0xcbf43926u);  // the check value
    for (int round = 0; round < 300; ++round) {
        const Bytes data = RandomBytesForTest(RandomSize(0, 2000));
        const size_t split = RandomSize(0, data.size());
        const uint32_t ours =
            Crc32(Crc32(0, data.data(), split), data.data() + split, data.size() - split);
        const uint32_t theirs =
            static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        ASSERT_EQ(ours, theirs) << "length " << data.size() << " split " << split;
    }
}

TEST(CpuFeatures, ForcingPortableHidesTheInstructions) {
    ForcePortableCrypto(true);
    EXPECT_FALSE(UseAesNi());
    EXPECT_FALSE(UseShaNi());
    ForcePortableCrypto(false);
    EXPECT_EQ(UseAesNi(), DetectedCpuFeatures().aesNi);
    EXPECT_EQ(UseShaNi(), DetectedCpuFeatures().shaNi);
}

}  // namespace
}  // namespace tessan::crypto::test
