// The SSH authenticated ciphers through the packet layer's interface: the derived packet vectors
// (tests/data/aead/*_ssh_derived.json), and the receiving side refusing any change to a packet.
#include <gtest/gtest.h>

#include "crypto/aead.h"
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

std::unique_ptr<AeadContext> Keyed(const AeadDescriptor& aead, const Bytes& key, const Bytes& iv) {
    auto context = aead.CreateContext();
    context->SetKey(key.data());
    if (aead.ivBytes != 0) context->SetIv(iv.data());
    return context;
}

// Seals `plain` on `sender`, checks the wire bytes, then receives them on `receiver` as the
// packet layer does: the length first, then the whole packet.
void CheckPacket(AeadContext& sender, AeadContext& receiver, const Bytes& plain, const Bytes& wire,
                 uint32_t sequence) {
    Bytes sealed = plain;
    sealed.resize(wire.size());
    sender.Seal(sealed.data(), plain.size(), sequence);
    EXPECT_EQ(ToHex(sealed), ToHex(wire));

    Bytes received = wire;
    EXPECT_EQ(receiver.PacketLength(received.data(), sequence), LoadBe32(plain.data()));
    ASSERT_TRUE(receiver.Open(received.data(), plain.size(), sequence));
    received.resize(plain.size());
    EXPECT_EQ(ToHex(received), ToHex(plain));
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
        const AeadDescriptor* cipher = FindAead(name);
        ASSERT_NE(cipher, nullptr) << name;
        const Bytes key = Hex(test["key"].get<std::string>());
        const Bytes iv = Hex(test["iv"].get<std::string>());
        auto sender = Keyed(*cipher, key, iv);
        auto receiver = Keyed(*cipher, key, iv);
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

// A packet whose length field, body or tag differs in any bit is refused; so are a wrong
// sequence number (ChaCha20) and a shortened packet. A refusal leaves no plaintext and does not
// disturb the next packet.
TEST_P(SshAead, AnyChangeIsRefused) {
    for (const AeadDescriptor* aead : AeadList()) {
        SCOPED_TRACE(std::string(aead->name));
        const Bytes key = RandomBytesForTest(aead->keyBytes);
        const Bytes iv = RandomBytesForTest(12);
        const size_t length = 4 + 3 * aead->blockSize * 8;
        Bytes plain = RandomBytesForTest(length);
        StoreBe32(plain.data(), static_cast<uint32_t>(length - 4));
        auto sender = Keyed(*aead, key, iv);
        Bytes wire = plain;
        wire.resize(length + aead->tagLength);
        sender->Seal(wire.data(), length, 7);

        auto receiver = Keyed(*aead, key, iv);
        for (size_t bit = 0; bit < 8 * wire.size(); ++bit) {
            Bytes forged = wire;
            forged[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            ASSERT_FALSE(receiver->Open(forged.data(), length, 7)) << "bit " << bit;
            ASSERT_NE(ToHex(forged.data() + 4, length - 4), ToHex(plain.data() + 4, length - 4));
        }
        Bytes shortened = wire;
        EXPECT_FALSE(receiver->Open(shortened.data(), length - aead->blockSize, 7));
        if (aead == &kChaCha20Poly1305) {
            Bytes replayed = wire;
            EXPECT_FALSE(receiver->Open(replayed.data(), length, 8));
        }
        ASSERT_TRUE(receiver->Open(wire.data(), length, 7));
        wire.resize(length);
        EXPECT_EQ(ToHex(wire), ToHex(plain));
    }
}

TEST(SshAeadDescriptors, ListAndNames) {
    const std::string_view names[] = {"chacha20-poly1305@openssh.com", "aes128-gcm@openssh.com",
                                      "aes256-gcm@openssh.com"};
    ASSERT_EQ(AeadList().size(), std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(AeadList()[i]->name, names[i]);
        EXPECT_EQ(FindAead(names[i]), AeadList()[i]);
    }
    EXPECT_EQ(FindAead("aes192-gcm@openssh.com"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Paths, SshAead, ::testing::Bool(), PathName);

}  // namespace
}  // namespace tessan::crypto::test
