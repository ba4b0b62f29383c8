#include "sshlib/transport/key_derivation.h"

#include <vector>

#include "crypto/bytes.h"
#include "crypto/wire.h"

namespace tessan::transport {

size_t DeriveKey(const crypto::HashDescriptor& hash, const crypto::BigNum& sharedSecret,
                 std::span<const uint8_t> exchangeHash, char letter,
                 std::span<const uint8_t> sessionId, bool omitSecret,
                 uint8_t out[kMaxKeyMaterial]) {
    std::vector<uint8_t, crypto::WipingAllocator<uint8_t>> secret;
    if (!omitSecret) {
        std::vector<uint8_t> encoded;
        encoded.reserve(sharedSecret.ByteCount() + 8);  // no reallocation leaves a copy behind
        crypto::AppendMpint(encoded, sharedSecret);
        secret.assign(encoded.begin(), encoded.end());
        crypto::SecureWipe(encoded.data(), encoded.size());
    }
    const size_t digest = hash.digestLength;
    auto first = hash.CreateContext();
    first->Update(secret.data(), secret.size());
    first->Update(exchangeHash);
    uint8_t x = static_cast<uint8_t>(letter);
    first->Update(&x, 1);
    first->Update(sessionId);
    first->Finish(out);
    auto second = hash.CreateContext();
    second->Update(secret.data(), secret.size());
    second->Update(exchangeHash);
    second->Update(out, digest);
    second->Finish(out + digest);
    return 2 * digest;
}

}  // namespace tessan::transport
