#include "crypto/hash.h"
#include "crypto/sha1.h"
#include "crypto/sha256.h"
#include "crypto/sha512.h"

namespace tessan::crypto {
namespace {

template <typename Hash>
class HashAdapter : public HashContext {
public:
    void Update(const uint8_t* data, size_t length) override { hash_.Update(data, length); }
    void Finish(uint8_t* digest) override { hash_.Finish(digest); }

private:
    Hash hash_;
};

template <typename Hash>
std::unique_ptr<HashContext> Create() {
    return std::make_unique<HashAdapter<Hash>>();
}

}  // namespace

const HashDescriptor kSha1Hash{Create<Sha1>, Sha1::kDigestLength, "SHA-1"};
const HashDescriptor kSha256Hash{Create<Sha256>, Sha256::kDigestLength, "SHA-256"};
const HashDescriptor kSha512Hash{Create<Sha512>, Sha512::kDigestLength, "SHA-512"};

}  // namespace tessan::crypto
