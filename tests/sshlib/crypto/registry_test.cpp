// The algorithm registry: descriptor fields, family lists, offers built from preference lists,
// the MAC framing and its bug-compatible variants, key-exchange groups, SSH-1 cipher choice.
#include <gtest/gtest.h>

#include <set>

#include "crypto/cipher.h"
#include "crypto/hash.h"
#include "crypto/host_key.h"
#include "crypto/kex.h"
#include "crypto/mac.h"
#include "crypto/ssh1_cipher.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

TEST(CipherRegistry, DescriptorTable) {
    struct Row {
        const char* name;
        const char* display;
        int family;
        size_t block, keyBits, keyBytes;
        bool cbc;
    };
    const Row rows[] = {
        {"aes256-ctr", "AES-256 SDCTR", 3, 16, 256, 32, false},
        {"aes256-cbc", "AES-256 CBC", 3, 16, 256, 32, true},
        {"rijndael-cbc@lysator.liu.se", "AES-256 CBC", 3, 16, 256, 32, true},
        {"aes192-ctr", "AES-192 SDCTR", 3, 16, 192, 24, false},
        {"aes192-cbc", "AES-192 CBC", 3, 16, 192, 24, true},
        {"aes128-ctr", "AES-128 SDCTR", 3, 16, 128, 16, false},
        {"aes128-cbc", "AES-128 CBC", 3, 16, 128, 16, true},
        {"blowfish-ctr", "Blowfish-256 SDCTR", 2, 8, 256, 32, false},
        {"blowfish-cbc", "Blowfish-128 CBC", 2, 8, 128, 16, true},
        {"3des-ctr", "triple-DES SDCTR", 1, 8, 168, 24, false},
        {"3des-cbc", "triple-DES CBC", 1, 8, 168, 24, true},
        {"des-cbc", "single-DES CBC", 4, 8, 56, 8, true},
        {"des-cbc@ssh.com", "single-DES CBC", 4, 8, 56, 8, true},
        {"arcfour256", "Arcfour-256", 5, 1, 256, 32, false},
        {"arcfour128", "Arcfour-128", 5, 1, 128, 16, false},
    };
    for (const Row& row : rows) {
        const CipherDescriptor* d = FindCipher(row.name);
        ASSERT_NE(d, nullptr) << row.name;
        EXPECT_EQ(d->name, row.name);
        EXPECT_EQ(d->displayName, row.display) << row.name;
        EXPECT_EQ(static_cast<int>(d->family), row.family) << row.name;
        EXPECT_EQ(d->blockSize, row.block) << row.name;
        EXPECT_EQ(d->keyBits, row.keyBits) << row.name;
        EXPECT_EQ(d->keyBytes, row.keyBytes) << row.name;
        EXPECT_EQ(d->cbc, row.cbc) << row.name;
        // The family list of its code holds it.
        const auto* family = CipherFamilyByCode(row.family);
        ASSERT_NE(family, nullptr);
        EXPECT_NE(std::find(family->ciphers.begin(), family->ciphers.end(), d),
                  family->ciphers.end());
    }
    EXPECT_EQ(FindCipher("AES128-CTR"), nullptr);  // exact byte comparison
    EXPECT_EQ(FindCipher("aes128-ctr "), nullptr);
    EXPECT_EQ(FindCipher(""), nullptr);
    EXPECT_EQ(CipherFamilyByCode(0), nullptr);
    EXPECT_EQ(CipherFamilyByCode(6), nullptr);
}

TEST(CipherRegistry, OffersFollowThePreferenceList) {
    const std::string aes =
        "aes256-ctr,aes256-cbc,rijndael-cbc@lysator.liu.se,aes192-ctr,aes192-cbc,aes128-ctr,aes128-"
        "cbc";
    const std::string tail = "blowfish-ctr,blowfish-cbc,3des-ctr,3des-cbc,arcfour256,arcfour128";
    struct Case {
        CipherPreference preference;
        bool allowSingleDes;
        std::string names;
        size_t slots;
    };
    const Case cases[] = {
        {kDefaultCipherPreference, false, aes + "," + tail, 4},
        {kDefaultCipherPreference, true, aes + "," + tail + ",des-cbc,des-cbc@ssh.com", 5},
        {{4, 3, 0, 2, 1, 5}, true, "des-cbc,des-cbc@ssh.com," + aes + "," + tail, 6},
        {{0, 1, 0, 0, 0, 0}, false, "3des-ctr,3des-cbc", 5},  // markers add nothing
        {{5, 9, -1, 0, 0, 3},
         false,
         "arcfour256,arcfour128," + aes,
         6},  // unknown codes are markers
        {{4, 4, 4, 4, 4, 4}, false, "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CipherNameList(c.preference, c.allowSingleDes), c.names);
        EXPECT_EQ(CipherCandidates(c.preference, c.allowSingleDes).size(), c.slots) << c.names;
    }
    const auto offer = CipherOffer(kDefaultCipherPreference, false);
    EXPECT_EQ(offer.size(), 13u);
    for (const CipherDescriptor* d : offer)
        EXPECT_NE(d->family, CipherFamily::kSingleDes);
}

TEST(CipherRegistry, ContextsAreIndependentPerDirection) {
    const Bytes key = RandomBytesForTest(32);
    const Bytes iv = RandomBytesForTest(16);
    auto first = kAes256Cbc.CreateContext();
    auto second = kAes256Cbc.CreateContext();
    for (auto* c : {first.get(), second.get()}) {
        c->SetKey(key.data());
        c->SetIv(iv.data());
    }
    Bytes a = RandomBytesForTest(64);
    Bytes b = a;
    first->Encrypt(a.data(), 32);
    first->Encrypt(a.data() + 32, 32);
    second->Encrypt(b.data(), 64);
    EXPECT_EQ(a, b);
}

TEST(MacRegistry, ListsAndDescriptors) {
    const auto normal = MacList(false);
    const auto buggy = MacList(true);
    ASSERT_EQ(normal.size(), 3u);
    ASSERT_EQ(buggy.size(), 3u);
    const char* names[] = {"hmac-sha1", "hmac-sha1-96", "hmac-md5"};
    const size_t lengths[] = {20, 12, 16};
    const size_t normalKeys[] = {20, 20, 16};
    const size_t buggyKeys[] = {16, 16, 16};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(normal[i]->name, names[i]);
        EXPECT_EQ(buggy[i]->name, names[i]);
        EXPECT_EQ(normal[i]->macLength, lengths[i]);
        EXPECT_EQ(buggy[i]->macLength, lengths[i]);
        EXPECT_EQ(normal[i]->keyBytes, normalKeys[i]);
        EXPECT_EQ(buggy[i]->keyBytes, buggyKeys[i]);
        EXPECT_EQ(FindMac(names[i], false), normal[i]);
        EXPECT_EQ(FindMac(names[i], true), buggy[i]);
    }
    EXPECT_EQ(kHmacSha1BugCompatible.displayName, "bug-compatible HMAC-SHA1");
    EXPECT_EQ(kHmacSha1_96BugCompatible.displayName, "bug-compatible HMAC-SHA1-96");
    // The modern MACs: full-length tags keyed with as many bytes as the digest, found from
    // either original list.
    struct Modern {
        const MacDescriptor* mac;
        const char* name;
        size_t length;
        bool encryptThenMac;
    };
    const Modern modern[] = {{&kHmacSha256, "hmac-sha2-256", 32, false},
                             {&kHmacSha512, "hmac-sha2-512", 64, false},
                             {&kHmacSha256Etm, "hmac-sha2-256-etm@openssh.com", 32, true},
                             {&kHmacSha512Etm, "hmac-sha2-512-etm@openssh.com", 64, true},
                             {&kHmacSha1Etm, "hmac-sha1-etm@openssh.com", 20, true}};
    ASSERT_EQ(ModernMacs().size(), std::size(modern));
    for (size_t i = 0; i < std::size(modern); ++i) {
        const Modern& m = modern[i];
        EXPECT_EQ(ModernMacs()[i], m.mac);
        EXPECT_EQ(m.mac->name, m.name);
        EXPECT_EQ(m.mac->macLength, m.length);
        EXPECT_EQ(m.mac->keyBytes, m.length);
        EXPECT_EQ(m.mac->encryptThenMac, m.encryptThenMac);
        EXPECT_EQ(FindMac(m.name, false), m.mac);
        EXPECT_EQ(FindMac(m.name, true), m.mac);
    }
    EXPECT_EQ(FindMac("umac-64@openssh.com", false), nullptr);
}

TEST(MacRegistry, DerivedSequenceNumberVectors) {
    const auto json = ReadJson("hmac/ssh_mac_derived.json");
    int checked = 0;
    for (const auto& c : json["cases"]) {
        // "hmac-sha1 (bug-compatible, 16 key bytes)": the wire name is the first word.
        const std::string label = c["mac"].get<std::string>();
        const std::string name = label.substr(0, label.find(' '));
        const bool buggy = label.find("bug-compatible") != std::string::npos;
        const MacDescriptor* d = FindMac(name, buggy);
        ASSERT_NE(d, nullptr);
        const Bytes key = Hex(c["keyMaterial"].get<std::string>());
        Bytes packet = Hex(c["packet"].get<std::string>());
        const size_t length = packet.size();
        const uint32_t sequence = c["sequenceNumber"].get<uint32_t>();
        auto context = d->CreateContext();
        context->SetKey(key.data());
        packet.resize(length + d->macLength + 1, 0xee);
        context->Generate(packet.data(), length, sequence);
        EXPECT_EQ(ToHex(packet.data() + length, d->macLength), c["expectedMac"].get<std::string>())
            << c["comment"];
        EXPECT_EQ(packet.back(), 0xee) << "wrote past the MAC";
        EXPECT_TRUE(context->Verify(packet.data(), length, sequence));
        EXPECT_FALSE(context->Verify(packet.data(), length, sequence + 1));
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST(MacRegistry, BugCompatibleKeysIgnoreTheLastFourBytes) {
    Bytes key1 = RandomBytesForTest(20);
    Bytes key2 = key1;
    for (size_t i = 16; i < 20; ++i)
        key2[i] ^= 0x5a;
    for (const bool buggy : {false, true}) {
        for (const MacDescriptor* d : MacList(buggy)) {
            Bytes packet1 = RandomBytesForTest(100);
            packet1.resize(100 + d->macLength);
            Bytes packet2 = packet1;
            auto c1 = d->CreateContext();
            auto c2 = d->CreateContext();
            c1->SetKey(key1.data());
            c2->SetKey(key2.data());
            c1->Generate(packet1.data(), 100, 7);
            c2->Generate(packet2.data(), 100, 7);
            // MD5 takes 16 key bytes in both lists; SHA-1 only in the bug-compatible one.
            const bool shouldMatch = d->keyBytes == 16;
            EXPECT_EQ(packet1 == packet2, shouldMatch) << d->displayName;
        }
    }
}

TEST(MacRegistry, VerifyChecksExactlyTheMacBytes) {
    const Bytes key = RandomBytesForTest(20);
    for (const MacDescriptor* d : MacList(false)) {
        auto context = d->CreateContext();
        context->SetKey(key.data());
        Bytes packet = RandomBytesForTest(64);
        packet.resize(64 + d->macLength + 8, 0);
        context->Generate(packet.data(), 64, 0xffffffffu);
        EXPECT_TRUE(context->Verify(packet.data(), 64, 0xffffffffu));
        // Bytes after the MAC do not matter; any flipped bit in the data or the MAC does.
        packet[64 + d->macLength] ^= 1;
        EXPECT_TRUE(context->Verify(packet.data(), 64, 0xffffffffu));
        for (size_t i = 0; i < 64 + d->macLength; ++i) {
            packet[i] ^= 0x10;
            EXPECT_FALSE(context->Verify(packet.data(), 64, 0xffffffffu))
                << d->name << " byte " << i;
            packet[i] ^= 0x10;
        }
    }
}

TEST(KexRegistry, DescriptorsAndOffer) {
    EXPECT_EQ(KexNameList(kDefaultKexPreference),
              "diffie-hellman-group-exchange-sha256,diffie-hellman-group-exchange-sha1,"
              "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1");
    EXPECT_EQ(KexNameList({1, 0, 2, 0}), "diffie-hellman-group1-sha1,diffie-hellman-group14-sha1");
    EXPECT_EQ(KexCandidates({1, 0, 2, 0}).size(), 3u);
    EXPECT_EQ(KexCandidates({0, 0, 0, 0}).size(), 3u);
    EXPECT_TRUE(KexOffer({0, 0, 0, 0}).empty());

    EXPECT_TRUE(kKexGroupExchangeSha256.IsGroupExchange());
    EXPECT_EQ(kKexGroupExchangeSha256.exchangeHash, &kSha256Hash);
    EXPECT_EQ(kKexGroupExchangeSha1.exchangeHash, &kSha1Hash);
    EXPECT_EQ(FindKex("diffie-hellman-group1-sha1"), &kKexGroup1Sha1);
    EXPECT_EQ(FindKex("diffie-hellman-group15-sha512"), nullptr);

    // The primes equal the published group files byte for byte.
    std::vector<Bytes> published;
    for (const Record& r : ReadRecords("dh/modp_groups.txt")) {
        if (r.Has("PHEX")) published.push_back(Hex(r["PHEX"]));
    }
    ASSERT_EQ(published.size(), 2u);
    const Bytes group1(kKexGroup1Sha1.prime.begin(), kKexGroup1Sha1.prime.end());
    const Bytes group14(kKexGroup14Sha1.prime.begin(), kKexGroup14Sha1.prime.end());
    EXPECT_EQ(group1, published[0]);
    EXPECT_EQ(group14, published[1]);
    EXPECT_EQ(kKexGroup1Sha1.groupName, "group1");
    EXPECT_EQ(kKexGroup14Sha1.groupName, "group14");
    for (const KexDescriptor* k : {&kKexGroup1Sha1, &kKexGroup14Sha1}) {
        ASSERT_EQ(k->generator.size(), 1u);
        EXPECT_EQ(k->generator[0], 2);
    }
}

TEST(HostKeyRegistry, OfferOrder) {
    const auto algorithms = HostKeyAlgorithms();
    ASSERT_EQ(algorithms.size(), 2u);
    EXPECT_EQ(algorithms[0]->name, "ssh-rsa");
    EXPECT_EQ(algorithms[1]->name, "ssh-dss");
    EXPECT_EQ(FindHostKeyAlgorithm("ssh-dss"), &kSshDss);
    EXPECT_EQ(FindHostKeyAlgorithm("ssh-ed448"), nullptr);
}

TEST(Ssh1CipherChoice, FirstPreferredCipherTheServerSupports) {
    struct Case {
        CipherPreference preference;
        uint32_t mask;
        const Ssh1CipherDescriptor* expected;
    };
    const uint32_t all = (1u << 2) | (1u << 3) | (1u << 6);
    const Case cases[] = {
        {kDefaultCipherPreference, all, &kSsh1Blowfish},  // AES skipped, Blowfish next
        {kDefaultCipherPreference, 1u << 3, &kSsh1TripleDes},
        {kDefaultCipherPreference, 1u << 2, &kSsh1Des},  // single DES regardless of the SSH-2 gate
        {kDefaultCipherPreference, 1u << 5, nullptr},
        {{3, 5, 0, 0, 0, 0}, all, nullptr},
        {{1, 2, 3, 4, 5, 0}, all, &kSsh1TripleDes},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseSsh1Cipher(c.preference, c.mask), c.expected);
    EXPECT_EQ(kSsh1TripleDes.number, 3);
    EXPECT_EQ(kSsh1Des.number, 2);
    EXPECT_EQ(kSsh1Blowfish.number, 6);
    EXPECT_EQ(kSsh1TripleDes.displayName, "triple-DES inner-CBC");
    EXPECT_EQ(kSsh1Blowfish.displayName, "Blowfish-128 CBC");
}

}  // namespace
}  // namespace tessan::crypto::test
