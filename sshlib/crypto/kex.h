// Key-exchange descriptors (Diffie-Hellman with the fixed groups 1 and 14, and group exchange),
// their family lists and the offer built from a key-exchange preference list; and the modern
// key exchanges offered after them (elliptic-curve Diffie-Hellman, RFC 8731 and RFC 5656, and the
// larger fixed groups of RFC 8268).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/hash.h"
#include "crypto/key_agreement.h"

namespace tessan::crypto {

struct KexDescriptor {
    std::string_view name;               // the SSH-2 name offered and matched
    std::string_view groupName;          // "group1", "group14"; empty for group exchange
    std::span<const uint8_t> prime;      // big-endian; empty when the server sends the group
    std::span<const uint8_t> generator;  // big-endian; empty when the server sends the group
    const HashDescriptor* exchangeHash;  // hash of the exchange and of the key derivation
    // Elliptic-curve kinds: a fresh ephemeral key pair (null for the finite-field kinds).
    std::unique_ptr<KeyAgreement> (*createAgreement)() = nullptr;

    bool IsEllipticCurve() const { return createAgreement != nullptr; }
    bool IsGroupExchange() const { return prime.empty() && !IsEllipticCurve(); }
};

extern const KexDescriptor kKexGroupExchangeSha256;
extern const KexDescriptor kKexGroupExchangeSha1;
extern const KexDescriptor kKexGroup14Sha1;
extern const KexDescriptor kKexGroup1Sha1;
extern const KexDescriptor kKexCurve25519Sha256;
extern const KexDescriptor kKexCurve25519Sha256Libssh;  // "curve25519-sha256@libssh.org"
extern const KexDescriptor kKexEcdhNistp256;
extern const KexDescriptor kKexGroup16Sha512;
extern const KexDescriptor kKexGroup18Sha512;
extern const KexDescriptor kKexGroup14Sha256;

// Key-exchange preference codes: 0 marker, 1 group 1, 2 group 14, 3 group exchange.
inline constexpr int kKexWarnMarker = 0;
using KexPreference = std::array<int, 4>;
inline constexpr KexPreference kDefaultKexPreference = {3, 2, 1, 0};

// The family for a code 1..3 (group exchange lists SHA-256 before SHA-1), else empty.
std::span<const KexDescriptor* const> KexFamilyByCode(int code);

// The candidate slots: a family per slot, an empty span for a marker in the first three slots
// (a marker in the fourth is dropped); unknown codes count as markers.
std::vector<std::span<const KexDescriptor* const>> KexCandidates(const KexPreference& preference);

// The candidates flattened in offer order, and as the comma-separated name list.
std::vector<const KexDescriptor*> KexOffer(const KexPreference& preference);
std::string KexNameList(const KexPreference& preference);

// The modern key exchanges in offer order: "curve25519-sha256", "curve25519-sha256@libssh.org",
// "ecdh-sha2-nistp256", "diffie-hellman-group16-sha512", "diffie-hellman-group18-sha512",
// "diffie-hellman-group14-sha256".
std::span<const KexDescriptor* const> ModernKexes();

// Any descriptor, original or modern, by name.
const KexDescriptor* FindKex(std::string_view name);

}  // namespace tessan::crypto
