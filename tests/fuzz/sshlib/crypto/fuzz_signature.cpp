// Arbitrary signature blobs against fixed keys of every host-key algorithm: true or false,
// never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include "crypto/dsa.h"
#include "crypto/host_key.h"
#include "crypto/rsa.h"
#include "crypto/wire.h"

namespace {

using tessan::crypto::BigNum;

std::vector<uint8_t> FromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] != 0 && hex[i + 1] != 0; i += 2) {
        auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
        out.push_back(static_cast<uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    }
    return out;
}

// The 1024-bit keys of the test vectors (tests/data/rsa and tests/data/dsa).
const char* kRsaN =
    "d0941e63a980fa92fb25ed4c7b3307f827023034ae7f1a7491f0699ca7607285e62ad8e994bac21b8b6e305e334f48"
    "74"
    "067d28e304230dca7f0e85f7ce595770b6e054c9f844ba86c0696eeba0769d8d4a347e8fe85c724ac1c44994af18a3"
    "9e"
    "719f721f1bc50c46a39e6c075fcd1649f01f22608ce7dc6955502258336987d9";
const char* kDsaP =
    "b34ce9c1e78294d3258473842005d2a48c8c566cfca8f84c0606f2529b59a6d38aae071b53bb2167eaa4fc3b01fe17"
    "6e"
    "787e481b6037aac62cbc3d089799536a869fa8cdfea1e8b1fd2d1cd3a30350859a2cd6b3ec2f9bfbb68bb11b4bbe2a"
    "da"
    "a18d64a93639543ae5e16293e311c0cf8c8d6e180df05d08c2fd2d93d570751f";
const char* kDsaG =
    "835aa8c358bbf01a1846d1206323fabe408b0e98789fcc6239da14d4b3f86c276a8f48aa85a59507e620ad1bc745f0"
    "f1"
    "cbf63ec98c229c2610d77c634d1642e404354771655b2d5662f7a45227178ce3430af0f6b3bb94b52f7f51e97bad65"
    "9b"
    "1ba0684e208be624c28d82fb1162f18dd9dce45216461654cf3374624d15a8d";
const char* kDsaY =
    "173931dda31eff32f24b383091bf77eacdc6efd557624911d8e9b9debf0f256d0cffac5567b33f6eaae9d3275bbed7"
    "ef"
    "9f5f94c4003c959e49a1ed3f58c31b21baccc0ed8840b46145f121b8906d072129bae01f071947997e8ef760d2d9ea"
    "21"
    "d08a5eb7e89390b21a85664713c549e25feda6e9e6c31970866bdfbc8fa981f6";
const char* kDsaQ = "b90b38ba0a50a43ec6898d3f9b68049777f489b1";
// Public keys of the Wycheproof Ed25519 and ECDSA P-256 sets (tests/data/ed25519, tests/data/p256).
const char* kEd25519Key = "7d4d0e7f6153a69b6242b522abbee685fda4420f8834b108c3bdae369ef549fa";
const char* kP256Point =
    "0404aaec73635726f213fb8a9e64da3b8632e41495a944d0045b522eba7240fad587d9315798aaa3a5ba01775787"
    "ced05eaaf7b4e09fc81d6d1aa546e8365d525d";

std::unique_ptr<tessan::crypto::HostKey> KeyFromFields(
    const tessan::crypto::HostKeyAlgorithm& algorithm, std::initializer_list<const char*> fields,
    std::vector<uint8_t> last) {
    std::vector<uint8_t> blob;
    for (const char* field : fields)
        tessan::crypto::AppendString(blob, field);
    tessan::crypto::AppendString(blob, last);
    return algorithm.FromBlob(blob);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tessan::crypto;
    static const RsaPublicKey rsa{BigNum(65537), BigNum::FromBytes(FromHex(kRsaN))};
    static const DsaPublicKey dsa{
        BigNum::FromBytes(FromHex(kDsaP)), BigNum::FromBytes(FromHex(kDsaQ)),
        BigNum::FromBytes(FromHex(kDsaG)), BigNum::FromBytes(FromHex(kDsaY))};
    static const uint8_t kMessage[] = {'m'};
    static const auto ed25519 = KeyFromFields(kSshEd25519, {"ssh-ed25519"}, FromHex(kEd25519Key));
    static const auto ecdsa =
        KeyFromFields(kEcdsaSha2Nistp256, {"ecdsa-sha2-nistp256", "nistp256"}, FromHex(kP256Point));
    static const auto rsaSha256 = kRsaSha2_256.FromBlob(RsaKeyBlob(rsa));
    static const auto rsaSha512 = kRsaSha2_512.FromBlob(RsaKeyBlob(rsa));
    if (!ed25519 || !ecdsa || !rsaSha256 || !rsaSha512) std::abort();
    const std::span<const uint8_t> signature(data, size);
    (void)RsaVerify(rsa, signature, kMessage);
    (void)DsaVerify(dsa, signature, kMessage);
    for (const auto* key : {ed25519.get(), ecdsa.get(), rsaSha256.get(), rsaSha512.get()})
        (void)key->Verify(signature, kMessage);
    return 0;
}
