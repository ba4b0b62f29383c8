// SSH-1 session ciphers: triple DES in inner-CBC form, single DES CBC and Blowfish CBC with
// little-endian words, plus the choice of one of them from the cipher preference list and the
// server's supported-ciphers mask.
//
// One context serves both directions: it keeps separate schedules and chaining values for
// encryption (outgoing) and decryption (incoming), all chaining values starting at zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "crypto/cipher.h"

namespace tessan::crypto {

class Ssh1CipherContext {
public:
    virtual ~Ssh1CipherContext() = default;
    // The 32-byte SSH-1 session key; each cipher takes the bytes it needs (triple DES 24, DES 8,
    // Blowfish all 32).
    virtual void SetSessionKey(const uint8_t* key) = 0;
    // In place; `length` is a multiple of 8.
    virtual void Encrypt(uint8_t* data, size_t length) = 0;
    virtual void Decrypt(uint8_t* data, size_t length) = 0;
};

struct Ssh1CipherDescriptor {
    std::unique_ptr<Ssh1CipherContext> (*createContext)();
    CipherFamily family;
    size_t blockSize;  // always 8
    std::string_view displayName;
    int number;  // the SSH-1 cipher number: 3 triple DES, 2 DES, 6 Blowfish

    std::unique_ptr<Ssh1CipherContext> CreateContext() const { return createContext(); }
};

extern const Ssh1CipherDescriptor kSsh1TripleDes;  // "triple-DES inner-CBC"
extern const Ssh1CipherDescriptor kSsh1Des;        // "single-DES CBC"
extern const Ssh1CipherDescriptor kSsh1Blowfish;   // "Blowfish-128 CBC"

// Walks the preference slots in order, mapping triple DES to cipher 3, Blowfish to 6 and single
// DES to 2 (regardless of the SSH-2 single-DES setting), skipping the others; returns the first
// whose bit (1 << number) is set in `supportedMask`, or nothing.
const Ssh1CipherDescriptor* ChooseSsh1Cipher(const CipherPreference& preference,
                                             uint32_t supportedMask);

}  // namespace tessan::crypto
