// The authenticated cipher descriptors and their offer order.
#include "crypto/aead.h"

namespace tessan::crypto {
namespace {

std::unique_ptr<AeadContext> NewAes128Gcm() {
    return CreateAesGcmContext(16);
}
std::unique_ptr<AeadContext> NewAes256Gcm() {
    return CreateAesGcmContext(32);
}

}  // namespace

const AeadDescriptor kChaCha20Poly1305{CreateChaCha20Poly1305Context,
                                       "chacha20-poly1305@openssh.com",
                                       8,
                                       256,
                                       64,
                                       0,
                                       16,
                                       "ChaCha20-Poly1305"};
const AeadDescriptor kAes128Gcm{NewAes128Gcm, "aes128-gcm@openssh.com", 16, 128, 16, 12, 16,
                                "AES-128 GCM"};
const AeadDescriptor kAes256Gcm{NewAes256Gcm, "aes256-gcm@openssh.com", 16, 256, 32, 12, 16,
                                "AES-256 GCM"};

namespace {
const AeadDescriptor* const kList[] = {&kChaCha20Poly1305, &kAes128Gcm, &kAes256Gcm};
}  // namespace

std::span<const AeadDescriptor* const> AeadList() {
    return kList;
}

const AeadDescriptor* FindAead(std::string_view name) {
    for (const AeadDescriptor* aead : kList) {
        if (aead->name == name) return aead;
    }
    return nullptr;
}

}  // namespace tessan::crypto
