// Public-key operations of the modern key exchanges and host keys next to OpenSSL's: one X25519
// shared secret, one Ed25519 verification, one P-256 shared secret and one ECDSA P-256
// verification. Part of crypto_bench; ratios.py reads the "/ours" and "/openssl" pairs.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

#include "crypto/ed25519.h"
#include "crypto/x25519.h"

namespace {

using namespace tessan::crypto;

std::vector<uint8_t> RandomBytes(size_t n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out)
        b = static_cast<uint8_t>(rng());
    return out;
}

void OurX25519(benchmark::State& state) {
    const auto scalar = RandomBytes(32, 1);
    uint8_t peer[32];
    X25519PublicKey(peer, RandomBytes(32, 2).data());
    uint8_t shared[32];
    for (auto _ : state) {
        X25519(shared, scalar.data(), peer);
        benchmark::DoNotOptimize(shared);
    }
}

void OpenSslX25519(benchmark::State& state) {
    const auto scalar = RandomBytes(32, 1);
    EVP_PKEY* ours = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar.data(), 32);
    const auto other = RandomBytes(32, 2);
    EVP_PKEY* peerKey = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, other.data(), 32);
    uint8_t peer[32];
    size_t length = sizeof(peer);
    EVP_PKEY_get_raw_public_key(peerKey, peer, &length);
    EVP_PKEY* theirs = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peer, 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(ours, nullptr);
    EVP_PKEY_derive_init(ctx);
    EVP_PKEY_derive_set_peer(ctx, theirs);
    uint8_t shared[32];
    for (auto _ : state) {
        length = sizeof(shared);
        if (EVP_PKEY_derive(ctx, shared, &length) != 1) state.SkipWithError("derive failed");
        benchmark::DoNotOptimize(shared);
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(theirs);
    EVP_PKEY_free(peerKey);
    EVP_PKEY_free(ours);
}

// A signature over a 32-byte message (the size of an exchange hash) by OpenSSL, checked by each.
struct Ed25519Case {
    std::vector<uint8_t> publicKey = std::vector<uint8_t>(32), signature = std::vector<uint8_t>(64);
    std::vector<uint8_t> message = RandomBytes(32, 3);
    EVP_PKEY* key = nullptr;

    Ed25519Case() {
        const auto seed = RandomBytes(32, 4);
        key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), 32);
        size_t length = publicKey.size();
        EVP_PKEY_get_raw_public_key(key, publicKey.data(), &length);
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        length = signature.size();
        EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key);
        EVP_DigestSign(ctx, signature.data(), &length, message.data(), message.size());
        EVP_MD_CTX_free(ctx);
    }
    ~Ed25519Case() { EVP_PKEY_free(key); }
};

void OurEd25519Verify(benchmark::State& state) {
    const Ed25519Case c;
    for (auto _ : state) {
        if (!Ed25519Verify(c.publicKey.data(), c.signature.data(), c.message))
            state.SkipWithError("signature refused");
    }
}

void OpenSslEd25519Verify(benchmark::State& state) {
    const Ed25519Case c;
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, c.publicKey.data(), 32);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        // OpenSSL needs the key set up again for every one-shot verification.
        EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key);
        if (EVP_DigestVerify(ctx, c.signature.data(), 64, c.message.data(), c.message.size()) != 1)
            state.SkipWithError("signature refused");
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
}

}  // namespace

BENCHMARK(OurEd25519Verify)->Name("Ed25519-verify/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslEd25519Verify)->Name("Ed25519-verify/openssl")->Unit(benchmark::kMicrosecond);
BENCHMARK(OurX25519)->Name("X25519/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslX25519)->Name("X25519/openssl")->Unit(benchmark::kMicrosecond);
