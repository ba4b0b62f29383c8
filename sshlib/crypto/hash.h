// Hash descriptors: the exchange hashes a key-exchange descriptor names (SHA-1, SHA-256, SHA-512).
// MD5 has no descriptor; its users call Md5 directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace tessan::crypto {

class HashContext {
public:
    virtual ~HashContext() = default;
    virtual void Update(const uint8_t* data, size_t length) = 0;
    void Update(std::span<const uint8_t> data) { Update(data.data(), data.size()); }
    // Writes digestLength bytes; the context is not to be used afterwards.
    virtual void Finish(uint8_t* digest) = 0;
};

struct HashDescriptor {
    std::unique_ptr<HashContext> (*createContext)();  // created and initialised
    size_t digestLength;                              // bytes
    std::string_view displayName;

    std::unique_ptr<HashContext> CreateContext() const { return createContext(); }
};

extern const HashDescriptor kSha1Hash;    // 20 bytes, "SHA-1"
extern const HashDescriptor kSha256Hash;  // 32 bytes, "SHA-256"
extern const HashDescriptor kSha512Hash;  // 64 bytes, "SHA-512"

}  // namespace tessan::crypto
