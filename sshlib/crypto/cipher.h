// SSH-2 cipher descriptors: every cipher the library can negotiate, the five family lists, and the
// offer built from a connection's cipher preference list.
//
// Use: pick a descriptor (FindCipher, or walk CipherOffer), CreateContext(), SetKey() with
// keyBytes bytes, SetIv() with blockSize bytes, then Encrypt/Decrypt whole blocks in place. The
// context keeps the chaining value, counter or stream state between calls, so consecutive packets
// continue one stream per direction. Descriptors are immutable and live for the process.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/aead.h"

namespace tessan::crypto {

// Family codes; 1 to 5 double as the cipher preference codes (0 is the warning marker).
// ChaCha20 has no preference code: it is offered only among the modern ciphers.
enum class CipherFamily : int {
    kTripleDes = 1,
    kBlowfish = 2,
    kAes = 3,
    kSingleDes = 4,
    kArcfour = 5,
    kChaCha20 = 6,
};
inline constexpr int kCipherWarnMarker = 0;

// Per-direction cipher state created by a descriptor.
class CipherContext {
public:
    virtual ~CipherContext() = default;
    // Loads the CBC chaining value or the SDCTR counter (blockSize bytes, read as big-endian
    // words); does nothing for Arcfour.
    virtual void SetIv(const uint8_t* iv) = 0;
    // Builds the key schedule from keyBytes bytes (Arcfour also discards its first 1536 keystream
    // bytes here).
    virtual void SetKey(const uint8_t* key) = 0;
    // In place; `length` is a multiple of blockSize. For SDCTR and Arcfour both are the same.
    virtual void Encrypt(uint8_t* data, size_t length) = 0;
    virtual void Decrypt(uint8_t* data, size_t length) = 0;
};

// An authenticated cipher (aead set) has no CipherContext: createContext is null, name,
// keyBytes and blockSize are those of its AeadDescriptor, and packets are framed as aead.h
// describes.
struct CipherDescriptor {
    std::unique_ptr<CipherContext> (*createContext)();  // a fresh context; freed by destruction
    CipherFamily family;
    std::string_view name;         // the SSH-2 algorithm name offered and matched
    size_t blockSize;              // bytes
    size_t keyBits;                // nominal key length (168 for triple DES, 56 for DES)
    size_t keyBytes;               // bytes SetKey reads (24 for triple DES, 8 for DES)
    bool cbc;                      // true for CBC; false for SDCTR and the stream cipher
    std::string_view displayName;  // for the security information call
    const AeadDescriptor* aead = nullptr;

    bool IsAead() const { return aead != nullptr; }

    std::unique_ptr<CipherContext> CreateContext() const { return createContext(); }
};

extern const CipherDescriptor kAes256Ctr;
extern const CipherDescriptor kAes256Cbc;
extern const CipherDescriptor kAes256CbcAlias;  // "rijndael-cbc@lysator.liu.se"
extern const CipherDescriptor kAes192Ctr;
extern const CipherDescriptor kAes192Cbc;
extern const CipherDescriptor kAes128Ctr;
extern const CipherDescriptor kAes128Cbc;
extern const CipherDescriptor kBlowfishCtr;
extern const CipherDescriptor kBlowfishCbc;
extern const CipherDescriptor kTripleDesCtr;
extern const CipherDescriptor kTripleDesCbc;
extern const CipherDescriptor kDesCbc;
extern const CipherDescriptor kDesCbcAlias;  // "des-cbc@ssh.com"
extern const CipherDescriptor kArcfour256;
extern const CipherDescriptor kArcfour128;
// The authenticated ciphers as negotiable ciphers.
extern const CipherDescriptor kChaCha20Poly1305Cipher;
extern const CipherDescriptor kAes128GcmCipher;
extern const CipherDescriptor kAes256GcmCipher;

// A family's descriptors in their fixed internal order.
struct CipherFamilyList {
    CipherFamily family;
    std::span<const CipherDescriptor* const> ciphers;
};

// The list for a family code 1..5, or nullptr for the marker and unknown codes.
const CipherFamilyList* CipherFamilyByCode(int code);

// The cipher preference list: six family codes. Default: AES, Blowfish, triple DES, Arcfour,
// single DES, marker.
using CipherPreference = std::array<int, 6>;
inline constexpr CipherPreference kDefaultCipherPreference = {3, 2, 1, 5, 4, 0};

// The candidate slots the key exchange walks: one entry per preference slot, a family list or
// nullptr for a marker in the first five slots (a marker in the sixth is dropped). Single DES
// takes part only when `allowSingleDes` is set; unknown codes count as markers.
std::vector<const CipherFamilyList*> CipherCandidates(const CipherPreference& preference,
                                                      bool allowSingleDes);

// The candidates flattened in offer order (thirteen names for the defaults).
std::vector<const CipherDescriptor*> CipherOffer(const CipherPreference& preference,
                                                 bool allowSingleDes);

// The offer as the comma-separated name list of the key-exchange-init.
std::string CipherNameList(const CipherPreference& preference, bool allowSingleDes);

// The modern ciphers in offer order: "chacha20-poly1305@openssh.com", "aes128-gcm@openssh.com",
// "aes256-gcm@openssh.com".
std::span<const CipherDescriptor* const> ModernCiphers();

// The first descriptor whose name equals `name` byte for byte, searching every family in the
// order AES, Blowfish, triple DES, single DES, Arcfour, then the modern ciphers; nullptr when
// none does.
const CipherDescriptor* FindCipher(std::string_view name);

}  // namespace tessan::crypto
