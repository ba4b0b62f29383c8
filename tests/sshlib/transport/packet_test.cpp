// Framing of SSH-2 packets: padding rules, the reader's limits and its behaviour at every split,
// every cipher and MAC round trip, tampering, sequence numbers and compressed payloads.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "crypto/aead.h"
#include "crypto/bytes.h"
#include "crypto/cipher.h"
#include "crypto/mac.h"
#include "crypto/wire.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::transport {
namespace {

using Bytes = std::vector<uint8_t>;

// Deterministic "random" padding so that tests can compare bytes.
PacketBuilder::RandomSource Counter() {
    return [n = uint8_t{0}](uint8_t* out, size_t length) mutable {
        for (size_t i = 0; i < length; ++i)
            out[i] = n++;
    };
}

OutgoingPacket PacketOf(const Bytes& payload) {
    OutgoingPacket p(payload.at(0));
    p.AddRaw(std::span<const uint8_t>(payload).subspan(1));
    return p;
}

Bytes Key(uint8_t seed) {
    Bytes k(64);
    for (size_t i = 0; i < k.size(); ++i)
        k[i] = static_cast<uint8_t>(seed * 31 + i * 7);
    return k;
}

// A builder and a reader keyed alike.
void KeyBoth(PacketBuilder& builder, PacketReader& reader, const crypto::CipherDescriptor* cipher,
             const crypto::MacDescriptor* mac, bool compress = false) {
    auto make = [&](bool) {
        auto c = cipher ? cipher->CreateContext() : nullptr;
        if (c) {
            c->SetKey(Key(1).data());
            c->SetIv(Key(2).data());
        }
        return c;
    };
    auto makeMac = [&] {
        auto m = mac ? mac->CreateContext() : nullptr;
        if (m) m->SetKey(Key(3).data());
        return m;
    };
    size_t block = cipher ? cipher->blockSize : 8;
    const bool etm = mac && mac->encryptThenMac;
    builder.SetKeys(make(true), block, cipher && cipher->cbc, makeMac(), mac ? mac->macLength : 0,
                    compress ? std::make_unique<ZlibCompressor>() : nullptr, etm);
    reader.SetKeys(make(false), block, makeMac(), mac ? mac->macLength : 0,
                   compress ? std::make_unique<ZlibDecompressor>() : nullptr, etm);
}

TEST(PacketBuilder, PaddingRules) {
    struct Case {
        const crypto::CipherDescriptor* cipher;
        size_t payload;
        size_t minimum;
        uint32_t padding;
        uint32_t lengthField;
    };
    const Case cases[] = {
        {nullptr, 1, 0, 10, 12},                // 6 + 10 = 16
        {&crypto::kAes128Ctr, 1, 0, 10, 12},    // the same with 16-byte blocks
        {nullptr, 3, 0, 8, 12},                 // 8 + 4 = 12 grows to 16
        {nullptr, 4, 0, 7, 12},                 // 9 + 7 = 16
        {nullptr, 11, 0, 8, 20},                // 16 + 4 = 20 grows to 24
        {&crypto::kAes256Cbc, 100, 0, 7, 108},  // 105 + 7 = 112
        {nullptr, 1, 64, 58, 60},               // reaches the minimum padded length
        {&crypto::kAes128Ctr, 10, 64, 49, 60},  // 15 + 49 = 64
        {nullptr, 1, 400, 250, 252},            // never more than 255 bytes of padding
        {&crypto::kArcfour128, 1, 0, 10, 12},   // a stream cipher counts as 8-byte blocks
    };
    for (const Case& c : cases) {
        PacketBuilder sized(Counter());
        auto context = c.cipher ? c.cipher->CreateContext() : nullptr;
        if (context) {
            context->SetKey(Key(1).data());
            context->SetIv(Key(2).data());
        }
        sized.SetKeys(std::move(context), c.cipher ? c.cipher->blockSize : 8, false, nullptr, 0,
                      nullptr);
        Bytes payload(c.payload, 0x42);
        payload[0] = 94;
        OutgoingPacket packet = PacketOf(payload);
        packet.SetMinimumPaddedLength(c.minimum);
        Bytes out;
        size_t counted = sized.Build(packet, out);
        EXPECT_EQ(counted, out.size());
        // Decrypt to look at the header.
        if (c.cipher) {
            auto decrypt = c.cipher->CreateContext();
            decrypt->SetKey(Key(1).data());
            decrypt->SetIv(Key(2).data());
            decrypt->Decrypt(out.data(), out.size());
        }
        EXPECT_EQ(out[4], c.padding) << c.payload << "/" << c.minimum;
        EXPECT_EQ(crypto::LoadBe32(out.data()), c.lengthField) << c.payload << "/" << c.minimum;
        EXPECT_EQ(out.size(), c.lengthField + 4u);
    }
}

// A plain packet with the given length field, padding byte and total size.
Bytes RawPacket(uint32_t lengthField, uint8_t padding, size_t total) {
    Bytes p(total, 0);
    crypto::StoreBe32(p.data(), lengthField);
    p[4] = padding;
    if (total > 5) p[5] = 2;  // an ignore message
    return p;
}

TEST(PacketReader, LengthAndPaddingLimits) {
    struct Case {
        const char* name;
        uint32_t lengthField;
        uint8_t padding;
        bool accepted;
    };
    const Case cases[] = {
        // The limit is 35000; with 8-byte blocks 34996 is the largest length that can pass.
        {"34996", 34996, 4, true},
        {"35000, whose total is no multiple of 8", 35000, 4, false},
        {"35004, beyond the limit", 35004, 4, false},
        {"top bit", 0x80000004u, 4, false},
        {"padding 3", 12, 3, false},
        {"padding 4", 12, 4, true},
        {"no payload", 12, 11, false},
        {"one payload byte", 12, 10, true},
        {"not a block multiple", 13, 4, false},
        {"padding 255", 260, 255, true},
    };
    for (const Case& c : cases) {
        // Only lengths whose total is a multiple of 8 can be accepted; build the rest anyway.
        Bytes raw = RawPacket(c.lengthField, c.padding, 8);
        if (c.accepted) raw = RawPacket(c.lengthField, c.padding, c.lengthField + 4);
        PacketReader reader;
        size_t consumed = 0;
        PacketReader::Result r = reader.Feed(raw.data(), raw.size(), consumed);
        if (c.accepted) {
            EXPECT_EQ(r, PacketReader::Result::kPacket) << c.name;
            EXPECT_EQ(consumed, raw.size()) << c.name;
            EXPECT_EQ(reader.Packet().Payload().size(), c.lengthField - c.padding - 1u) << c.name;
        } else {
            EXPECT_EQ(r, PacketReader::Result::kBadLength) << c.name;
            EXPECT_EQ(consumed, 8u) << c.name << ": the first block is dropped";
        }
    }
}

TEST(PacketReader, AnySplitGivesTheSamePackets) {
    PacketBuilder builder(Counter());
    PacketReader reference;
    KeyBoth(builder, reference, &crypto::kAes128Cbc, &crypto::kHmacSha1);
    std::mt19937 rng(1);
    Bytes stream;
    std::vector<Bytes> payloads;
    for (int i = 0; i < 5; ++i) {
        Bytes payload(1 + rng() % 100);
        for (uint8_t& b : payload)
            b = static_cast<uint8_t>(rng());
        payloads.push_back(payload);
        builder.Build(PacketOf(payload), stream);
    }
    for (size_t split = 0; split <= stream.size(); ++split) {
        PacketBuilder unused(Counter());
        PacketReader reader;
        KeyBoth(unused, reader, &crypto::kAes128Cbc, &crypto::kHmacSha1);
        std::vector<Bytes> seen;
        for (auto [from, to] : {std::pair{size_t{0}, split}, std::pair{split, stream.size()}}) {
            size_t offset = from;
            while (offset < to) {
                size_t consumed;
                auto r = reader.Feed(stream.data() + offset, to - offset, consumed);
                offset += consumed;
                if (r == PacketReader::Result::kPacket) {
                    auto p = reader.Packet().Payload();
                    seen.emplace_back(p.begin(), p.end());
                } else {
                    ASSERT_EQ(r, PacketReader::Result::kNeedMore);
                }
            }
        }
        ASSERT_EQ(seen, payloads) << "split " << split;
    }
}

// Keys a builder and a reader alike for one of the framings: the original one (cipher + MAC),
// encrypt-then-MAC, or an authenticated cipher.
struct Framing {
    const char* name;
    const crypto::CipherDescriptor* cipher;
    const crypto::MacDescriptor* mac;
    const crypto::AeadDescriptor* aead;
};

void KeyFraming(const Framing& f, PacketBuilder& builder, PacketReader& reader) {
    if (!f.aead) {
        KeyBoth(builder, reader, f.cipher, f.mac);
        return;
    }
    auto aead = [&] {
        auto a = f.aead->CreateContext();
        a->SetKey(Key(4).data());
        a->SetIv(Key(5).data());
        return a;
    };
    builder.SetAeadKeys(aead(), f.aead->blockSize, f.aead->tagLength, nullptr);
    reader.SetAeadKeys(aead(), f.aead->blockSize, f.aead->tagLength, nullptr);
}

// Bytes the reader may overwrite: packets lying whole in a chunk are opened where they lie, the
// others are put together as before. Every chunking gives the same packets as the copying
// reader, and a tampered packet is refused in place as well.
TEST(PacketReader, DecryptingInPlaceGivesTheSamePacketsAtEveryChunking) {
    const Framing framings[] = {
        {"aes128-ctr hmac-sha1", &crypto::kAes128Ctr, &crypto::kHmacSha1, nullptr},
        {"3des-cbc hmac-sha1-96", &crypto::kTripleDesCbc, &crypto::kHmacSha1_96, nullptr},
        {"aes128-ctr hmac-sha1-etm", &crypto::kAes128Ctr, &crypto::kHmacSha1Etm, nullptr},
        {"chacha20-poly1305", nullptr, nullptr, &crypto::kChaCha20Poly1305},
        {"aes128-gcm", nullptr, nullptr, &crypto::kAes128Gcm},
    };
    for (const Framing& framing : framings) {
        std::mt19937 rng(3);
        PacketBuilder builder(Counter());
        PacketReader unused;
        KeyFraming(framing, builder, unused);
        Bytes stream;
        std::vector<Bytes> payloads;
        for (int i = 0; i < 12; ++i) {
            Bytes payload(1 + rng() % (i % 3 == 0 ? 2000 : 60));
            for (uint8_t& b : payload)
                b = static_cast<uint8_t>(rng());
            payloads.push_back(payload);
            builder.Build(PacketOf(payload), stream);
        }
        for (size_t chunk : {size_t{1}, size_t{3}, size_t{17}, size_t{64}, size_t{700},
                             size_t{4096}, stream.size()}) {
            PacketBuilder unusedBuilder(Counter());
            PacketReader reader;
            KeyFraming(framing, unusedBuilder, reader);
            Bytes wire = stream;
            std::vector<Bytes> seen;
            for (size_t from = 0; from < wire.size(); from += chunk) {
                const size_t to = std::min(wire.size(), from + chunk);
                for (size_t offset = from; offset < to;) {
                    size_t consumed;
                    auto r = reader.FeedInPlace(wire.data() + offset, to - offset, consumed);
                    ASSERT_GT(consumed, 0u);
                    offset += consumed;
                    if (r == PacketReader::Result::kPacket) {
                        auto p = reader.Packet().Payload();
                        seen.emplace_back(p.begin(), p.end());
                    } else {
                        ASSERT_EQ(r, PacketReader::Result::kNeedMore) << framing.name;
                    }
                }
            }
            ASSERT_EQ(seen, payloads) << framing.name << ", chunks of " << chunk;
        }

        // One flipped bit in the last byte of a whole packet in writable bytes.
        PacketBuilder sender(Counter());
        PacketReader reader;
        KeyFraming(framing, sender, reader);
        Bytes wire;
        sender.Build(PacketOf(Bytes(100, 0x42)), wire);
        wire.back() ^= 1;
        size_t consumed;
        EXPECT_EQ(reader.FeedInPlace(wire.data(), wire.size(), consumed),
                  PacketReader::Result::kBadMac)
            << framing.name;
        EXPECT_EQ(consumed, wire.size()) << framing.name;
    }
}

std::vector<const crypto::CipherDescriptor*> AllCiphers() {
    return {&crypto::kAes256Ctr,    &crypto::kAes256Cbc,    &crypto::kAes256CbcAlias,
            &crypto::kAes192Ctr,    &crypto::kAes192Cbc,    &crypto::kAes128Ctr,
            &crypto::kAes128Cbc,    &crypto::kBlowfishCtr,  &crypto::kBlowfishCbc,
            &crypto::kTripleDesCtr, &crypto::kTripleDesCbc, &crypto::kDesCbc,
            &crypto::kArcfour256,   &crypto::kArcfour128};
}

std::vector<const crypto::MacDescriptor*> AllMacs() {
    return {&crypto::kHmacSha1, &crypto::kHmacSha1_96, &crypto::kHmacSha1BugCompatible,
            &crypto::kHmacSha1_96BugCompatible, &crypto::kHmacMd5};
}

// Every cipher with every MAC: packets survive, and any flipped byte is caught.
TEST(PacketReader, EveryCipherAndMacRoundTripsAndRejectsTampering) {
    std::mt19937 rng(2);
    for (const crypto::CipherDescriptor* cipher : AllCiphers()) {
        for (const crypto::MacDescriptor* mac : AllMacs()) {
            PacketBuilder builder;
            PacketReader reader;
            KeyBoth(builder, reader, cipher, mac);
            for (int i = 0; i < 8; ++i) {
                Bytes payload(1 + rng() % 300);
                for (uint8_t& b : payload)
                    b = static_cast<uint8_t>(rng());
                Bytes wire;
                builder.Build(PacketOf(payload), wire);
                ASSERT_EQ((wire.size() - mac->macLength) % std::max<size_t>(cipher->blockSize, 8),
                          0u);
                size_t split = rng() % wire.size();
                size_t consumed;
                auto r = reader.Feed(wire.data(), split, consumed);
                ASSERT_EQ(r, PacketReader::Result::kNeedMore);
                r = reader.Feed(wire.data() + split, wire.size() - split, consumed);
                ASSERT_EQ(r, PacketReader::Result::kPacket) << cipher->name << " " << mac->name;
                auto p = reader.Packet().Payload();
                ASSERT_EQ(Bytes(p.begin(), p.end()), payload);
                EXPECT_EQ(reader.Packet().Sequence(), static_cast<uint32_t>(i));
            }
            // A flipped bit anywhere after the first block: the MAC catches it.
            Bytes payload(64, 0x5A);
            Bytes wire;
            builder.Build(PacketOf(payload), wire);
            size_t at = std::max<size_t>(cipher->blockSize, 8) + rng() % (wire.size() - 16);
            wire[at] ^= 0x10;
            size_t consumed;
            auto r = reader.Feed(wire.data(), wire.size(), consumed);
            EXPECT_EQ(r, PacketReader::Result::kBadMac) << cipher->name << " " << mac->name;
        }
    }
}

TEST(PacketReader, SequenceNumbersWrapAround) {
    PacketBuilder builder;
    PacketReader reader;
    KeyBoth(builder, reader, &crypto::kAes128Ctr, &crypto::kHmacMd5);
    builder.SetNextSequence(0xFFFFFFFEu);
    reader.SetNextSequence(0xFFFFFFFEu);
    std::vector<uint32_t> sequences;
    for (int i = 0; i < 4; ++i) {
        Bytes wire;
        builder.Build(PacketOf({2, 0, 0, 0, 0}), wire);
        size_t consumed;
        ASSERT_EQ(reader.Feed(wire.data(), wire.size(), consumed), PacketReader::Result::kPacket);
        sequences.push_back(reader.Packet().Sequence());
    }
    EXPECT_EQ(sequences, (std::vector<uint32_t>{0xFFFFFFFEu, 0xFFFFFFFFu, 0, 1}));
    EXPECT_EQ(builder.NextSequence(), 2u);
}

TEST(PacketReader, CompressedPayloadsAndTheirBound) {
    PacketBuilder builder;
    PacketReader reader;
    KeyBoth(builder, reader, &crypto::kAes128Ctr, &crypto::kHmacSha1, true);
    Bytes text(20000, 't');
    text[0] = 94;
    Bytes wire;
    builder.Build(PacketOf(text), wire);
    EXPECT_LT(wire.size(), 500u);
    size_t consumed;
    ASSERT_EQ(reader.Feed(wire.data(), wire.size(), consumed), PacketReader::Result::kPacket);
    auto p = reader.Packet().Payload();
    EXPECT_EQ(Bytes(p.begin(), p.end()), text);
    // A small packet that inflates past the bound is refused instead of being held.
    Bytes huge(PacketReader::kMaxDecompressedPayload + 1, 'h');
    huge[0] = 94;
    wire.clear();
    builder.Build(PacketOf(huge), wire);
    EXPECT_LT(wire.size(), 35000u);
    EXPECT_EQ(reader.Feed(wire.data(), wire.size(), consumed),
              PacketReader::Result::kBadCompression);
}

TEST(PacketFields, ReadersStopAtTheEndAndRefuseOversizedStrings) {
    Bytes payload = {50};
    crypto::AppendString(payload, std::string_view("user"));
    payload.push_back(1);
    crypto::AppendUint32(payload, 0xFFFFFFF0u);  // a string length with the top bit set
    IncomingPacket packet(payload, 7);
    std::string_view text;
    bool flag = false;
    EXPECT_TRUE(packet.ReadString(text));
    EXPECT_EQ(text, "user");
    EXPECT_TRUE(packet.ReadBool(flag));
    EXPECT_TRUE(flag);
    size_t before = packet.Remaining();
    EXPECT_FALSE(packet.ReadString(text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(packet.Remaining(), before);
    uint32_t value = 1;
    EXPECT_TRUE(packet.ReadUint32(value));
    EXPECT_EQ(value, 0xFFFFFFF0u);
    EXPECT_FALSE(packet.ReadUint32(value));
    EXPECT_EQ(value, 0u);
    std::array<uint8_t, 8> raw;
    EXPECT_FALSE(packet.ReadRaw8(raw));
    crypto::BigNum n;
    EXPECT_FALSE(packet.ReadMpint(n));
    // A string written in pieces is one string.
    OutgoingPacket out(2);
    out.StartString().AppendString(std::string_view("ab")).AppendString(std::string_view("cd"));
    auto written = out.Payload();
    EXPECT_EQ(Bytes(written.begin(), written.end()), (Bytes{2, 0, 0, 0, 4, 'a', 'b', 'c', 'd'}));
}

TEST(DataLimit, Text) {
    struct Case {
        const char* text;
        uint64_t bytes;
    };
    const Case cases[] = {{"1G", 1073741824u},
                          {"500k", 512000u},
                          {"500 K", 512000u},
                          {"2m", 2097152u},
                          {"12345", 12345u},
                          {"0", 0u},
                          {"abc", 0u},
                          {"7x", 7u},
                          {"", 0u},
                          {"99999999999999999999999g", UINT64_MAX}};
    for (const Case& c : cases)
        EXPECT_EQ(ParseDataLimit(c.text), c.bytes) << c.text;
}

}  // namespace
}  // namespace tessan::transport
