#include "crypto/random_pool.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>

#include "crypto/bytes.h"
#include "crypto/sha1.h"

namespace tessan::crypto {
namespace {

class SystemNoise : public NoiseSource {
public:
    size_t HeavyNoise(uint8_t* out) override {
        StoreLe32(out, TickCount());
        StoreLe32(out + 4, static_cast<uint32_t>(getpid()));
        // The tick count and process id alone are guessable; the kernel's generator makes the
        // Diffie-Hellman exponents and cookies drawn from the pool unpredictable.
        KernelRandom(out + 8, 32);
        return 40;
    }

    size_t LightNoise(uint8_t* out) override {
        using namespace std::chrono;
        // Wall-clock time as seconds and nanoseconds (16 bytes), then the monotonic clock in
        // nanoseconds (8 bytes), standing in for the system time and its adjustment values.
        const auto wall =
            duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
        StoreLe64(out, static_cast<uint64_t>(wall / 1000000000));
        StoreLe64(out + 8, static_cast<uint64_t>(wall % 1000000000));
        const auto monotonic =
            duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
        StoreLe64(out + 16, static_cast<uint64_t>(monotonic));
        return 24;
    }

    uint32_t TickCount() override {
        using namespace std::chrono;
        return static_cast<uint32_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

private:
    static void KernelRandom(uint8_t* out, size_t length) {
        size_t done = 0;
        while (done < length) {
            const ssize_t n = getrandom(out + done, length - done, 0);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && errno != EINTR) {
                break;
            }
        }
        if (done == length) return;
        const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        while (done < length) {
            const ssize_t n = read(fd, out + done, length - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n == 0 || errno != EINTR) {
                break;
            }
        }
        close(fd);
    }
};

void StoreDigestLe(uint8_t* out, const uint32_t digest[5]) {
    for (int i = 0; i < 5; ++i)
        StoreLe32(out + 4 * i, digest[i]);
}

}  // namespace

NoiseSource& SystemNoiseSource() {
    static SystemNoise source;
    return source;
}

RandomPool::~RandomPool() {
    Clear();
}

void RandomPool::Clear() {
    SecureWipe(pool_, sizeof(pool_));
    SecureWipe(inputDigest_, sizeof(inputDigest_));
    SecureWipe(inputBlock_, sizeof(inputBlock_));
    position_ = 0;
    inputFill_ = 0;
    stirring_ = false;
}

void RandomPool::AddReference() {
    if (references_ == 0) {
        Clear();
        uint8_t noise[NoiseSource::kMaxNoise];
        const size_t length = source_.HeavyNoise(noise);
        AddHeavyNoise(noise, length);
        SecureWipe(noise, sizeof(noise));
        // Still at count 0, so the light noise this stir collects is not taken.
        Stir();
    }
    ++references_;
}

void RandomPool::Reseed() {
    uint8_t noise[NoiseSource::kMaxNoise];
    const size_t length = source_.HeavyNoise(noise);
    AddHeavyNoise(noise, length);
    SecureWipe(noise, sizeof(noise));
    Stir();
}

void RandomPool::DropReference() {
    if (references_ > 0) --references_;
}

void RandomPool::AddLightNoise(const uint8_t* data, size_t length) {
    if (references_ == 0) return;
    while (length != 0) {
        const size_t take = length < 64 - inputFill_ ? length : 64 - inputFill_;
        for (size_t i = 0; i < take; ++i)
            inputBlock_[inputFill_ + i] = data[i];
        inputFill_ += take;
        data += take;
        length -= take;
        if (inputFill_ < 64) break;
        Sha1Compress(inputDigest_, inputBlock_);
        for (size_t i = 0; i < 20; ++i) {
            // A pool drained by GetByte sits at 1200 until its next stir; wrap before writing.
            if (position_ >= kPoolSize) position_ = 0;
            pool_[position_] ^= inputBlock_[i];
            if (++position_ >= kPoolSize) position_ = 0;
        }
        // The block is spent before a stir adds its own light noise, so that noise starts a new
        // one.
        inputFill_ = 0;
        if (position_ < 20) Stir();
    }
}

void RandomPool::AddHeavyNoise(const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (position_ >= kPoolSize) {
            Stir();
            position_ = 0;
        }
        pool_[position_++] ^= data[i];
    }
}

void RandomPool::AddUltralightNoise(uint32_t value) {
    uint8_t bytes[4];
    StoreLe32(bytes, value);
    AddLightNoise(bytes, 4);
    StoreLe32(bytes, source_.TickCount());
    AddLightNoise(bytes, 4);
}

void RandomPool::Stir() {
    if (stirring_) return;
    stirring_ = true;
    uint8_t noise[NoiseSource::kMaxNoise];
    const size_t length = source_.LightNoise(noise);
    AddLightNoise(noise, length);
    SecureWipe(noise, sizeof(noise));
    Sha1Compress(inputDigest_, inputBlock_);
    inputFill_ = 0;

    // Each 20-byte slice, from the last to the first, is XORed into a running SHA-1 state which is
    // then compressed with the pool's first 64 bytes and written back over the slice. The state's
    // words are laid out little-endian in the pool.
    uint32_t digest[5];
    for (int i = 0; i < 5; ++i)
        digest[i] = inputDigest_[i];
    uint8_t block[64];
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 64; ++i)
            block[i] = pool_[i];
        for (int k = static_cast<int>(kPoolSize) - 20; k >= 0; k -= 20) {
            for (int i = 0; i < 5; ++i)
                digest[i] ^= LoadLe32(pool_ + k + 4 * i);
            Sha1Compress(digest, block);
            StoreDigestLe(pool_ + k, digest);
        }
    }
    Sha1Compress(digest, block);
    for (int i = 0; i < 5; ++i)
        inputDigest_[i] = digest[i];
    SecureWipe(digest, sizeof(digest));
    SecureWipe(block, sizeof(block));
    position_ = 20;
    stirring_ = false;
}

uint8_t RandomPool::GetByte() {
    if (position_ >= kPoolSize) Stir();
    return pool_[position_++];
}

void RandomPool::GetBytes(uint8_t* out, size_t length) {
    for (size_t i = 0; i < length; ++i)
        out[i] = GetByte();
}

namespace {

std::mutex& PoolLock() {
    static std::mutex lock;
    return lock;
}

// Under the pool's lock. A child of fork starts with a copy of its parent's pool and would
// draw the very bytes the parent draws next (padding, cookies, exponents): the first call in a
// new process reseeds.
RandomPool& GlobalPool() {
    static RandomPool pool(SystemNoiseSource());
    static pid_t owner = getpid();
    if (const pid_t current = getpid(); current != owner) {
        owner = current;
        pool.Reseed();
    }
    return pool;
}

// Bytes may be asked for before any connection holds a reference (tools, tests); the pool is then
// seeded once on the spot rather than handing out bytes of an all-zero pool.
RandomPool& SeededGlobalPool() {
    static bool seeded = false;
    RandomPool& pool = GlobalPool();
    if (pool.References() == 0 && !seeded) {
        pool.AddReference();
        pool.DropReference();
    }
    seeded = true;
    return pool;
}

}  // namespace

void RandomAddReference() {
    std::lock_guard<std::mutex> guard(PoolLock());
    GlobalPool().AddReference();
}

void RandomDropReference() {
    std::lock_guard<std::mutex> guard(PoolLock());
    GlobalPool().DropReference();
}

uint8_t RandomByte() {
    std::lock_guard<std::mutex> guard(PoolLock());
    return SeededGlobalPool().GetByte();
}

void RandomBytes(uint8_t* out, size_t length) {
    std::lock_guard<std::mutex> guard(PoolLock());
    SeededGlobalPool().GetBytes(out, length);
}

void RandomAddLightNoise(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> guard(PoolLock());
    GlobalPool().AddLightNoise(data, length);
}

void RandomAddHeavyNoise(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> guard(PoolLock());
    GlobalPool().AddHeavyNoise(data, length);
}

void RandomAddUltralightNoise(uint32_t value) {
    std::lock_guard<std::mutex> guard(PoolLock());
    GlobalPool().AddUltralightNoise(value);
}

}  // namespace tessan::crypto
