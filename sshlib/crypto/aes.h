// AES (FIPS 197) with 128, 192 and 256-bit keys, and the three ways the SSH library runs it:
// CBC, SDCTR (a 128-bit big-endian counter) and single blocks. Uses the processor's AES
// instructions when present (decided when the key is set), else portable table code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessan::crypto {

class Aes {
public:
    static constexpr size_t kBlockLength = 16;

    Aes() = default;
    ~Aes();
    Aes(const Aes&) = delete;
    Aes& operator=(const Aes&) = delete;

    // `length` is 16, 24 or 32; anything else is a programming error.
    void SetKey(const uint8_t* key, size_t length);

    void EncryptBlock(const uint8_t in[16], uint8_t out[16]) const;
    void DecryptBlock(const uint8_t in[16], uint8_t out[16]) const;

    // CBC in place over `length` bytes (a multiple of 16); `iv` holds the chaining value and is
    // updated so that the next call continues the chain.
    void EncryptCbc(uint8_t* data, size_t length, uint8_t iv[16]) const;
    void DecryptCbc(uint8_t* data, size_t length, uint8_t iv[16]) const;

    // Counter mode in place: each 16-byte block (a final partial block too) is XORed with the
    // encryption of `counter`, which is then incremented as one 128-bit big-endian integer,
    // wrapping from all-ones to zero. The updated counter is left in `counter`.
    void CryptCtr(uint8_t* data, size_t length, uint8_t counter[16]) const;

    bool UsesAesNi() const { return aesNi_; }
    // For modes that drive the AES instructions themselves (GCM): the round keys in the layout
    // the Ni functions below take, and the round count.
    const uint8_t* NiEncryptKeys() const { return niEncryptKeys_; }
    int Rounds() const { return rounds_; }

private:
    uint32_t encryptKeys_[60] = {};
    uint32_t decryptKeys_[60] = {};
    // The same round keys as bytes in the order the AES instructions load them.
    alignas(16) uint8_t niEncryptKeys_[240] = {};
    alignas(16) uint8_t niDecryptKeys_[240] = {};
    int rounds_ = 0;
    bool aesNi_ = false;
};

// AES-NI implementations (aes_ni.cpp); round keys as 16-byte blocks, `rounds` 10, 12 or 14.
void AesNiEncryptBlock(const uint8_t* keys, int rounds, const uint8_t* in, uint8_t* out);
void AesNiDecryptBlock(const uint8_t* keys, int rounds, const uint8_t* in, uint8_t* out);
void AesNiEncryptCbc(const uint8_t* keys, int rounds, uint8_t* data, size_t blocks, uint8_t* iv);
void AesNiDecryptCbc(const uint8_t* keys, int rounds, uint8_t* data, size_t blocks, uint8_t* iv);
void AesNiCtr(const uint8_t* keys, int rounds, uint8_t* data, size_t length, uint8_t* counter);

}  // namespace tessan::crypto
