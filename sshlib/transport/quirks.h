// Peer quirks: compatibility flags derived once per connection from the server's software
// version (or forced by the caller's options), consulted by the key derivation, the MAC keys,
// re-keying and the protocol-1 and authentication code.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessan::transport {

// Flag bits of the quirk set.
inline constexpr uint32_t kQuirkSsh1ChokesOnIgnore = 1;    // protocol-1 ignore messages
inline constexpr uint32_t kQuirkHmacKeys16 = 2;            // HMAC keys of 16 bytes
inline constexpr uint32_t kQuirkSsh1PlainPassword = 4;     // no padding camouflage (protocol 1)
inline constexpr uint32_t kQuirkSsh1ChokesOnRsa = 8;       // protocol-1 RSA authentication
inline constexpr uint32_t kQuirkRsaSignaturePadding = 16;  // pad RSA signatures to the modulus
inline constexpr uint32_t kQuirkDeriveWithoutSecret = 32;  // key derivation leaves K out
inline constexpr uint32_t kQuirkNoRekey = 64;              // the server cannot re-key
inline constexpr uint32_t kQuirkPublicKeySidLength = 128;  // signs without the session id length

// How one quirk is decided.
enum class QuirkSetting : uint8_t {
    kAlwaysOn = 0,
    kNever = 1,
    kDecide = 2,  // from the server's software version
};

// The eight settings, in the order of the detection table: bits 1, 4, 8, 2, 32, 16, 128, 64.
struct QuirkSettings {
    QuirkSetting ssh1ChokesOnIgnore = QuirkSetting::kDecide;
    QuirkSetting ssh1PlainPassword = QuirkSetting::kDecide;
    QuirkSetting ssh1ChokesOnRsa = QuirkSetting::kDecide;
    QuirkSetting hmacKeys16 = QuirkSetting::kNever;
    QuirkSetting deriveWithoutSecret = QuirkSetting::kDecide;
    QuirkSetting rsaSignaturePadding = QuirkSetting::kDecide;
    QuirkSetting publicKeySidLength = QuirkSetting::kDecide;
    QuirkSetting noRekey = QuirkSetting::kDecide;
};

// The quirk flags for a server whose software version (the identification line after its
// second "-") is `softwareVersion`.
uint32_t DetectQuirks(const QuirkSettings& settings, std::string_view softwareVersion);

}  // namespace tessan::transport
