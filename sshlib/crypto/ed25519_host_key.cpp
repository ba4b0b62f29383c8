// "ssh-ed25519" host keys (RFC 8709 section 4 and 6): key blob string "ssh-ed25519", string of 32
// key bytes; signature blob string "ssh-ed25519", string of 64 signature bytes.
#include <algorithm>
#include <memory>

#include "crypto/curve_host_key.h"
#include "crypto/ed25519.h"
#include "crypto/wire.h"

namespace tessan::crypto {
namespace {

constexpr std::string_view kName = "ssh-ed25519";

// One fixed-length string after the name, and nothing after it.
bool ReadNamedBytes(std::span<const uint8_t> blob, size_t length, std::span<const uint8_t>& out) {
    WireReader reader(blob);
    return reader.ExpectString(kName) && reader.ReadString(out) && out.size() == length &&
           reader.Remaining() == 0;
}

class Ed25519HostKey : public CurveHostKey {
public:
    Ed25519HostKey(std::span<const uint8_t> blob, std::span<const uint8_t> key)
        : CurveHostKey(kName, blob) {
        std::copy(key.begin(), key.end(), key_);
    }
    bool Verify(std::span<const uint8_t> signatureBlob,
                std::span<const uint8_t> data) const override {
        std::span<const uint8_t> signature;
        if (!ReadNamedBytes(signatureBlob, kEd25519SignatureLength, signature)) return false;
        return Ed25519Verify(key_, signature.data(), data);
    }

private:
    uint8_t key_[kEd25519PublicKeyLength];
};

std::unique_ptr<HostKey> Ed25519HostKeyFromBlob(std::span<const uint8_t> blob) {
    std::span<const uint8_t> key;
    if (!ReadNamedBytes(blob, kEd25519PublicKeyLength, key)) return nullptr;
    return std::make_unique<Ed25519HostKey>(blob, key);
}

}  // namespace

const HostKeyAlgorithm kSshEd25519{kName, Ed25519HostKeyFromBlob};

}  // namespace tessan::crypto
