// The random pool fed with known noise: its bytes must equal a separate model of the pool written
// from the algorithm's description on OpenSSL's SHA-1 compression, through seeding, light and
// heavy noise, stirs and the reference count.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "crypto/random_pool.h"
#include "test_support.h"

namespace tessan::crypto::test {
namespace {

// Scripted noise: every call returns different, predictable bytes.
class ScriptedNoise : public NoiseSource {
public:
    size_t HeavyNoise(uint8_t* out) override {
        for (int i = 0; i < 8; ++i)
            out[i] = static_cast<uint8_t>(0xa0 + i + 16 * heavyCalls_);
        ++heavyCalls_;
        return 8;
    }
    size_t LightNoise(uint8_t* out) override {
        for (int i = 0; i < 24; ++i)
            out[i] = static_cast<uint8_t>(lightCalls_ * 31 + i * 7);
        ++lightCalls_;
        return 24;
    }
    uint32_t TickCount() override { return 0x01020304u + 1000u * ticks_++; }

    void Reset() { heavyCalls_ = lightCalls_ = ticks_ = 0; }

private:
    int heavyCalls_ = 0;
    int lightCalls_ = 0;
    uint32_t ticks_ = 0;
};

// A model of the pool, step by step from the description, on OpenSSL's SHA1_Transform.
class ModelPool {
public:
    explicit ModelPool(NoiseSource& noise) : noise_(noise) {}

    void AddReference() {
        if (count_ == 0) {
            std::memset(pool_, 0, sizeof(pool_));
            std::memset(digest_, 0, sizeof(digest_));
            std::memset(block_, 0, sizeof(block_));
            position_ = fill_ = 0;
            uint8_t heavy[64];
            const size_t n = noise_.HeavyNoise(heavy);
            AddHeavy(heavy, n);
            Stir();
        }
        ++count_;
    }
    void DropReference() { --count_; }

    void AddLight(const uint8_t* p, size_t n) {
        if (count_ == 0) return;
        for (size_t k = 0; k < n; ++k) {
            block_[fill_++] = p[k];
            if (fill_ == 64) {
                Compress(digest_, block_);
                for (int i = 0; i < 20; ++i) {
                    if (position_ == 1200) position_ = 0;
                    pool_[position_] ^= block_[i];
                    position_ = (position_ + 1) % 1200;
                }
                fill_ = 0;
                if (position_ < 20) Stir();
            }
        }
    }

    void AddHeavy(const uint8_t* p, size_t n) {
        for (size_t k = 0; k < n; ++k) {
            if (position_ == 1200) {
                Stir();
                position_ = 0;
            }
            pool_[position_++] ^= p[k];
        }
    }

    void Ultralight(uint32_t value) {
        uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        AddLight(b, 4);
        const uint32_t tick = noise_.TickCount();
        uint8_t t[4] = {static_cast<uint8_t>(tick), static_cast<uint8_t>(tick >> 8),
                        static_cast<uint8_t>(tick >> 16), static_cast<uint8_t>(tick >> 24)};
        AddLight(t, 4);
    }

    uint8_t Get() {
        if (position_ >= 1200) Stir();
        return pool_[position_++];
    }

    const uint8_t* Bytes() const { return pool_; }
    size_t Position() const { return position_; }

private:
    static void Compress(uint32_t* state, const uint8_t* block) {
        SHA_CTX ctx;
        SHA1_Init(&ctx);
        ctx.h0 = state[0];
        ctx.h1 = state[1];
        ctx.h2 = state[2];
        ctx.h3 = state[3];
        ctx.h4 = state[4];
        SHA1_Transform(&ctx, block);
        state[0] = ctx.h0;
        state[1] = ctx.h1;
        state[2] = ctx.h2;
        state[3] = ctx.h3;
        state[4] = ctx.h4;
    }

    void Stir() {
        if (stirring_) return;
        stirring_ = true;
        uint8_t light[64];
        const size_t n = noise_.LightNoise(light);
        AddLight(light, n);
        Compress(digest_, block_);
        fill_ = 0;
        uint32_t copy[5];
        std::memcpy(copy, digest_,
                    20);  // the model runs on little-endian x86, as the pool's layout
        uint8_t message[64];
        for (int pass = 0; pass < 2; ++pass) {
            std::memcpy(message, pool_, 64);
            for (int k = 1180; k >= 0; k -= 20) {
                uint8_t* slice = pool_ + k;
                uint8_t* c = reinterpret_cast<uint8_t*>(copy);
                for (int i = 0; i < 20; ++i)
                    c[i] ^= slice[i];
                Compress(copy, message);
                std::memcpy(slice, copy, 20);
            }
        }
        Compress(copy, message);
        std::memcpy(digest_, copy, 20);
        position_ = 20;
        stirring_ = false;
    }

    NoiseSource& noise_;
    uint8_t pool_[1200] = {};
    uint32_t digest_[5] = {};
    uint8_t block_[64] = {};
    size_t position_ = 0;
    size_t fill_ = 0;
    bool stirring_ = false;
    int count_ = 0;
};

void ExpectSame(const RandomPool& pool, const ModelPool& model, const std::string& where) {
    ASSERT_EQ(pool.Position(), model.Position()) << where;
    ASSERT_EQ(ToHex(pool.PoolBytes().data(), 1200), ToHex(model.Bytes(), 1200)) << where;
}

TEST(RandomPool, MatchesTheModelThroughEveryOperation) {
    ScriptedNoise noiseA, noiseB;
    RandomPool pool(noiseA);
    ModelPool model(noiseB);
    pool.AddReference();
    model.AddReference();
    ExpectSame(pool, model, "after seeding");

    for (int step = 0; step < 3000; ++step) {
        const int action = static_cast<int>(RandomSize(0, 9));
        const Bytes noise = RandomBytesForTest(RandomSize(0, 150));
        switch (action) {
            case 0:
            case 1:
                pool.AddLightNoise(noise.data(), noise.size());
                model.AddLight(noise.data(), noise.size());
                break;
            case 2:
                pool.AddHeavyNoise(noise.data(), noise.size());
                model.AddHeavy(noise.data(), noise.size());
                break;
            case 3: {
                const uint32_t value = static_cast<uint32_t>(Rng()());
                pool.AddUltralightNoise(value);
                model.Ultralight(value);
                break;
            }
            default: {
                const size_t n = RandomSize(1, 400);
                Bytes ours(n);
                pool.GetBytes(ours.data(), n);
                for (size_t i = 0; i < n; ++i)
                    ASSERT_EQ(ours[i], model.Get()) << "step " << step;
                break;
            }
        }
        ExpectSame(pool, model, "step " + std::to_string(step));
    }
}

TEST(RandomPool, LightNoiseIsIgnoredWithoutReferences) {
    ScriptedNoise noise;
    RandomPool pool(noise);
    pool.AddReference();
    pool.DropReference();
    EXPECT_EQ(pool.References(), 0);
    const Bytes before(pool.PoolBytes().begin(), pool.PoolBytes().end());
    const Bytes light = RandomBytesForTest(500);
    pool.AddLightNoise(light.data(), light.size());
    pool.AddUltralightNoise(42);
    EXPECT_EQ(Bytes(pool.PoolBytes().begin(), pool.PoolBytes().end()), before);
    // Heavy noise is taken at any count.
    pool.AddHeavyNoise(light.data(), 10);
    EXPECT_NE(Bytes(pool.PoolBytes().begin(), pool.PoolBytes().end()), before);
}

TEST(RandomPool, RisingFromZeroClearsAndReseeds) {
    ScriptedNoise noise;
    RandomPool pool(noise);
    pool.AddReference();
    const Bytes fresh(pool.PoolBytes().begin(), pool.PoolBytes().end());
    Bytes drawn(3000);
    pool.GetBytes(drawn.data(), drawn.size());
    pool.AddReference();  // 1 -> 2: nothing but the count changes
    EXPECT_EQ(pool.References(), 2);
    pool.DropReference();
    pool.DropReference();
    noise.Reset();
    pool.AddReference();  // 0 -> 1: cleared and seeded from the same scripted noise again
    EXPECT_EQ(Bytes(pool.PoolBytes().begin(), pool.PoolBytes().end()), fresh);
    EXPECT_EQ(pool.Position(), 20u);
}

TEST(RandomPool, SystemPoolGivesVaryingBytes) {
    RandomPoolReference reference;
    Bytes a(64), b(64);
    RandomBytes(a.data(), a.size());
    RandomBytes(b.data(), b.size());
    EXPECT_NE(a, b);
    RandomAddUltralightNoise(7);
    const uint8_t light[3] = {1, 2, 3};
    RandomAddLightNoise(light, 3);
    RandomAddHeavyNoise(light, 3);
    // Over many bytes every value turns up (a stuck or all-zero pool would not).
    std::vector<int> seen(256, 0);
    for (int i = 0; i < 20000; ++i)
        ++seen[RandomByte()];
    for (int count : seen)
        EXPECT_GT(count, 0);
}

// A forked child holds a copy of its parent's pool: without a reseed both would draw the same
// bytes next (the same padding, cookies and exponents on two connections).
TEST(RandomPool, AForkedChildDrawsOtherBytesThanItsParent) {
    RandomPoolReference reference;
    RandomByte();  // the pool is seeded and in use before the fork
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    Bytes drawn(16);
    if (child == 0) {
        RandomBytes(drawn.data(), drawn.size());
        _exit(write(channel[1], drawn.data(), drawn.size()) == 16 ? 0 : 1);
    }
    RandomBytes(drawn.data(), drawn.size());
    Bytes fromChild(16);
    EXPECT_EQ(read(channel[0], fromChild.data(), fromChild.size()), 16);
    int status = 0;
    waitpid(child, &status, 0);
    close(channel[0]);
    close(channel[1]);
    EXPECT_NE(drawn, fromChild);
}

}  // namespace
}  // namespace tessan::crypto::test
