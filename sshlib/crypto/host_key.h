// Server host keys: the host-key algorithms "ssh-rsa" and "ssh-dss" (offered in that order), the
// key built from its public blob, its fingerprint and the check of its signature over the
// exchange hash. Only public-key operations exist: the library never signs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tessan::crypto {

class HostKey {
public:
    virtual ~HostKey() = default;
    virtual std::string_view AlgorithmName() const = 0;
    // Bit count of the modulus n (RSA) or of the prime p (DSA).
    virtual size_t Bits() const = 0;
    // "<name> <bits> <md5 hex pairs joined by ':'>", e.g. "ssh-rsa 1024 02:b7:...:9f". The MD5 is
    // taken over the canonical public-key blob.
    virtual std::string Fingerprint() const = 0;
    // True only when `signatureBlob` is a well-formed signature of this algorithm over `data` made
    // with this key. Never says why a check failed.
    virtual bool Verify(std::span<const uint8_t> signatureBlob,
                        std::span<const uint8_t> data) const = 0;
};

struct HostKeyAlgorithm {
    std::string_view name;
    // The key from its public blob, or nullptr when the blob is malformed or names another
    // algorithm. Any byte string is safe to pass.
    std::unique_ptr<HostKey> (*fromBlob)(std::span<const uint8_t> blob);

    std::unique_ptr<HostKey> FromBlob(std::span<const uint8_t> blob) const {
        return fromBlob(blob);
    }
};

extern const HostKeyAlgorithm kSshRsa;
extern const HostKeyAlgorithm kSshDss;

// "ssh-rsa", then "ssh-dss".
std::span<const HostKeyAlgorithm* const> HostKeyAlgorithms();
const HostKeyAlgorithm* FindHostKeyAlgorithm(std::string_view name);

}  // namespace tessan::crypto
