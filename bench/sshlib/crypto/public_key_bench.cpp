// Public-key operations of the modern key exchanges and host keys next to OpenSSL's: one X25519
// shared secret, one Ed25519 verification, one P-256 shared secret and one ECDSA P-256
// verification. Part of crypto_bench; ratios.py reads the "/ours" and "/openssl" pairs.
#include <benchmark/benchmark.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/obj_mac.h>
#include <openssl/sha.h>

#include <random>
#include <vector>

#include "crypto/ed25519.h"
#include "crypto/p256.h"
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

// Two P-256 keys made by OpenSSL: ours (secret and point) and the peer's point.
struct P256Case {
    EVP_PKEY* ours = EVP_EC_gen("P-256");
    EVP_PKEY* peer = EVP_EC_gen("P-256");
    std::vector<uint8_t> secret = std::vector<uint8_t>(32), point = std::vector<uint8_t>(65);
    std::vector<uint8_t> peerPoint = std::vector<uint8_t>(65);

    P256Case() {
        BIGNUM* d = nullptr;
        EVP_PKEY_get_bn_param(ours, OSSL_PKEY_PARAM_PRIV_KEY, &d);
        BN_bn2binpad(d, secret.data(), 32);
        BN_free(d);
        size_t length = 0;
        EVP_PKEY_get_octet_string_param(ours, OSSL_PKEY_PARAM_PUB_KEY, point.data(), 65, &length);
        EVP_PKEY_get_octet_string_param(peer, OSSL_PKEY_PARAM_PUB_KEY, peerPoint.data(), 65,
                                        &length);
    }
    ~P256Case() {
        EVP_PKEY_free(peer);
        EVP_PKEY_free(ours);
    }
};

void OurP256Ecdh(benchmark::State& state) {
    const P256Case c;
    uint8_t shared[32];
    for (auto _ : state) {
        if (!P256SharedSecret(shared, c.secret.data(), c.peerPoint)) state.SkipWithError("refused");
        benchmark::DoNotOptimize(shared);
    }
}

void OpenSslP256Ecdh(benchmark::State& state) {
    const P256Case c;
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(c.ours, nullptr);
    EVP_PKEY_derive_init(ctx);
    EVP_PKEY_derive_set_peer(ctx, c.peer);
    uint8_t shared[32];
    for (auto _ : state) {
        size_t length = sizeof(shared);
        if (EVP_PKEY_derive(ctx, shared, &length) != 1) state.SkipWithError("derive failed");
        benchmark::DoNotOptimize(shared);
    }
    EVP_PKEY_CTX_free(ctx);
}

// An OpenSSL signature over a 32-byte message, checked by each (both hash the message).
struct EcdsaCase : P256Case {
    std::vector<uint8_t> message = RandomBytes(32, 5), r, s;
    ECDSA_SIG* signature = nullptr;
    EC_KEY* publicKey = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);

    EcdsaCase() {
        uint8_t digest[32];
        SHA256(message.data(), message.size(), digest);
        EC_KEY* signer = EC_KEY_new_by_curve_name(NID_X9_62_prime256v1);
        BIGNUM* d = BN_bin2bn(secret.data(), 32, nullptr);
        EC_KEY_set_private_key(signer, d);
        signature = ECDSA_do_sign(digest, 32, signer);
        r.resize(32);
        s.resize(32);
        BN_bn2binpad(ECDSA_SIG_get0_r(signature), r.data(), 32);
        BN_bn2binpad(ECDSA_SIG_get0_s(signature), s.data(), 32);
        BN_free(d);
        EC_KEY_free(signer);
        const uint8_t* p = point.data();
        o2i_ECPublicKey(&publicKey, &p, 65);
    }
    ~EcdsaCase() {
        EC_KEY_free(publicKey);
        ECDSA_SIG_free(signature);
    }
};

void OurEcdsaP256Verify(benchmark::State& state) {
    const EcdsaCase c;
    for (auto _ : state) {
        if (!EcdsaP256Verify(c.point, c.r, c.s, c.message)) state.SkipWithError("refused");
    }
}

void OpenSslEcdsaP256Verify(benchmark::State& state) {
    const EcdsaCase c;
    for (auto _ : state) {
        uint8_t digest[32];
        SHA256(c.message.data(), c.message.size(), digest);
        if (ECDSA_do_verify(digest, 32, c.signature, c.publicKey) != 1)
            state.SkipWithError("refused");
    }
}

}  // namespace

BENCHMARK(OurP256Ecdh)->Name("P-256-ECDH/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslP256Ecdh)->Name("P-256-ECDH/openssl")->Unit(benchmark::kMicrosecond);
BENCHMARK(OurEcdsaP256Verify)->Name("ECDSA-P-256-verify/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslEcdsaP256Verify)
    ->Name("ECDSA-P-256-verify/openssl")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(OurEd25519Verify)->Name("Ed25519-verify/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslEd25519Verify)->Name("Ed25519-verify/openssl")->Unit(benchmark::kMicrosecond);
BENCHMARK(OurX25519)->Name("X25519/ours")->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenSslX25519)->Name("X25519/openssl")->Unit(benchmark::kMicrosecond);
