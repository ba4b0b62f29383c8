// SSH-2 authenticated ciphers: the cipher and the MAC in one algorithm, negotiated as a cipher
// name, after which the MAC negotiated beside it is not used.
//
//   chacha20-poly1305@openssh.com  64 bytes of key: K_2 (the first 32, main key) and K_1 (the
//       next 32, header key). The nonce is the packet sequence number as a big-endian uint64 in
//       ChaCha20's original 64-bit layout. The 4-byte length field is encrypted with K_1 from
//       block 0; the rest of the packet with K_2 from block 1; the Poly1305 key is the first 32
//       bytes of K_2's block 0. The tag covers the encrypted length and the encrypted rest.
//   aes128-gcm@openssh.com, aes256-gcm@openssh.com  AES-GCM with a 12-byte IV from the key
//       exchange: a 4-byte fixed field and an 8-byte big-endian invocation counter that steps
//       by one per packet (wrapping at 2^64). The length field goes in clear as the additional
//       authenticated data; the rest of the packet is encrypted.
//
// Both append a 16-byte tag. In both the packet length field itself is not counted when the
// packet is padded: packet_length (the bytes after the field) is a multiple of blockSize.
//
// Receiving: read the first 4 bytes, ask PacketLength() how many follow (a value not yet
// authenticated: use it only to know how much to read, after checking its bounds), read
// them and the tag, then Open() the whole packet. Sending: build the plaintext packet with its
// length field and Seal() it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tessan::crypto {

// Per-direction state of an authenticated cipher.
class AeadContext {
public:
    virtual ~AeadContext() = default;
    // Takes keyBytes bytes of key material.
    virtual void SetKey(const uint8_t* key) = 0;
    // Takes ivBytes bytes (reads nothing when ivBytes is 0).
    virtual void SetIv(const uint8_t* iv) = 0;
    // The packet length field of packet number `sequence` from the first 4 bytes received.
    // Changes no state.
    virtual uint32_t PacketLength(const uint8_t* packet, uint32_t sequence) const = 0;
    // Encrypts packet[0, length) in place, length field included (GCM leaves it in clear), and
    // writes tagLength bytes at packet + length (the caller provides the room).
    virtual void Seal(uint8_t* packet, size_t length, uint32_t sequence) = 0;
    // Checks the tag at packet + length over packet[0, length) in constant time and only when
    // it matches decrypts packet[0, length) in place (length field included) and returns true.
    // On false the packet holds no plaintext and the state has not advanced; the caller ends
    // the connection.
    virtual bool Open(uint8_t* packet, size_t length, uint32_t sequence) = 0;
};

struct AeadDescriptor {
    std::unique_ptr<AeadContext> (*createContext)();  // a fresh context; freed by destruction
    std::string_view name;                            // the SSH-2 cipher name offered and matched
    size_t blockSize;                                 // padding multiple of packet_length
    size_t keyBits;                                   // nominal key length
    size_t keyBytes;                                  // key material SetKey reads
    size_t ivBytes;                                   // IV material SetIv reads
    size_t tagLength;                                 // bytes appended to each packet
    std::string_view displayName;                     // for the security information call

    std::unique_ptr<AeadContext> CreateContext() const { return createContext(); }
};

extern const AeadDescriptor kChaCha20Poly1305;
extern const AeadDescriptor kAes128Gcm;
extern const AeadDescriptor kAes256Gcm;

// The authenticated ciphers in offer order: ChaCha20-Poly1305, AES-128-GCM, AES-256-GCM.
std::span<const AeadDescriptor* const> AeadList();

// The descriptor named `name` byte for byte, or nullptr.
const AeadDescriptor* FindAead(std::string_view name);

// The context constructors behind the descriptors.
std::unique_ptr<AeadContext> CreateChaCha20Poly1305Context();
std::unique_ptr<AeadContext> CreateAesGcmContext(size_t keyBytes);

}  // namespace tessan::crypto
