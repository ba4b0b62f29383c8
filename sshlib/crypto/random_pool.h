// The random pool: 1200 bytes stirred with the SHA-1 compression function, fed by noise, from
// which every random byte of the library is drawn (packet padding, key-exchange cookies,
// Diffie-Hellman exponents, SSH-1 session keys and padding).
//
// RandomPool is the mechanism, deterministic for a given NoiseSource so that tests can feed known
// noise and check the bytes. The process-wide instance (the Random* functions below) uses the
// system noise source and a lock of its own, so connections on different threads may share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tessan::crypto {

// Where the pool's noise comes from.
class NoiseSource {
public:
    static constexpr size_t kMaxNoise = 64;
    virtual ~NoiseSource() = default;
    // Noise XORed into the pool when it is seeded: the 32-bit tick count and the 32-bit process id
    // (4 bytes each, little-endian), and for the system source also 32 bytes from the kernel's
    // random generator. Writes at most kMaxNoise bytes to `out` and returns how many.
    virtual size_t HeavyNoise(uint8_t* out) = 0;
    // Noise hashed in at every stir: 16 bytes of system time, then 8 bytes of clock adjustment.
    // Writes at most kMaxNoise bytes and returns how many.
    virtual size_t LightNoise(uint8_t* out) = 0;
    // Milliseconds since an arbitrary start, modulo 2^32.
    virtual uint32_t TickCount() = 0;
};

// The source the process-wide pool uses (clocks, process id, getrandom).
NoiseSource& SystemNoiseSource();

class RandomPool {
public:
    static constexpr size_t kPoolSize = 1200;

    explicit RandomPool(NoiseSource& source) : source_(source) {}
    ~RandomPool();
    RandomPool(const RandomPool&) = delete;
    RandomPool& operator=(const RandomPool&) = delete;

    // A connection starts using the pool. On the step from 0 to 1 the whole state is cleared and
    // re-seeded from the heavy noise, then stirred.
    void AddReference();
    // A connection stops using the pool; the contents stay.
    void DropReference();
    // Mixes fresh heavy noise into the pool and stirs, keeping what it held (a forked child must
    // not hand out the bytes its parent hands out next).
    void Reseed();
    int References() const { return references_; }

    // The next random byte (stirs first when the pool has been used up).
    uint8_t GetByte();
    void GetBytes(uint8_t* out, size_t length);

    // Bytes hashed into the input block; ignored while no reference is held.
    void AddLightNoise(const uint8_t* data, size_t length);
    // Bytes XORed straight into the pool from the current position on.
    void AddHeavyNoise(const uint8_t* data, size_t length);
    // A 32-bit value (a socket, an event word) and then the tick count, as light noise.
    void AddUltralightNoise(uint32_t value);

    // For tests: the pool bytes and the position of the next byte.
    std::span<const uint8_t> PoolBytes() const { return pool_; }
    size_t Position() const { return position_; }

private:
    void Stir();
    void Clear();

    NoiseSource& source_;
    uint8_t pool_[kPoolSize] = {};
    size_t position_ = 0;
    uint32_t inputDigest_[5] = {};
    uint8_t inputBlock_[64] = {};
    size_t inputFill_ = 0;
    bool stirring_ = false;
    int references_ = 0;
};

// The process-wide pool. Every call takes the pool's lock, and the first call in a process
// forked from one that used the pool reseeds it first (the process id has changed).
void RandomAddReference();
void RandomDropReference();
uint8_t RandomByte();
void RandomBytes(uint8_t* out, size_t length);
void RandomAddLightNoise(const uint8_t* data, size_t length);
void RandomAddHeavyNoise(const uint8_t* data, size_t length);
void RandomAddUltralightNoise(uint32_t value);

// Holds a reference on the process-wide pool for its lifetime.
class RandomPoolReference {
public:
    RandomPoolReference() { RandomAddReference(); }
    ~RandomPoolReference() { RandomDropReference(); }
    RandomPoolReference(const RandomPoolReference&) = delete;
    RandomPoolReference& operator=(const RandomPoolReference&) = delete;
};

}  // namespace tessan::crypto
