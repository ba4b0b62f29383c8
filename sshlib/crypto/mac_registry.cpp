// HMAC-based MAC contexts and the MAC descriptors.
#include <cstring>

#include "crypto/bytes.h"
#include "crypto/hmac.h"
#include "crypto/mac.h"
#include "crypto/md5.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"

namespace tessan::crypto {
namespace {

template <typename Hash, size_t kMacLength, size_t kKeyBytes>
class HmacContext : public MacContext {
public:
    void SetKey(const uint8_t* key) override { hmac_.SetKey(key, kKeyBytes); }

    void Generate(uint8_t* data, size_t length, uint32_t sequence) override {
        uint8_t mac[Hash::kDigestLength];
        Compute(data, length, sequence, mac);
        std::memcpy(data + length, mac, kMacLength);
        SecureWipe(mac, sizeof(mac));
    }

    bool Verify(const uint8_t* data, size_t length, uint32_t sequence) override {
        uint8_t mac[Hash::kDigestLength];
        Compute(data, length, sequence, mac);
        const bool equal = ConstantTimeEqual(mac, data + length, kMacLength);
        SecureWipe(mac, sizeof(mac));
        return equal;
    }

private:
    void Compute(const uint8_t* data, size_t length, uint32_t sequence, uint8_t* mac) {
        uint8_t sequenceBytes[4];
        StoreBe32(sequenceBytes, sequence);
        hmac_.Start();
        hmac_.Update(sequenceBytes, 4);
        hmac_.Update(data, length);
        hmac_.Finish(mac);
    }

    Hmac<Hash> hmac_;
};

template <typename Context>
std::unique_ptr<MacContext> Create() {
    return std::make_unique<Context>();
}

}  // namespace

const MacDescriptor kHmacSha1{Create<HmacContext<Sha1, 20, 20>>, "hmac-sha1", 20, 20, "HMAC-SHA1"};
const MacDescriptor kHmacSha1_96{Create<HmacContext<Sha1, 12, 20>>, "hmac-sha1-96", 12, 20,
                                 "HMAC-SHA1-96"};
const MacDescriptor kHmacSha1BugCompatible{Create<HmacContext<Sha1, 20, 16>>, "hmac-sha1", 20, 16,
                                           "bug-compatible HMAC-SHA1"};
const MacDescriptor kHmacSha1_96BugCompatible{Create<HmacContext<Sha1, 12, 16>>, "hmac-sha1-96", 12,
                                              16, "bug-compatible HMAC-SHA1-96"};
const MacDescriptor kHmacMd5{Create<HmacContext<Md5, 16, 16>>, "hmac-md5", 16, 16, "HMAC-MD5"};
const MacDescriptor kHmacSha256{Create<HmacContext<Sha256, 32, 32>>, "hmac-sha2-256", 32, 32,
                                "HMAC-SHA-256"};
const MacDescriptor kHmacSha512{Create<HmacContext<Sha512, 64, 64>>, "hmac-sha2-512", 64, 64,
                                "HMAC-SHA-512"};
const MacDescriptor kHmacSha256Etm{Create<HmacContext<Sha256, 32, 32>>,
                                   "hmac-sha2-256-etm@openssh.com",
                                   32,
                                   32,
                                   "HMAC-SHA-256 (encrypt-then-MAC)",
                                   true};
const MacDescriptor kHmacSha512Etm{Create<HmacContext<Sha512, 64, 64>>,
                                   "hmac-sha2-512-etm@openssh.com",
                                   64,
                                   64,
                                   "HMAC-SHA-512 (encrypt-then-MAC)",
                                   true};
const MacDescriptor kHmacSha1Etm{Create<HmacContext<Sha1, 20, 20>>,
                                 "hmac-sha1-etm@openssh.com",
                                 20,
                                 20,
                                 "HMAC-SHA1 (encrypt-then-MAC)",
                                 true};

namespace {

const MacDescriptor* const kNormalList[] = {&kHmacSha1, &kHmacSha1_96, &kHmacMd5};
const MacDescriptor* const kBugCompatibleList[] = {&kHmacSha1BugCompatible,
                                                   &kHmacSha1_96BugCompatible, &kHmacMd5};
const MacDescriptor* const kModernList[] = {&kHmacSha256, &kHmacSha512, &kHmacSha256Etm,
                                            &kHmacSha512Etm, &kHmacSha1Etm};

}  // namespace

std::span<const MacDescriptor* const> MacList(bool bugCompatibleKeys) {
    if (bugCompatibleKeys) return kBugCompatibleList;
    return kNormalList;
}

std::span<const MacDescriptor* const> ModernMacs() {
    return kModernList;
}

const MacDescriptor* FindMac(std::string_view name, bool bugCompatibleKeys) {
    for (const auto list : {MacList(bugCompatibleKeys), ModernMacs()}) {
        for (const MacDescriptor* mac : list) {
            if (mac->name == name) return mac;
        }
    }
    return nullptr;
}

}  // namespace tessan::crypto
