// Authenticated ciphers for SSH-2 packets: "chacha20-poly1305@openssh.com",
// "aes128-gcm@openssh.com" and "aes256-gcm@openssh.com". Each one encrypts and authenticates a
// whole packet, so the negotiated MAC is not used while one of them is active.
//
// A packet on the wire is
//     uint32 packet_length || body || tag
// where body is the padding-length byte, the payload and the padding (packet_length bytes, a
// multiple of the descriptor's blockSize; the length field does not count towards it) and tag
// is tagLength bytes. What happens to the length field depends on the construction:
//   - GCM: sent in clear and authenticated as associated data; the 12-byte nonce is the fixed
//     field and the 64-bit invocation counter taken from SetIv, the counter advancing by one
//     after every packet sealed or opened.
//   - ChaCha20-Poly1305: encrypted on its own with the header key (the second 32 key bytes),
//     the body with the main key (the first 32 key bytes); the nonce is the packet's sequence
//     number, and the tag covers the encrypted length and the encrypted body.
//
// Use, one context per direction: CreateContext(), SetKey() with keyBytes bytes, SetIv() with
// ivBytes bytes (nothing to do when ivBytes is 0), then per packet either Seal, or PacketLength
// followed by Open. `sequence` is the packet's sequence number in that direction; GCM ignores it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tessan::crypto {

class AeadContext {
public:
    virtual ~AeadContext() = default;
    // Reads keyBytes bytes.
    virtual void SetKey(const uint8_t* key) = 0;
    // Reads ivBytes bytes.
    virtual void SetIv(const uint8_t* iv) = 0;

    // The packet_length of a received packet from its first four bytes as they arrived (left
    // unchanged). Not yet authenticated: the caller only uses it to bound and size the read,
    // and uses nothing of the packet before Open has succeeded.
    virtual uint32_t PacketLength(const uint8_t* wire, uint32_t sequence) = 0;

    // `packet` holds the plain length field (4 bytes) and the plain body (bodyLength bytes);
    // encrypts them in place as the construction says and writes the tag at
    // packet + 4 + bodyLength (the caller provides the room).
    virtual void Seal(uint8_t* packet, size_t bodyLength, uint32_t sequence) = 0;

    // `packet` holds a received packet as it arrived: the length field, bodyLength bytes of
    // body and the tag. Checks the tag first, in constant time; when it matches, decrypts the
    // body in place (packet + 4 onwards; the length field is left as it arrived) and returns
    // true. Returns false, the body not decrypted, when the tag does not match.
    virtual bool Open(uint8_t* packet, size_t bodyLength, uint32_t sequence) = 0;
};

struct AeadDescriptor {
    std::unique_ptr<AeadContext> (*createContext)();  // a fresh context; freed by destruction
    size_t keyBytes;                                  // 64 for ChaCha20-Poly1305, 16 or 32 for GCM
    size_t ivBytes;                                   // 0 for ChaCha20-Poly1305, 12 for GCM
    size_t tagLength;                                 // 16

    std::unique_ptr<AeadContext> CreateContext() const { return createContext(); }
};

// Defined next to their constructions.
extern const AeadDescriptor kChaCha20Poly1305Aead;
extern const AeadDescriptor kAes128GcmAead;
extern const AeadDescriptor kAes256GcmAead;

}  // namespace tessan::crypto
