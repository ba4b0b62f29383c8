// Our primitives and OpenSSL's side by side on 16 KiB buffers (the authenticated ciphers also on
// 32 KiB), and 2048-bit modular exponentiation. Benchmarks come in pairs "<name>/ours" and
// "<name>/openssl"; ratios.py turns a JSON run into the ours/OpenSSL ratio of each pair.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>

#include <random>
#include <string>
#include <vector>

#include "crypto/aead.h"
#include "crypto/bignum.h"
#include "crypto/cipher.h"
#include "crypto/cpu_features.h"
#include "crypto/gcm.h"
#include "crypto/mac.h"
#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"

namespace {

using namespace tessan::crypto;
constexpr size_t kBuffer = 16 * 1024;

std::vector<uint8_t> Random(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

template <typename Hash>
void OurHash(benchmark::State& state) {
    const auto data = Random(kBuffer, 1);
    uint8_t digest[Hash::kDigestLength];
    Hash hash;
    for (auto _ : state) {
        hash.Update(data.data(), data.size());
        hash.Finish(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

void OpenSslHash(benchmark::State& state, const EVP_MD* md) {
    const auto data = Random(kBuffer, 1);
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, md, nullptr);
        EVP_DigestUpdate(ctx, data.data(), data.size());
        EVP_DigestFinal_ex(ctx, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

void OurHmacSha1(benchmark::State& state) {
    auto data = Random(kBuffer + 20, 2);
    const auto key = Random(20, 3);
    auto mac = kHmacSha1.CreateContext();
    mac->SetKey(key.data());
    uint32_t sequence = 0;
    for (auto _ : state) {
        mac->Generate(data.data(), kBuffer, sequence++);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

void OpenSslHmacSha1(benchmark::State& state) {
    auto data = Random(kBuffer + 20, 2);
    const auto key = Random(20, 3);
    HMAC_CTX* ctx = HMAC_CTX_new();
    HMAC_Init_ex(ctx, key.data(), 20, EVP_sha1(), nullptr);
    uint32_t sequence = 0;
    for (auto _ : state) {
        const uint8_t seq[4] = {
            static_cast<uint8_t>(sequence >> 24), static_cast<uint8_t>(sequence >> 16),
            static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence)};
        ++sequence;
        unsigned length = 0;
        HMAC_Init_ex(ctx, nullptr, 0, nullptr, nullptr);
        HMAC_Update(ctx, seq, 4);
        HMAC_Update(ctx, data.data(), kBuffer);
        HMAC_Final(ctx, data.data() + kBuffer, &length);
        benchmark::DoNotOptimize(data.data());
    }
    HMAC_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

void OurCipher(benchmark::State& state, const CipherDescriptor* descriptor, bool decrypt,
               bool portable) {
    ForcePortableCrypto(portable);
    auto data = Random(kBuffer, 4);
    const auto key = Random(descriptor->keyBytes, 5);
    const auto iv = Random(16, 6);
    auto context = descriptor->CreateContext();
    context->SetKey(key.data());
    context->SetIv(iv.data());
    ForcePortableCrypto(false);
    for (auto _ : state) {
        if (decrypt) {
            context->Decrypt(data.data(), data.size());
        } else {
            context->Encrypt(data.data(), data.size());
        }
        benchmark::DoNotOptimize(data.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

void OpenSslCipher(benchmark::State& state, const char* name, size_t keyLength, bool decrypt) {
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (cipher == nullptr) {
        state.SkipWithError("cipher not available");
        return;
    }
    auto data = Random(kBuffer, 4);
    const auto key = Random(keyLength, 5);
    const auto iv = Random(16, 6);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, decrypt ? 0 : 1);
    EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(keyLength));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherInit_ex(ctx, nullptr, nullptr, key.data(), iv.data(), -1);
    for (auto _ : state) {
        int length = 0;
        EVP_CipherUpdate(ctx, data.data(), &length, data.data(), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(data.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBuffer));
}

// One SSH packet per iteration through the authenticated-cipher context: a 4-byte length field
// and `body` bytes sealed (or opened) in place, plus the tag. Opening reuses one sealed packet
// (ChaCha20 keys by sequence number, so the same number opens it each time; GCM steps its
// counter per packet, so that case seals a fresh packet per open outside the timing).
void OurAead(benchmark::State& state, const AeadDescriptor* descriptor, bool open, size_t body) {
    const auto key = Random(descriptor->keyBytes, 10);
    const auto iv = Random(12, 11);
    auto sender = descriptor->CreateContext();
    auto receiver = descriptor->CreateContext();
    for (auto* context : {sender.get(), receiver.get()}) {
        context->SetKey(key.data());
        if (descriptor->ivBytes != 0) context->SetIv(iv.data());
    }
    auto packet = Random(4 + body + descriptor->tagLength, 12);
    const bool countsPackets = descriptor->ivBytes != 0;
    std::vector<uint8_t> sealed;
    if (open && !countsPackets) {
        sender->Seal(packet.data(), 4 + body, 3);
        sealed = packet;
    }
    for (auto _ : state) {
        if (!open) {
            sender->Seal(packet.data(), 4 + body, 3);
        } else if (countsPackets) {
            state.PauseTiming();
            sender->Seal(packet.data(), 4 + body, 3);
            state.ResumeTiming();
            if (!receiver->Open(packet.data(), 4 + body, 3)) state.SkipWithError("open failed");
        } else {
            std::copy(sealed.begin(), sealed.end(), packet.begin());
            if (!receiver->Open(packet.data(), 4 + body, 3)) state.SkipWithError("open failed");
        }
        benchmark::DoNotOptimize(packet.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body));
}

// The same through OpenSSL's EVP AEAD interface: a fresh nonce per packet, the 4-byte length
// as associated data (ChaCha20-Poly1305 in OpenSSL's RFC 8439 form, the same bulk work).
void OpenSslAead(benchmark::State& state, const EVP_CIPHER* cipher, size_t keyLength, bool open,
                 size_t body) {
    const auto key = Random(keyLength, 10);
    auto nonce = Random(12, 11);
    auto packet = Random(4 + body + 16, 12);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), nullptr, open ? 0 : 1);
    auto seal = [&](uint8_t* p) {
        int n = 0;
        EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data(), 1);
        EVP_CipherUpdate(ctx, nullptr, &n, p, 4);
        EVP_CipherUpdate(ctx, p + 4, &n, p + 4, static_cast<int>(body));
        EVP_CipherFinal_ex(ctx, p + 4 + body, &n);
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_GET_TAG, 16, p + 4 + body);
    };
    std::vector<uint8_t> sealed;
    if (open) {
        EVP_CIPHER_CTX* sealer = EVP_CIPHER_CTX_new();
        std::swap(ctx, sealer);
        EVP_CipherInit_ex(ctx, cipher, nullptr, key.data(), nullptr, 1);
        seal(packet.data());
        std::swap(ctx, sealer);
        EVP_CIPHER_CTX_free(sealer);
        sealed = packet;
    }
    for (auto _ : state) {
        if (!open) {
            seal(packet.data());
        } else {
            std::copy(sealed.begin(), sealed.end(), packet.begin());
            int n = 0;
            EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data(), 0);
            EVP_CipherUpdate(ctx, nullptr, &n, packet.data(), 4);
            EVP_CipherUpdate(ctx, packet.data() + 4, &n, packet.data() + 4, static_cast<int>(body));
            EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_SET_TAG, 16, packet.data() + 4 + body);
            if (EVP_CipherFinal_ex(ctx, packet.data() + 4 + body, &n) != 1) {
                state.SkipWithError("open failed");
            }
        }
        benchmark::DoNotOptimize(packet.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body));
}

// 2048-bit modulus, base and exponent (all full size, odd modulus).
struct ModExpOperands {
    std::vector<uint8_t> base = Random(256, 7), exponent = Random(256, 8), modulus = Random(256, 9);
    ModExpOperands() {
        modulus[0] |= 0x80;
        modulus[255] |= 1;
        exponent[0] |= 0x80;
    }
};

void OurModExp(benchmark::State& state, bool secret) {
    const ModExpOperands o;
    const BigNum base = BigNum::FromBytes(o.base), exponent = BigNum::FromBytes(o.exponent);
    const BigNum modulus = BigNum::FromBytes(o.modulus);
    for (auto _ : state) {
        BigNum r = secret ? BigNum::ModExpSecret(base, exponent, modulus, 2048)
                          : BigNum::ModExp(base, exponent, modulus);
        benchmark::DoNotOptimize(r);
    }
}

void OpenSslModExp(benchmark::State& state, bool secret) {
    const ModExpOperands o;
    BN_CTX* ctx = BN_CTX_new();
    BIGNUM* base = BN_bin2bn(o.base.data(), 256, nullptr);
    BIGNUM* exponent = BN_bin2bn(o.exponent.data(), 256, nullptr);
    BIGNUM* modulus = BN_bin2bn(o.modulus.data(), 256, nullptr);
    BIGNUM* r = BN_new();
    BN_MONT_CTX* mont = BN_MONT_CTX_new();
    BN_MONT_CTX_set(mont, modulus, ctx);
    for (auto _ : state) {
        if (secret) {
            BN_mod_exp_mont_consttime(r, base, exponent, modulus, ctx, mont);
        } else {
            BN_mod_exp_mont(r, base, exponent, modulus, ctx, mont);
        }
        benchmark::DoNotOptimize(r);
    }
    BN_MONT_CTX_free(mont);
    BN_free(r);
    BN_free(modulus);
    BN_free(exponent);
    BN_free(base);
    BN_CTX_free(ctx);
}

}  // namespace

BENCHMARK_TEMPLATE(OurHash, Sha1)->Name("SHA-1/ours");
BENCHMARK_CAPTURE(OpenSslHash, sha1, EVP_sha1())->Name("SHA-1/openssl");
BENCHMARK_TEMPLATE(OurHash, Sha256)->Name("SHA-256/ours");
BENCHMARK_CAPTURE(OpenSslHash, sha256, EVP_sha256())->Name("SHA-256/openssl");
BENCHMARK_TEMPLATE(OurHash, Sha512)->Name("SHA-512/ours");
BENCHMARK_CAPTURE(OpenSslHash, sha512, EVP_sha512())->Name("SHA-512/openssl");
BENCHMARK_TEMPLATE(OurHash, Md5)->Name("MD5/ours");
BENCHMARK_CAPTURE(OpenSslHash, md5, EVP_md5())->Name("MD5/openssl");
BENCHMARK(OurHmacSha1)->Name("HMAC-SHA1/ours");
BENCHMARK(OpenSslHmacSha1)->Name("HMAC-SHA1/openssl");
BENCHMARK_CAPTURE(OurCipher, ctr, &kAes128Ctr, false, false)->Name("AES-128-CTR/ours");
BENCHMARK_CAPTURE(OpenSslCipher, ctr, "AES-128-CTR", 16, false)->Name("AES-128-CTR/openssl");
BENCHMARK_CAPTURE(OurCipher, cbcenc, &kAes128Cbc, false, false)->Name("AES-128-CBC-encrypt/ours");
BENCHMARK_CAPTURE(OpenSslCipher, cbcenc, "AES-128-CBC", 16, false)
    ->Name("AES-128-CBC-encrypt/openssl");
BENCHMARK_CAPTURE(OurCipher, cbcdec, &kAes128Cbc, true, false)->Name("AES-128-CBC-decrypt/ours");
BENCHMARK_CAPTURE(OpenSslCipher, cbcdec, "AES-128-CBC", 16, true)
    ->Name("AES-128-CBC-decrypt/openssl");
BENCHMARK_CAPTURE(OurCipher, tdes, &kTripleDesCbc, false, false)->Name("3DES-CBC-encrypt/ours");
BENCHMARK_CAPTURE(OpenSslCipher, tdes, "DES-EDE3-CBC", 24, false)->Name("3DES-CBC-encrypt/openssl");
BENCHMARK_CAPTURE(OurCipher, bf, &kBlowfishCbc, false, false)->Name("Blowfish-CBC-encrypt/ours");
BENCHMARK_CAPTURE(OpenSslCipher, bf, "BF-CBC", 16, false)->Name("Blowfish-CBC-encrypt/openssl");
BENCHMARK_CAPTURE(OurCipher, rc4, &kArcfour128, false, false)->Name("RC4/ours");
BENCHMARK_CAPTURE(OpenSslCipher, rc4, "RC4", 16, false)->Name("RC4/openssl");
BENCHMARK_CAPTURE(OurModExp, secret, true)
    ->Name("ModExp-2048-consttime/ours")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenSslModExp, secret, true)
    ->Name("ModExp-2048-consttime/openssl")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OurModExp, pub, false)->Name("ModExp-2048/ours")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OpenSslModExp, pub, false)
    ->Name("ModExp-2048/openssl")
    ->Unit(benchmark::kMillisecond);
// Authenticated ciphers, sealing and opening one packet of a 16 KiB or 32 KiB body:
// "<cipher>-<seal|open>-<16K|32K>/ours" beside ".../openssl".
const bool kAeadRegistered = [] {
    struct Entry {
        const char* name;
        const AeadDescriptor* ours;
        const EVP_CIPHER* (*evp)();
        size_t keyLength;
    };
    const Entry entries[] = {
        {"AES-128-GCM", &kAes128Gcm, EVP_aes_128_gcm, 16},
        {"AES-256-GCM", &kAes256Gcm, EVP_aes_256_gcm, 32},
        {"ChaCha20-Poly1305", &kChaCha20Poly1305, EVP_chacha20_poly1305, 32},
    };
    for (const Entry& e : entries) {
        for (const bool open : {false, true}) {
            for (const size_t kib : {16, 32}) {
                const std::string target =
                    std::string(e.name) + (open ? "-open-" : "-seal-") + std::to_string(kib) + "K";
                benchmark::RegisterBenchmark((target + "/ours").c_str(), OurAead, e.ours, open,
                                             kib * 1024);
                benchmark::RegisterBenchmark((target + "/openssl").c_str(), OpenSslAead, e.evp(),
                                             e.keyLength, open, kib * 1024);
            }
        }
    }
    return true;
}();
// The portable fallbacks, for scale (no OpenSSL twin).
BENCHMARK_CAPTURE(OurCipher, ctrportable, &kAes128Ctr, false, true)
    ->Name("AES-128-CTR-portable/ours");

BENCHMARK_MAIN();
