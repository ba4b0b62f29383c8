// SSH-2 MAC descriptors (HMAC over SHA-1 or MD5, RFC 4253 section 6.4) and the two MAC lists.
//
// The MAC of packet number `sequence` is HMAC(key, uint32 sequence || packet), truncated to the
// descriptor's macLength. The bug-compatible descriptors carry the same names but key HMAC-SHA1
// with only the first 16 of the 20 derived key bytes, for servers with that old fault.
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

    std::unique_ptr<MacContext> CreateContext() const { return createContext(); }
};

extern const MacDescriptor kHmacSha1;
extern const MacDescriptor kHmacSha1_96;
extern const MacDescriptor kHmacSha1BugCompatible;
extern const MacDescriptor kHmacSha1_96BugCompatible;
extern const MacDescriptor kHmacMd5;

// The three MACs offered, in order: the normal list, or the bug-compatible list when the peer has
// the 16-byte HMAC key fault. Both carry the names "hmac-sha1", "hmac-sha1-96", "hmac-md5".
std::span<const MacDescriptor* const> MacList(bool bugCompatibleKeys);

// The descriptor named `name` in the chosen list, or nullptr.
const MacDescriptor* FindMac(std::string_view name, bool bugCompatibleKeys);

}  // namespace tessan::crypto
