// The "zlib" compressor and decompressor against zlib itself (a test oracle only): whatever we
// compress inflates with zlib packet by packet, and whatever zlib produces at any level and
// strategy we decode, split anywhere.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "sshlib/transport/huffman_encoder.h"
#include "sshlib/transport/zlib_compressor.h"
#include "sshlib/transport/zlib_decompressor.h"

namespace tessan::transport {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kNoLimit = size_t{1} << 30;

Bytes FromText(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes Hex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Text-like payloads: words from a small vocabulary, numbers and line ends.
Bytes TextLike(std::mt19937& rng, size_t length) {
    static const char* words[] = {"the",   "device", "power",  "on",   "off",  "input",
                                  "level", "status", "volume", "mute", "zone", "source",
                                  "ERROR", "OK",     "\r\n",   "==> ", "12",   "preset"};
    Bytes out;
    while (out.size() < length) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(rng() % 5 ? ' ' : static_cast<uint8_t>('0' + rng() % 10));
    }
    out.resize(length);
    return out;
}

Bytes RandomBytes(std::mt19937& rng, size_t length) {
    Bytes out(length);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

// One zlib inflate stream fed packet by packet with Z_SYNC_FLUSH.
class ZlibInflater {
public:
    ZlibInflater() { EXPECT_EQ(inflateInit(&stream_), Z_OK); }
    ~ZlibInflater() { inflateEnd(&stream_); }
    // Inflates one packet; everything it encodes must come out at once.
    bool Inflate(const Bytes& in, Bytes& out) {
        out.assign(in.size() * 1100 + 1024, 0);
        stream_.next_in = const_cast<Bytef*>(in.data());
        stream_.avail_in = static_cast<uInt>(in.size());
        stream_.next_out = out.data();
        stream_.avail_out = static_cast<uInt>(out.size());
        int r = inflate(&stream_, Z_SYNC_FLUSH);
        if (r != Z_OK && r != Z_BUF_ERROR) return false;
        if (stream_.avail_in != 0) return false;
        out.resize(out.size() - stream_.avail_out);
        return true;
    }

private:
    z_stream stream_{};
};

class ZlibDeflater {
public:
    ZlibDeflater(int level, int strategy, int flush) : flush_(flush) {
        EXPECT_EQ(deflateInit2(&stream_, level, Z_DEFLATED, 15, 8, strategy), Z_OK);
    }
    ~ZlibDeflater() { deflateEnd(&stream_); }
    Bytes Deflate(const Bytes& in) {
        Bytes out(in.size() * 2 + 64);
        stream_.next_in = const_cast<Bytef*>(in.data());
        stream_.avail_in = static_cast<uInt>(in.size());
        stream_.next_out = out.data();
        stream_.avail_out = static_cast<uInt>(out.size());
        int r = deflate(&stream_, flush_);
        EXPECT_TRUE(r == Z_OK || (in.empty() && r == Z_BUF_ERROR)) << r;
        EXPECT_EQ(stream_.avail_in, 0u);
        out.resize(out.size() - stream_.avail_out);
        return out;
    }

private:
    z_stream stream_{};
    int flush_;
};

std::vector<Bytes> Payloads(const std::string& kind, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<Bytes> payloads;
    if (kind == "text") {
        for (int i = 0; i < 40; ++i)
            payloads.push_back(TextLike(rng, 1 + rng() % 3000));
    } else if (kind == "random") {
        for (int i = 0; i < 10; ++i)
            payloads.push_back(RandomBytes(rng, rng() % 5000));
    } else if (kind == "runs") {
        // Matches longer than 258 bytes, with remainders that force short pieces.
        for (size_t length : {3u, 258u, 259u, 260u, 261u, 516u, 517u, 518u, 1000u, 20000u}) {
            payloads.push_back(Bytes(length, static_cast<uint8_t>('a' + length % 26)));
        }
    } else if (kind == "tiny") {
        for (int i = 0; i < 60; ++i)
            payloads.push_back(TextLike(rng, rng() % 3));
    } else if (kind == "far") {
        // Repeats 30000+ bytes back, near the edge of the window.
        Bytes block = RandomBytes(rng, 1000);
        payloads.push_back(block);
        payloads.push_back(RandomBytes(rng, 31500));
        payloads.push_back(block);
        payloads.push_back(RandomBytes(rng, 300));
        payloads.push_back(block);
    }
    return payloads;
}

TEST(ZlibCompressor, EveryPayloadInflatesWithZlibAtOnce) {
    for (const char* kind : {"text", "random", "runs", "tiny", "far"}) {
        ZlibCompressor compressor;
        ZlibInflater inflater;
        size_t in = 0, out = 0;
        int index = 0;
        for (const Bytes& payload : Payloads(kind, 7)) {
            Bytes compressed;
            compressor.Compress(payload.data(), payload.size(), compressed);
            if (index == 0) {
                ASSERT_GE(compressed.size(), 2u);
                EXPECT_EQ(compressed[0], 0x78);
                EXPECT_EQ(compressed[1], 0x9C);
            }
            Bytes decoded;
            ASSERT_TRUE(inflater.Inflate(compressed, decoded)) << kind << " packet " << index;
            ASSERT_EQ(decoded, payload) << kind << " packet " << index;
            in += payload.size();
            out += compressed.size();
            ++index;
        }
        if (std::string(kind) == "text" || std::string(kind) == "runs") {
            EXPECT_LT(out * 2, in) << kind << " should compress well";
        }
    }
}

TEST(ZlibCompressor, HeaderOnlyOnceAndShortTailsAreMatchedLater) {
    ZlibCompressor a, b;
    Bytes first, second;
    a.Compress(reinterpret_cast<const uint8_t*>("QJ"), 2, first);
    b.Compress(reinterpret_cast<const uint8_t*>("ab"), 2, second);
    EXPECT_EQ(first[0], 0x78);
    // The second payload repeats the two bytes before it: with them hashed on arrival of the
    // next payload it is one match from its first byte.
    Bytes tail = FromText("QJQJQJQJQJQJQJQJ");
    Bytes withHistory, without;
    a.Compress(tail.data(), tail.size(), withHistory);
    b.Compress(tail.data(), tail.size(), without);
    EXPECT_NE(withHistory[0], 0x78);
    EXPECT_LT(withHistory.size(), without.size());
    ZlibInflater inflater;
    Bytes decoded;
    first.insert(first.end(), withHistory.begin(), withHistory.end());
    ASSERT_TRUE(inflater.Inflate(first, decoded));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()),
              "QJ" + std::string(tail.begin(), tail.end()));
}

// A stream many windows long: the compressor drops history it no longer needs and keeps its
// hash chains pointing at the right bytes; stored payloads in between still feed the window.
TEST(ZlibCompressor, LongStreamStaysDecodable) {
    std::mt19937 rng(13);
    ZlibCompressor compressor;
    ZlibInflater inflater;
    size_t in = 0, out = 0;
    for (int i = 0; i < 160; ++i) {
        Bytes payload = TextLike(rng, 4096);
        if (i % 37 == 36) compressor.DisableCompression();
        Bytes compressed, decoded;
        compressor.Compress(payload.data(), payload.size(), compressed);
        ASSERT_TRUE(inflater.Inflate(compressed, decoded)) << "payload " << i;
        ASSERT_EQ(decoded, payload) << "payload " << i;
        in += payload.size();
        out += compressed.size();
    }
    EXPECT_LT(out * 3, in);
}

// Matches that overlap what they copy, for every short period: the decoder copies them in
// words where the distance allows and byte by byte below that, and from the window of earlier
// calls when fed one byte at a time.
TEST(ZlibDecompressor, OverlappingMatchesOfEveryPeriod) {
    ZlibDeflater deflater(9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH);
    ZlibCompressor compressor;
    Bytes expected, theirs, ours;
    for (size_t period = 1; period <= 40; ++period) {
        Bytes payload;
        for (size_t i = 0; payload.size() < 700; ++i)
            payload.push_back(static_cast<uint8_t>('a' + (i % period) * 7 % 26));
        expected.insert(expected.end(), payload.begin(), payload.end());
        Bytes packet = deflater.Deflate(payload);
        theirs.insert(theirs.end(), packet.begin(), packet.end());
        compressor.Compress(payload.data(), payload.size(), ours);
    }
    for (const Bytes* stream : {&theirs, &ours}) {
        ZlibDecompressor whole, byteByByte;
        Bytes out, slow;
        ASSERT_TRUE(whole.Decompress(stream->data(), stream->size(), out, kNoLimit));
        for (uint8_t b : *stream)
            ASSERT_TRUE(byteByByte.Decompress(&b, 1, slow, kNoLimit));
        EXPECT_EQ(out, expected);
        EXPECT_EQ(slow, expected);
    }
}

TEST(ZlibCompressor, DisabledPayloadIsStoredWithTheAnnouncedOverheadThenCompressionResumes) {
    std::mt19937 rng(3);
    for (int trial = 0; trial < 40; ++trial) {
        ZlibCompressor compressor;
        ZlibInflater inflater;
        Bytes decoded, out;
        // Some history first, so that the bit position varies (none at all in trial 0).
        for (int i = 0; i < trial % 4; ++i) {
            Bytes p = TextLike(rng, 1 + rng() % 200);
            out.clear();
            compressor.Compress(p.data(), p.size(), out);
            ASSERT_TRUE(inflater.Inflate(out, decoded));
            ASSERT_EQ(decoded, p);
        }
        size_t overhead = compressor.DisableCompression();
        if (trial % 4 == 0) {
            EXPECT_EQ(overhead, 7u);
        }
        Bytes concealed = RandomBytes(rng, rng() % 300);
        out.clear();
        compressor.Compress(concealed.data(), concealed.size(), out);
        EXPECT_EQ(out.size(), concealed.size() + overhead) << "trial " << trial;
        ASSERT_TRUE(inflater.Inflate(out, decoded));
        ASSERT_EQ(decoded, concealed);
        Bytes again(2000, 'z');
        out.clear();
        compressor.Compress(again.data(), again.size(), out);
        EXPECT_LT(out.size(), 100u) << "compression resumes after the stored payload";
        ASSERT_TRUE(inflater.Inflate(out, decoded));
        ASSERT_EQ(decoded, again);
    }
    // More than one stored block for a large payload.
    ZlibCompressor compressor;
    ZlibInflater inflater;
    compressor.DisableCompression();
    Bytes big = RandomBytes(rng, 140000), out, decoded;
    compressor.Compress(big.data(), big.size(), out);
    EXPECT_EQ(out.size(), big.size() + 2 + 3 * 5);
    ASSERT_TRUE(inflater.Inflate(out, decoded));
    EXPECT_EQ(decoded, big);
}

// Code lengths stay within the limit and fill the code space exactly (decoders reject both a
// longer code and an incomplete one), however uneven the counts.
TEST(HuffmanEncoder, CodeLengthsAreLimitedAndComplete) {
    struct Case {
        const char* name;
        std::vector<uint32_t> counts;
        int limit;
    };
    std::vector<uint32_t> fibonacci(30, 1), lopsided(286, 0), one(30, 0), none(19, 0);
    for (size_t i = 2; i < fibonacci.size(); ++i)
        fibonacci[i] = fibonacci[i - 1] + fibonacci[i - 2];
    lopsided[256] = 1;
    lopsided['e'] = 1'000'000;
    for (int s = 'a'; s < 'a' + 20; ++s)
        lopsided[s] = 1 + s % 3;
    one[17] = 5;
    const std::vector<Case> cases = {
        {"fibonacci, 15 bits", fibonacci, 15},
        {"fibonacci, 7 bits", {fibonacci.begin(), fibonacci.begin() + 19}, 7},
        {"one symbol far ahead", lopsided, 15},
        {"a single symbol", one, 15},
        {"no symbol", none, 7}};
    for (const Case& c : cases) {
        std::vector<uint8_t> lengths(c.counts.size());
        BuildCodeLengths(c.counts, c.limit, lengths);
        double space = 0;
        for (size_t s = 0; s < lengths.size(); ++s) {
            EXPECT_LE(lengths[s], c.limit) << c.name;
            if (c.counts[s]) {
                EXPECT_GT(lengths[s], 0) << c.name << " symbol " << s;
            }
            if (lengths[s]) space += 1.0 / (1u << lengths[s]);
        }
        EXPECT_DOUBLE_EQ(space, 1.0) << c.name;
    }
}

TEST(ZlibDecompressor, DecodesZlibAtEveryLevelAndStrategy) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (int level = 0; level <= 9; ++level) {
        for (int strategy : strategies) {
            for (int flush : {Z_SYNC_FLUSH, Z_PARTIAL_FLUSH}) {
                ZlibDeflater deflater(level, strategy, flush);
                ZlibDecompressor ours;
                Bytes pending;  // a partial flush may leave the end of a packet for the next
                Bytes produced, expected;
                for (const Bytes& payload : Payloads(level % 2 ? "text" : "far", 11 + level)) {
                    Bytes compressed = deflater.Deflate(payload);
                    ASSERT_TRUE(
                        ours.Decompress(compressed.data(), compressed.size(), produced, kNoLimit))
                        << level << "/" << strategy;
                    expected.insert(expected.end(), payload.begin(), payload.end());
                    if (flush == Z_SYNC_FLUSH) {
                        ASSERT_EQ(produced, expected);
                    }
                }
                Bytes tail = deflater.Deflate({});
                ASSERT_TRUE(ours.Decompress(tail.data(), tail.size(), produced, kNoLimit));
                EXPECT_EQ(produced, expected) << level << "/" << strategy << "/" << flush;
            }
        }
    }
}

TEST(ZlibDecompressor, AnySplitGivesTheSameOutput) {
    ZlibDeflater deflater(6, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH);
    std::mt19937 rng(5);
    Bytes stream, expected;
    for (int i = 0; i < 6; ++i) {
        Bytes p = TextLike(rng, 40 + rng() % 400);
        Bytes c = deflater.Deflate(p);
        stream.insert(stream.end(), c.begin(), c.end());
        expected.insert(expected.end(), p.begin(), p.end());
    }
    for (size_t split = 0; split <= stream.size(); ++split) {
        ZlibDecompressor ours;
        Bytes out;
        ASSERT_TRUE(ours.Decompress(stream.data(), split, out, kNoLimit));
        ASSERT_TRUE(ours.Decompress(stream.data() + split, stream.size() - split, out, kNoLimit));
        ASSERT_EQ(out, expected) << "split at " << split;
    }
    ZlibDecompressor byteByByte;
    Bytes out;
    for (uint8_t b : stream)
        ASSERT_TRUE(byteByByte.Decompress(&b, 1, out, kNoLimit));
    EXPECT_EQ(out, expected);
}

TEST(ZlibDecompressor, RoundTripsOurOwnStreamAtRandomSplits) {
    std::mt19937 rng(9);
    ZlibCompressor compressor;
    ZlibDecompressor ours;
    for (int i = 0; i < 200; ++i) {
        Bytes p = i % 7 == 3 ? RandomBytes(rng, rng() % 700) : TextLike(rng, rng() % 2000);
        if (i % 13 == 5) compressor.DisableCompression();
        Bytes c, out;
        compressor.Compress(p.data(), p.size(), c);
        size_t cut = c.empty() ? 0 : rng() % c.size();
        ASSERT_TRUE(ours.Decompress(c.data(), cut, out, kNoLimit));
        ASSERT_TRUE(ours.Decompress(c.data() + cut, c.size() - cut, out, kNoLimit));
        ASSERT_EQ(out, p) << "payload " << i;
    }
}

TEST(ZlibDecompressor, PublishedAndDerivedStreams) {
    const char* root = std::getenv("OSTREL_TESTDATA");
    ASSERT_NE(root, nullptr);
    std::ifstream in(std::string(root) + "/zlib/zlib_streams_derived.json");
    nlohmann::json data = nlohmann::json::parse(in);
    int checked = 0;
    for (const auto& stream : data["streams"]) {
        for (size_t chunk : {size_t{0}, size_t{1}}) {
            ZlibDecompressor ours;
            Bytes produced, expected;
            for (const auto& packet : stream["packets"]) {
                Bytes c = Hex(packet["compressed"]);
                Bytes d = Hex(packet["decompressed"]);
                if (chunk == 0) {
                    ASSERT_TRUE(ours.Decompress(c.data(), c.size(), produced, kNoLimit));
                } else {
                    for (uint8_t b : c)
                        ASSERT_TRUE(ours.Decompress(&b, 1, produced, kNoLimit));
                }
                expected.insert(expected.end(), d.begin(), d.end());
                ASSERT_EQ(produced, expected) << stream["name"];
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 40);
    int rejected = 0;
    for (const auto& bad : data["invalidStreams"]) {
        Bytes c = Hex(bad["data"]);
        ZlibDecompressor ours;
        Bytes out;
        EXPECT_FALSE(ours.Decompress(c.data(), c.size(), out, kNoLimit)) << bad["description"];
        EXPECT_FALSE(ours.Decompress(c.data(), 0, out, kNoLimit)) << "a failed stream stays failed";
        ++rejected;
    }
    EXPECT_EQ(rejected, 6);
    Bytes single = Hex(data["good_fixed_single_literal"]["data"]);
    ZlibDecompressor ours;
    Bytes out;
    ASSERT_TRUE(ours.Decompress(single.data(), single.size(), out, kNoLimit));
    EXPECT_EQ(out, Bytes{'a'});
}

// Deflate bits, least significant first, for hand-made streams.
class BitWriter {
public:
    BitWriter() : bytes_{0x78, 0x9C} {}
    BitWriter& Put(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) {
            if (bit_ == 0) bytes_.push_back(0);
            bytes_.back() |= static_cast<uint8_t>(((value >> i) & 1) << bit_);
            bit_ = (bit_ + 1) % 8;
        }
        return *this;
    }
    // A Huffman code: most significant bit first.
    BitWriter& Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i)
            Put((code >> i) & 1, 1);
        return *this;
    }
    const Bytes& Bytes_() const { return bytes_; }

private:
    Bytes bytes_;
    int bit_ = 0;
};

TEST(ZlibDecompressor, HostileStreamsFailWithBoundedOutput) {
    struct Case {
        const char* name;
        BitWriter stream;
    };
    std::vector<Case> cases;
    // Fixed block; length 3 (symbol 257, code 0000001) at distance 1 before any byte.
    cases.push_back({"reference before the start", BitWriter().Put(2, 3).Code(1, 7).Code(0, 5)});
    // Literal 'a' (code 0x30 + 0x61), then length 3 at distance 2 (code 1): one byte too far.
    cases.push_back(
        {"reference one too far", BitWriter().Put(2, 3).Code(0x30 + 'a', 8).Code(1, 7).Code(1, 5)});
    // Distance code 31 does not exist.
    cases.push_back(
        {"distance code 31", BitWriter().Put(2, 3).Code(0x30 + 'a', 8).Code(1, 7).Code(31, 5)});
    // A good fixed block, then block type 3.
    cases.push_back(
        {"block type 3", BitWriter().Put(2, 3).Code(0x30 + 'a', 8).Code(0, 7).Put(6, 3)});
    // Stored block whose complement is wrong.
    cases.push_back(
        {"stored lengths disagree", BitWriter().Put(0, 3).Put(0, 5).Put(5, 16).Put(0, 16)});
    // Dynamic header whose code-length code is over-subscribed (three codes of length 1).
    cases.push_back(
        {"over-subscribed code lengths",
         BitWriter().Put(4, 3).Put(0, 5).Put(0, 5).Put(0, 4).Put(1, 3).Put(1, 3).Put(1, 3).Put(0,
                                                                                               3)});
    // Dynamic header starting with "repeat the previous length".
    cases.push_back({"repeat with nothing before", BitWriter()
                                                       .Put(4, 3)
                                                       .Put(0, 5)
                                                       .Put(0, 5)
                                                       .Put(0, 4)
                                                       .Put(1, 3)
                                                       .Put(0, 3)
                                                       .Put(0, 3)
                                                       .Put(1, 3)
                                                       .Code(1, 1)
                                                       .Put(0, 2)});
    for (const Case& c : cases) {
        ZlibDecompressor ours;
        Bytes out;
        const Bytes& stream = c.stream.Bytes_();
        EXPECT_FALSE(ours.Decompress(stream.data(), stream.size(), out, kNoLimit)) << c.name;
    }
    // The same streams cut short are merely incomplete.
    {
        ZlibDecompressor ours;
        Bytes out;
        const Bytes& stream = cases[1].stream.Bytes_();
        EXPECT_TRUE(ours.Decompress(stream.data(), 3, out, kNoLimit));
    }
    // A stream that expands a thousandfold stops at the output bound.
    {
        Bytes big(4'000'000, 'x');
        ZlibDeflater deflater(9, Z_DEFAULT_STRATEGY, Z_SYNC_FLUSH);
        Bytes c = deflater.Deflate(big);
        ASSERT_LT(c.size() * 1000, big.size());
        ZlibDecompressor ours;
        Bytes out;
        EXPECT_FALSE(ours.Decompress(c.data(), c.size(), out, 256 * 1024));
        EXPECT_LE(out.size(), 256u * 1024);
    }
    // Random garbage after a valid header never crashes and never exceeds the bound.
    std::mt19937 rng(21);
    for (int i = 0; i < 3000; ++i) {
        Bytes stream = {0x78, 0x9C};
        Bytes noise = RandomBytes(rng, 1 + rng() % 64);
        stream.insert(stream.end(), noise.begin(), noise.end());
        ZlibDecompressor ours;
        Bytes out;
        ours.Decompress(stream.data(), stream.size(), out, 4096);
        ASSERT_LE(out.size(), 4096u);
    }
}

}  // namespace
}  // namespace tessan::transport
