#include "sshlib/transport/key_derivation.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "crypto/bytes.h"
#include "crypto/wire.h"

namespace tessan::transport {
namespace {

constexpr size_t kMaxDigest = 64;

}  // namespace

void DeriveKey(const crypto::HashDescriptor& hash, const crypto::BigNum& sharedSecret,
               std::span<const uint8_t> exchangeHash, char letter,
               std::span<const uint8_t> sessionId, bool omitSecret, uint8_t out[kMaxKeyMaterial]) {
    std::vector<uint8_t, WipingAllocator<uint8_t>> secret;
    if (!omitSecret) {
        std::vector<uint8_t> encoded;
        encoded.reserve(sharedSecret.ByteCount() + 8);  // no reallocation leaves a copy behind
        crypto::AppendMpint(encoded, sharedSecret);
        secret.assign(encoded.begin(), encoded.end());
        SecureWipe(encoded.data(), encoded.size());
    }
    const size_t digest = hash.digestLength;
    uint8_t block[kMaxDigest];
    auto first = hash.CreateContext();
    first->Update(secret.data(), secret.size());
    first->Update(exchangeHash);
    const uint8_t x = static_cast<uint8_t>(letter);
    first->Update(&x, 1);
    first->Update(sessionId);
    first->Finish(block);
    size_t have = std::min(digest, kMaxKeyMaterial);
    std::memcpy(out, block, have);
    while (have < kMaxKeyMaterial) {
        auto next = hash.CreateContext();
        next->Update(secret.data(), secret.size());
        next->Update(exchangeHash);
        next->Update(out, have);
        next->Finish(block);
        const size_t take = std::min(digest, kMaxKeyMaterial - have);
        std::memcpy(out + have, block, take);
        have += take;
    }
    SecureWipe(block, sizeof block);
}

}  // namespace tessan::transport
