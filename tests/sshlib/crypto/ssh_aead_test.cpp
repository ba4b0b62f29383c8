// The SSH authenticated ciphers through the packet layer's interface: the derived packet vectors
// (tests/data/aead/*_ssh_derived.json), and the receiving side refusing any change to a packet.
#include <gtest/gtest.h>

#include "crypto/aead.h"
#include "crypto/aead_ciphers.h"
#include "crypto/bytes.h"
#include "crypto/cpu_features.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

class SshAead : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForcePortableCrypto(GetParam()); }
    void TearDown() override { ForcePortableCrypto(false); }
};

std::unique_ptr<AeadContext> Keyed(const CipherDescriptor& cipher, const Bytes& key,
                                   const Bytes& iv) {
    auto context = cipher.aead->CreateContext();
    context->SetKey(key.data());
    if (cipher.aead->ivBytes != 0) context->SetIv(iv.data());
    return context;
}

// Seals `plain` on `sender`, checks the wire bytes, then receives them on `receiver` as the
// packet layer does: the length first, then the whole packet.
void CheckPacket(AeadContext& sender, AeadContext& receiver, const Bytes& plain, const Bytes& wire,
                 uint32_t sequence) {
    const size_t body = plain.size() - 4;
    Bytes sealed = plain;
    sealed.resize(wire.size());
    sender.Seal(sealed.data(), body, sequence);
    EXPECT_EQ(ToHex(sealed), ToHex(wire));

    Bytes received = wire;
    EXPECT_EQ(receiver.PacketLength(received.data(), sequence), LoadBe32(plain.data()));
    ASSERT_TRUE(receiver.Open(received.data(), body, sequence));
    EXPECT_EQ(ToHex(received.data() + 4, body), ToHex(plain.data() + 4, body));
    EXPECT_EQ(ToHex(received.data(), 4), ToHex(wire.data(), 4)) << "length field not as arrived";
}

TEST_P(SshAead, ChaCha20Poly1305DerivedPackets) {
    int packets = 0;
    const nlohmann::json json = ReadJson("aead/chacha20_poly1305_ssh_derived.json");
    for (const auto& test : json["tests"]) {
        const Bytes key = Hex(test["keyMaterial"].get<std::string>());
        auto sender = Keyed(kChaCha20Poly1305, key, {});
        auto receiver = Keyed(kChaCha20Poly1305, key, {});
        for (const auto& p : test["packets"]) {
            const auto sequence = p["sequence"].get<uint32_t>();
            SCOPED_TRACE(sequence);
            CheckPacket(*sender, *receiver, Hex(p["plain"].get<std::string>()),
                        Hex(p["wire"].get<std::string>()), sequence);
            ++packets;
        }
    }
    EXPECT_EQ(packets, 14);
}

TEST_P(SshAead, AesGcmDerivedPacketsStepTheInvocationCounter) {
    int packets = 0;
    const nlohmann::json json = ReadJson("aead/aes_gcm_ssh_derived.json");
    for (const auto& test : json["tests"]) {
        const std::string name = test["name"].get<std::string>();
        const CipherDescriptor& cipher = name == kAes128Gcm.name ? kAes128Gcm : kAes256Gcm;
        ASSERT_EQ(cipher.name, name);
        const Bytes key = Hex(test["key"].get<std::string>());
        const Bytes iv = Hex(test["iv"].get<std::string>());
        auto sender = Keyed(cipher, key, iv);
        auto receiver = Keyed(cipher, key, iv);
        uint32_t sequence = 0;
        for (const auto& p : test["packets"]) {
            SCOPED_TRACE(name + " packet " + std::to_string(sequence));
            CheckPacket(*sender, *receiver, Hex(p["plain"].get<std::string>()),
                        Hex(p["wire"].get<std::string>()), sequence++);
            ++packets;
        }
    }
    EXPECT_EQ(packets, 16);
}

// A packet whose length field, body or tag differs in any bit is refused, whichever way it is
// cut; so are a wrong sequence number (ChaCha20) and a shortened packet. A refusal leaves no
// plaintext and does not disturb the next packet.
TEST_P(SshAead, AnyChangeIsRefused) {
    for (const CipherDescriptor* cipher : AeadCipherList()) {
        SCOPED_TRACE(std::string(cipher->name));
        const Bytes key = RandomBytesForTest(cipher->keyBytes);
        const Bytes iv = RandomBytesForTest(12);
        const size_t body = 3 * cipher->blockSize * 8;
        Bytes plain = RandomBytesForTest(4 + body);
        StoreBe32(plain.data(), static_cast<uint32_t>(body));
        auto sender = Keyed(*cipher, key, iv);
        Bytes wire = plain;
        wire.resize(4 + body + cipher->aead->tagLength);
        sender->Seal(wire.data(), body, 7);

        auto receiver = Keyed(*cipher, key, iv);
        for (size_t bit = 0; bit < 8 * wire.size(); ++bit) {
            Bytes forged = wire;
            forged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            ASSERT_FALSE(receiver->Open(forged.data(), body, 7)) << "bit " << bit;
            ASSERT_NE(ToHex(forged.data() + 4, body), ToHex(plain.data() + 4, body));
        }
        Bytes shortened = wire;
        EXPECT_FALSE(receiver->Open(shortened.data(), body - cipher->blockSize, 7));
        if (cipher == &kChaCha20Poly1305) {
            Bytes replayed = wire;
            EXPECT_FALSE(receiver->Open(replayed.data(), body, 8));
        }
        ASSERT_TRUE(receiver->Open(wire.data(), body, 7));
        EXPECT_EQ(wire.size(), plain.size() + 16);
        EXPECT_EQ(ToHex(wire.data() + 4, body), ToHex(plain.data() + 4, body));
    }
}

TEST(SshAeadDescriptors, SizesMatchTheConstructions) {
    const struct {
        const CipherDescriptor* cipher;
        size_t blockSize, keyBytes, ivBytes;
    } expected[] = {
        {&kChaCha20Poly1305, 8, 64, 0}, {&kAes128Gcm, 16, 16, 12}, {&kAes256Gcm, 16, 32, 12}};
    ASSERT_EQ(AeadCipherList().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const CipherDescriptor& c = *AeadCipherList()[i];
        EXPECT_EQ(&c, expected[i].cipher);
        EXPECT_TRUE(c.IsAead());
        EXPECT_EQ(c.blockSize, expected[i].blockSize);
        EXPECT_EQ(c.keyBytes, c.aead->keyBytes);
        EXPECT_EQ(c.aead->keyBytes, expected[i].keyBytes);
        EXPECT_EQ(c.aead->ivBytes, expected[i].ivBytes);
        EXPECT_EQ(c.aead->tagLength, 16u);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, SshAead, ::testing::Bool(), PathName);

}  // namespace
}  // namespace tessan::crypto::test
