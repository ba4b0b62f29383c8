// The SSH-2 packet path in memory and the "zlib" compression, next to references in the same
// run. Benchmarks come in groups "<name>/<side>": the packet path as "ours" (frame, encrypt and
// MAC, then decrypt, verify and parse a 16 KiB payload) against "openssl" (the same cipher and
// HMAC work through EVP, without any framing); compression as "ours" against "zlib1" and
// "zlib6" (deflate level 1 and 6 with a sync flush per payload) on text-like data, with the
// compressed size over the input as the counter "ratio". figures.py prints a table from a JSON
// run.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "crypto/cipher.h"
#include "crypto/mac.h"
#include "sshlib/transport/packet_builder.h"
#include "sshlib/transport/packet_reader.h"
#include "sshlib/transport/zlib_compressor.h"
#include "sshlib/transport/zlib_decompressor.h"

namespace {

using namespace tessan;
using Bytes = std::vector<uint8_t>;
constexpr size_t kPayload = 16 * 1024;

Bytes Random(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

// Terminal traffic: words, numbers, prompts and line ends.
Bytes TextLike(size_t n) {
    static const char* words[] = {
        "the",    "device", "power",      "on",         "off",    "input", "level", "status",
        "volume", "mute",   "zone",       "source",     "ERROR:", "OK",    "\r\n",  "admin@ctl:~$ ",
        "preset", "ls -l",  "drwxr-xr-x", "2024-05-17", "13:07",  "total"};
    std::mt19937 rng(1);
    Bytes out;
    while (out.size() < n) {
        const char* w = words[rng() % (sizeof words / sizeof *words)];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(rng() % 4 ? ' ' : static_cast<uint8_t>('0' + rng() % 10));
    }
    out.resize(n);
    return out;
}

void Keys(const crypto::CipherDescriptor& cipher, const crypto::MacDescriptor& mac,
          transport::PacketBuilder& builder, transport::PacketReader& reader) {
    const Bytes key = Random(64, 2), iv = Random(64, 3), macKey = Random(64, 4);
    for (int side = 0; side < 2; ++side) {
        auto c = cipher.CreateContext();
        c->SetKey(key.data());
        c->SetIv(iv.data());
        auto m = mac.CreateContext();
        m->SetKey(macKey.data());
        if (side == 0) {
            builder.SetKeys(std::move(c), cipher.blockSize, cipher.cbc, std::move(m), mac.macLength,
                            nullptr);
        } else {
            reader.SetKeys(std::move(c), cipher.blockSize, std::move(m), mac.macLength, nullptr);
        }
    }
}

void OurPacketPath(benchmark::State& state, const crypto::CipherDescriptor* cipher,
                   const crypto::MacDescriptor* mac) {
    transport::PacketBuilder builder;
    transport::PacketReader reader;
    Keys(*cipher, *mac, builder, reader);
    const Bytes data = Random(kPayload, 1);
    Bytes wire;
    wire.reserve(kPayload + 128);
    for (auto _ : state) {
        // A channel-data packet: message number, channel, string of data.
        transport::OutgoingPacket packet(94);
        packet.AddUint32(0).AddString(data);
        wire.clear();
        builder.Build(packet, wire);
        size_t consumed = 0;
        if (reader.Feed(wire.data(), wire.size(), consumed) !=
            transport::PacketReader::Result::kPacket) {
            state.SkipWithError("packet lost");
            break;
        }
        transport::IncomingPacket in = reader.Packet();
        uint32_t channel;
        std::span<const uint8_t> body;
        in.ReadUint32(channel);
        in.ReadString(body);
        benchmark::DoNotOptimize(body.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPayload));
}

// The same cipher and MAC work through OpenSSL: encrypt and MAC the packet, verify and decrypt.
void OpenSslPacketPath(benchmark::State& state, const EVP_CIPHER* cipher, const EVP_MD* md,
                       size_t macLength) {
    const Bytes key = Random(64, 2), iv = Random(64, 3), macKey = Random(64, 4);
    const size_t length = kPayload + 32;  // header, channel, string length and padding
    Bytes plain = Random(length, 1), wire(length + 64), back(length + 64);
    EVP_CIPHER_CTX* enc = EVP_CIPHER_CTX_new();
    EVP_CIPHER_CTX* dec = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(enc, cipher, nullptr, key.data(), iv.data());
    EVP_DecryptInit_ex(dec, cipher, nullptr, key.data(), iv.data());
    EVP_CIPHER_CTX_set_padding(enc, 0);
    EVP_CIPHER_CTX_set_padding(dec, 0);
    uint8_t mac[EVP_MAX_MD_SIZE], check[EVP_MAX_MD_SIZE];
    unsigned macSize = 0;
    uint32_t sequence = 0;
    for (auto _ : state) {
        uint8_t seq[4] = {0, 0, static_cast<uint8_t>(sequence >> 8),
                          static_cast<uint8_t>(sequence)};
        HMAC_CTX* h = HMAC_CTX_new();
        HMAC_Init_ex(h, macKey.data(), static_cast<int>(EVP_MD_size(md)), md, nullptr);
        HMAC_Update(h, seq, 4);
        HMAC_Update(h, plain.data(), length);
        HMAC_Final(h, mac, &macSize);
        int n = 0;
        EVP_EncryptUpdate(enc, wire.data(), &n, plain.data(), static_cast<int>(length));
        EVP_DecryptUpdate(dec, back.data(), &n, wire.data(), static_cast<int>(length));
        HMAC_Init_ex(h, nullptr, 0, nullptr, nullptr);
        HMAC_Update(h, seq, 4);
        HMAC_Update(h, back.data(), length);
        HMAC_Final(h, check, &macSize);
        HMAC_CTX_free(h);
        if (std::memcmp(mac, check, macLength) != 0) state.SkipWithError("mismatch");
        ++sequence;
        benchmark::DoNotOptimize(back.data());
    }
    EVP_CIPHER_CTX_free(enc);
    EVP_CIPHER_CTX_free(dec);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPayload));
}

// --- compression: 1 MiB of text-like data in payloads of 4 KiB (a typical terminal burst) ---

constexpr size_t kText = 1024 * 1024;
constexpr size_t kChunk = 4096;

void OurCompress(benchmark::State& state) {
    const Bytes text = TextLike(kText);
    Bytes out;
    out.reserve(kText);
    size_t compressed = 0;
    for (auto _ : state) {
        transport::ZlibCompressor compressor;
        out.clear();
        for (size_t at = 0; at < text.size(); at += kChunk) {
            compressor.Compress(text.data() + at, kChunk, out);
        }
        compressed = out.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText));
    state.counters["ratio"] = static_cast<double>(compressed) / kText;
}

Bytes ZlibStream(const Bytes& text, int level) {
    z_stream z{};
    deflateInit(&z, level);
    Bytes out(kText * 2);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    for (size_t at = 0; at < text.size(); at += kChunk) {
        z.next_in = const_cast<Bytef*>(text.data() + at);
        z.avail_in = kChunk;
        deflate(&z, Z_SYNC_FLUSH);
    }
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

void ZlibCompress(benchmark::State& state, int level) {
    const Bytes text = TextLike(kText);
    size_t compressed = 0;
    for (auto _ : state) {
        Bytes out = ZlibStream(text, level);
        compressed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText));
    state.counters["ratio"] = static_cast<double>(compressed) / kText;
}

// Decoding zlib's level-6 stream payload by payload (as packets arrive).
void OurDecompress(benchmark::State& state) {
    const Bytes stream = ZlibStream(TextLike(kText), 6);
    Bytes out;
    out.reserve(kText + 1024);
    for (auto _ : state) {
        transport::ZlibDecompressor decompressor;
        out.clear();
        for (size_t at = 0; at < stream.size(); at += 1400) {
            size_t n = std::min<size_t>(1400, stream.size() - at);
            decompressor.Decompress(stream.data() + at, n, out, kText);
        }
        if (out.size() != kText) state.SkipWithError("lost data");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText));
}

void ZlibDecompress(benchmark::State& state) {
    const Bytes stream = ZlibStream(TextLike(kText), 6);
    Bytes out(kText + 1024);
    for (auto _ : state) {
        z_stream z{};
        inflateInit(&z);
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        for (size_t at = 0; at < stream.size(); at += 1400) {
            z.next_in = const_cast<Bytef*>(stream.data() + at);
            z.avail_in = static_cast<uInt>(std::min<size_t>(1400, stream.size() - at));
            inflate(&z, Z_SYNC_FLUSH);
        }
        if (out.size() - z.avail_out != kText) state.SkipWithError("lost data");
        inflateEnd(&z);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText));
}

}  // namespace

BENCHMARK_CAPTURE(OurPacketPath, a, &crypto::kAes128Ctr, &crypto::kHmacSha1)
    ->Name("packet_aes128ctr_hmacsha1/ours");
BENCHMARK_CAPTURE(OpenSslPacketPath, a, EVP_aes_128_ctr(), EVP_sha1(), 20)
    ->Name("packet_aes128ctr_hmacsha1/openssl");
BENCHMARK_CAPTURE(OurPacketPath, b, &crypto::kTripleDesCbc, &crypto::kHmacMd5)
    ->Name("packet_3descbc_hmacmd5/ours");
BENCHMARK_CAPTURE(OpenSslPacketPath, b, EVP_des_ede3_cbc(), EVP_md5(), 16)
    ->Name("packet_3descbc_hmacmd5/openssl");
BENCHMARK(OurCompress)->Name("compress_text/ours");
BENCHMARK_CAPTURE(ZlibCompress, zlib1, 1)->Name("compress_text/zlib1");
BENCHMARK_CAPTURE(ZlibCompress, zlib6, 6)->Name("compress_text/zlib6");
BENCHMARK(OurDecompress)->Name("decompress_text/ours");
BENCHMARK(ZlibDecompress)->Name("decompress_text/zlib");

BENCHMARK_MAIN();
