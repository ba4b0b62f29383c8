// Server host keys: the original host-key algorithms "ssh-rsa" and "ssh-dss" and the modern ones
// "ssh-ed25519" (RFC 8709), "ecdsa-sha2-nistp256" (RFC 5656), "rsa-sha2-512" and "rsa-sha2-256"
// (RFC 8332); the key built from its public blob, its fingerprints and the check of its signature
// over the exchange hash. Only public-key operations exist: the library never signs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessan::crypto {

class HostKey {
public:
    virtual ~HostKey() = default;
    // The host-key algorithm the key was made for: an "ssh-rsa" blob read for "rsa-sha2-256"
    // says "rsa-sha2-256".
    virtual std::string_view AlgorithmName() const = 0;
    // Bit count of the modulus n (RSA), of the prime p (DSA), or 256 (Ed25519, P-256).
    virtual size_t Bits() const = 0;
    // "<key type> <bits> <md5 hex pairs joined by ':'>", e.g. "ssh-rsa 1024 02:b7:...:9f". The
    // MD5 is taken over the canonical public-key blob; the key type is the blob's name, so an RSA
    // key has the same fingerprint under "ssh-rsa" and "rsa-sha2-*".
    virtual std::string Fingerprint() const = 0;
    // The canonical public-key blob, as ssh-keygen writes it: the key type, then the key's fields
    // (numbers as minimal mpints).
    virtual std::vector<uint8_t> PublicKeyBlob() const = 0;
    // "SHA256:" and the unpadded standard Base64 of SHA-256(PublicKeyBlob()), the form
    // `ssh-keygen -l` prints.
    std::string Sha256Fingerprint() const;
    // True only when `signatureBlob` is a well-formed signature of this algorithm over `data` made
    // with this key. Never says why a check failed.
    virtual bool Verify(std::span<const uint8_t> signatureBlob,
                        std::span<const uint8_t> data) const = 0;
    // Why the key is too weak to trust whatever its signature says ("" when it is not): RSA
    // moduli below kMinRsaHostKeyBits, DSA keys outside the standard sizes (kDsaSizes).
    virtual std::string Weakness() const { return {}; }
};

inline constexpr size_t kMinRsaHostKeyBits = 1024;
// The (L, N) pairs of FIPS 186: bits of p and of q.
inline constexpr std::pair<size_t, size_t> kDsaSizes[] = {
    {1024, 160}, {2048, 224}, {2048, 256}, {3072, 256}};

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
extern const HostKeyAlgorithm kSshEd25519;
extern const HostKeyAlgorithm kEcdsaSha2Nistp256;
// Both read the "ssh-rsa" key blob and refuse moduli below 1024 bits.
extern const HostKeyAlgorithm kRsaSha2_512;
extern const HostKeyAlgorithm kRsaSha2_256;

// The original offer: "ssh-rsa", then "ssh-dss".
std::span<const HostKeyAlgorithm* const> HostKeyAlgorithms();
// "ssh-ed25519", "ecdsa-sha2-nistp256", "rsa-sha2-512", "rsa-sha2-256".
std::span<const HostKeyAlgorithm* const> ModernHostKeyAlgorithms();
// Any of the six by name, or nullptr.
const HostKeyAlgorithm* FindHostKeyAlgorithm(std::string_view name);

}  // namespace tessan::crypto
