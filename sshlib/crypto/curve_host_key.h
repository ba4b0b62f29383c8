// What the "ssh-ed25519" and "ecdsa-sha2-nistp256" host keys share: a fixed-format blob, kept as
// read (the strict parsers accept only its canonical form), 256 bits and the MD5 fingerprint of
// the blob. Internal to those two.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/fingerprint.h"
#include "crypto/host_key.h"

namespace tessan::crypto {

class CurveHostKey : public HostKey {
public:
    CurveHostKey(std::string_view name, std::span<const uint8_t> blob)
        : name_(name), blob_(blob.begin(), blob.end()) {}
    std::string_view AlgorithmName() const override { return name_; }
    size_t Bits() const override { return 256; }
    std::string Fingerprint() const override { return Md5BlobFingerprint(name_, 256, blob_); }
    std::vector<uint8_t> PublicKeyBlob() const override { return blob_; }

private:
    std::string_view name_;
    std::vector<uint8_t> blob_;
};

}  // namespace tessan::crypto
