#include "crypto/fingerprint.h"
#include "crypto/host_key.h"

namespace tessan::crypto {
namespace {

const HostKeyAlgorithm* const kOriginal[] = {&kSshRsa, &kSshDss};
const HostKeyAlgorithm* const kModern[] = {&kSshEd25519, &kEcdsaSha2Nistp256, &kRsaSha2_512,
                                           &kRsaSha2_256};

}  // namespace

std::string HostKey::Sha256Fingerprint() const {
    return Sha256BlobFingerprint(PublicKeyBlob());
}

std::span<const HostKeyAlgorithm* const> HostKeyAlgorithms() {
    return kOriginal;
}

std::span<const HostKeyAlgorithm* const> ModernHostKeyAlgorithms() {
    return kModern;
}

const HostKeyAlgorithm* FindHostKeyAlgorithm(std::string_view name) {
    for (const auto list : {HostKeyAlgorithms(), ModernHostKeyAlgorithms()}) {
        for (const HostKeyAlgorithm* algorithm : list) {
            if (algorithm->name == name) return algorithm;
        }
    }
    return nullptr;
}

}  // namespace tessan::crypto
