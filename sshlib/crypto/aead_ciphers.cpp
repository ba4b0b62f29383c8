#include "crypto/aead_ciphers.h"

namespace tessan::crypto {

// blockSize is the padding multiple of packet_length: 8 for ChaCha20 as for the other stream
// ciphers, the AES block for GCM.
const CipherDescriptor kChaCha20Poly1305{
    nullptr, CipherFamily::kChaCha20, "chacha20-poly1305@openssh.com", 8, 256, 64,
    false,   "ChaCha20-Poly1305",     &kChaCha20Poly1305Aead};
const CipherDescriptor kAes128Gcm{
    nullptr, CipherFamily::kAes, "aes128-gcm@openssh.com", 16, 128, 16,
    false,   "AES-128 GCM",      &kAes128GcmAead};
const CipherDescriptor kAes256Gcm{
    nullptr, CipherFamily::kAes, "aes256-gcm@openssh.com", 16, 256, 32,
    false,   "AES-256 GCM",      &kAes256GcmAead};

namespace {
const CipherDescriptor* const kList[] = {&kChaCha20Poly1305, &kAes128Gcm, &kAes256Gcm};
}  // namespace

std::span<const CipherDescriptor* const> AeadCipherList() {
    return kList;
}

}  // namespace tessan::crypto
