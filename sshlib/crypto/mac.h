// SSH-2 MAC descriptors (HMAC over SHA-1, MD5, SHA-256 or SHA-512; RFC 4253 section 6.4,
// RFC 6668), the two original MAC lists and the modern MACs offered after them.
//
// The MAC of packet number `sequence` is HMAC(key, uint32 sequence || packet), truncated to the
// descriptor's macLength. The bug-compatible descriptors carry the same names but key HMAC-SHA1
// with only the first 16 of the 20 derived key bytes, for servers with that old fault.
//
// Encrypt-then-MAC descriptors ("...-etm@openssh.com") compute the same HMAC, but over the packet
// as sent: the packet length field in clear followed by the encrypted rest; the receiver checks
// it before decrypting anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tessan::crypto {

class MacContext {
public:
    virtual ~MacContext() = default;
    // Takes the descriptor's keyBytes bytes from `key` (callers may pass more; the rest is unused).
    virtual void SetKey(const uint8_t* key) = 0;
    // Computes the MAC over uint32 `sequence` || data[0, length) and writes macLength bytes at
    // data + length (the caller provides the room).
    virtual void Generate(uint8_t* data, size_t length, uint32_t sequence) = 0;
    // True when the macLength bytes stored at data + length equal the MAC over data[0, length);
    // compared in constant time.
    virtual bool Verify(const uint8_t* data, size_t length, uint32_t sequence) = 0;
};

struct MacDescriptor {
    std::unique_ptr<MacContext> (*createContext)();  // a fresh context; freed by destruction
    std::string_view name;                           // the SSH-2 name offered and matched
    size_t macLength;                                // bytes appended to each packet
    size_t keyBytes;                                 // key bytes SetKey takes
    std::string_view displayName;
    bool encryptThenMac = false;

    std::unique_ptr<MacContext> CreateContext() const { return createContext(); }
};

extern const MacDescriptor kHmacSha1;
extern const MacDescriptor kHmacSha1_96;
extern const MacDescriptor kHmacSha1BugCompatible;
extern const MacDescriptor kHmacSha1_96BugCompatible;
extern const MacDescriptor kHmacMd5;
extern const MacDescriptor kHmacSha256;
extern const MacDescriptor kHmacSha512;
extern const MacDescriptor kHmacSha256Etm;
extern const MacDescriptor kHmacSha512Etm;
extern const MacDescriptor kHmacSha1Etm;

// The three MACs offered, in order: the normal list, or the bug-compatible list when the peer has
// the 16-byte HMAC key fault. Both carry the names "hmac-sha1", "hmac-sha1-96", "hmac-md5".
std::span<const MacDescriptor* const> MacList(bool bugCompatibleKeys);

// The modern MACs in offer order: "hmac-sha2-256", "hmac-sha2-512", then the encrypt-then-MAC
// "hmac-sha2-256-etm@openssh.com", "hmac-sha2-512-etm@openssh.com", "hmac-sha1-etm@openssh.com".
std::span<const MacDescriptor* const> ModernMacs();

// The descriptor named `name` in the chosen original list or among the modern MACs, or nullptr.
const MacDescriptor* FindMac(std::string_view name, bool bugCompatibleKeys);

}  // namespace tessan::crypto
