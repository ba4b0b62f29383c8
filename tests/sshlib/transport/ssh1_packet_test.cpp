// SSH-1 packets: the check's CRC form, framing read back at every split with each cipher, the
// refusal of damaged packets and of lengths out of range, and the compensation-attack
// detector on the pattern it exists for and on the repeats honest streams may have.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "crypto/crc_attack_detector.h"
#include "crypto/ssh1_cipher.h"
#include "sshlib/transport/ssh1_packet.h"

namespace tessan::transport {
namespace {

using Bytes = std::vector<uint8_t>;

void TestRandom(uint8_t* out, size_t length) {
    static std::mt19937 rng(7);
    for (size_t i = 0; i < length; ++i)
        out[i] = static_cast<uint8_t>(rng());
}

std::unique_ptr<crypto::Ssh1CipherContext> Keyed(const crypto::Ssh1CipherDescriptor* cipher) {
    if (!cipher) return nullptr;
    std::array<uint8_t, 32> key;
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<uint8_t>(i * 11 + 3);
    auto context = cipher->CreateContext();
    context->SetSessionKey(key.data());
    return context;
}

// Packets of 0 to 40 bytes of data after message number 17, framed in one stream.
Bytes FramedStream(crypto::Ssh1CipherContext* cipher, std::vector<Bytes>& payloads) {
    Bytes stream;
    for (size_t n = 0; n <= 40; ++n) {
        Ssh1OutgoingPacket packet(17);
        Bytes data(n);
        TestRandom(data.data(), n);
        packet.AddBytes(data);
        payloads.emplace_back(packet.Payload().begin(), packet.Payload().end());
        FrameSsh1Packet(packet, cipher, TestRandom, stream);
    }
    return stream;
}

TEST(Ssh1Packet, CheckIsTheUninvertedCrc32) {
    const char* text = "123456789";
    EXPECT_EQ(crypto::Ssh1Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0x2DFD2D88u);
    EXPECT_EQ(crypto::Ssh1Crc32(nullptr, 0), 0u);
}

TEST(Ssh1Packet, FramedPacketsReadBackAtEverySplitWithEachCipher) {
    const crypto::Ssh1CipherDescriptor* ciphers[] = {nullptr, &crypto::kSsh1TripleDes,
                                                     &crypto::kSsh1Blowfish, &crypto::kSsh1Des};
    for (const crypto::Ssh1CipherDescriptor* cipher : ciphers) {
        std::vector<Bytes> payloads;
        auto sender = Keyed(cipher);
        const Bytes stream = FramedStream(sender.get(), payloads);
        for (size_t piece : {size_t{1}, size_t{7}, size_t{64}, stream.size()}) {
            auto receiver = Keyed(cipher);
            Ssh1PacketReader reader;
            reader.SetCipher(receiver.get());
            size_t next = 0;
            for (size_t at = 0; at < stream.size(); at += piece) {
                const size_t end = std::min(stream.size(), at + piece);
                for (size_t offset = at; offset < end;) {
                    size_t consumed = 0;
                    auto result = reader.Feed(stream.data() + offset, end - offset, consumed);
                    offset += consumed;
                    if (result == Ssh1PacketReader::Result::kNeedMore) break;
                    ASSERT_EQ(result, Ssh1PacketReader::Result::kPacket);
                    const auto payload = reader.Packet().Payload();
                    ASSERT_LT(next, payloads.size());
                    EXPECT_EQ(Bytes(payload.begin(), payload.end()), payloads[next]);
                    ++next;
                }
            }
            EXPECT_EQ(next, payloads.size()) << "piece " << piece;
        }
    }
}

TEST(Ssh1Packet, DamagedPacketsAndImpossibleLengthsAreRefused) {
    for (const crypto::Ssh1CipherDescriptor* cipher :
         {static_cast<const crypto::Ssh1CipherDescriptor*>(nullptr), &crypto::kSsh1TripleDes}) {
        auto sender = Keyed(cipher);
        Ssh1OutgoingPacket packet(17);
        packet.AddString(std::string_view("some data"));
        Bytes frame;
        FrameSsh1Packet(packet, sender.get(), TestRandom, frame);
        for (size_t at = 4; at < frame.size(); ++at) {
            Bytes damaged = frame;
            damaged[at] ^= 0x10;
            auto receiver = Keyed(cipher);
            Ssh1PacketReader reader;
            reader.SetCipher(receiver.get());
            size_t consumed = 0;
            EXPECT_EQ(reader.Feed(damaged.data(), damaged.size(), consumed),
                      Ssh1PacketReader::Result::kBadCheck)
                << "byte " << at;
        }
    }
    const struct {
        uint32_t length;
        Ssh1PacketReader::Result result;
    } lengths[] = {
        {4, Ssh1PacketReader::Result::kBadLength},
        {5, Ssh1PacketReader::Result::kNeedMore},
        {262144, Ssh1PacketReader::Result::kNeedMore},
        {262145, Ssh1PacketReader::Result::kBadLength},
        {0xFFFFFFFF, Ssh1PacketReader::Result::kBadLength},
    };
    for (const auto& l : lengths) {
        const uint8_t field[4] = {
            static_cast<uint8_t>(l.length >> 24), static_cast<uint8_t>(l.length >> 16),
            static_cast<uint8_t>(l.length >> 8), static_cast<uint8_t>(l.length)};
        Ssh1PacketReader reader;
        size_t consumed = 0;
        EXPECT_EQ(reader.Feed(field, 4, consumed), l.result) << l.length;
    }
}

// Block indexes of a packet of `blocks` blocks whose single-bit CRC terms cancel: a GF(2)
// dependency among the 32-bit terms, found by elimination.
std::vector<size_t> CancellingPositions(size_t blocks) {
    std::vector<uint32_t> term(blocks);
    for (size_t i = 0; i < blocks; ++i) {
        Bytes indicator((blocks - i) * 8, 0);
        indicator[0] = 1;
        term[i] = crypto::Ssh1Crc32(indicator.data(), indicator.size());
    }
    std::array<std::pair<uint32_t, std::vector<bool>>, 32> basis{};
    for (size_t i = 0; i < blocks; ++i) {
        uint32_t vector = term[i];
        std::vector<bool> members(blocks);
        members[i] = true;
        while (vector) {
            const int top = 31 - __builtin_clz(vector);
            if (!basis[top].first) {
                basis[top] = {vector, members};
                break;
            }
            vector ^= basis[top].first;
            for (size_t m = 0; m < blocks; ++m)
                members[m] = members[m] != basis[top].second[m];
        }
        if (!vector) {
            std::vector<size_t> positions;
            for (size_t m = 0; m < blocks; ++m)
                if (members[m]) positions.push_back(m);
            return positions;
        }
    }
    return {};
}

TEST(CompensationAttackDetector, FindsCancellingCopiesAndNothingElse) {
    constexpr size_t kBlocks = 64;
    Bytes packet(kBlocks * 8);
    TestRandom(packet.data(), packet.size());
    const uint8_t zero[8] = {};
    EXPECT_FALSE(crypto::CompensationAttackDetected(packet.data(), packet.size(), zero));

    // Two copies of a block, or a block equal to the chaining value, never cancel.
    Bytes twice = packet;
    std::memcpy(twice.data() + 8 * 40, twice.data() + 8 * 3, 8);
    EXPECT_FALSE(crypto::CompensationAttackDetected(twice.data(), twice.size(), zero));
    EXPECT_FALSE(crypto::CompensationAttackDetected(packet.data(), packet.size(), packet.data()));

    const std::vector<size_t> positions = CancellingPositions(kBlocks);
    ASSERT_GE(positions.size(), 3u);
    Bytes attacked = packet;
    for (size_t p : positions)
        std::memcpy(attacked.data() + 8 * p, packet.data() + 8 * positions[0], 8);
    EXPECT_TRUE(crypto::CompensationAttackDetected(attacked.data(), attacked.size(), zero));
    // One copy fewer breaks the cancellation.
    Bytes partial = attacked;
    std::memcpy(partial.data() + 8 * positions.back(), packet.data() + 8 * positions.back(), 8);
    EXPECT_FALSE(crypto::CompensationAttackDetected(partial.data(), partial.size(), zero));
}

}  // namespace
}  // namespace tessan::transport
