// The key-exchange-init message (RFC 4253 section 7.1): our offer built from the connection
// settings, the server's parsed, and the negotiation that picks one algorithm of each kind.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/cipher.h"
#include "crypto/host_key.h"
#include "crypto/kex.h"
#include "crypto/mac.h"
#include "sshlib/transport/compression.h"
#include "sshlib/transport/packet.h"

namespace tessan::transport {

// What a connection offers.
struct KexSettings {
    crypto::KexPreference kexPreference = crypto::kDefaultKexPreference;
    crypto::CipherPreference cipherPreference = crypto::kDefaultCipherPreference;
    bool allowSingleDes = false;
    // Prefer "zlib" to "none". Whatever this says, "zlib" is used when a server offers no
    // uncompressed mode.
    bool compression = false;
    // Offer the modern algorithms of each kind before the original ones (by default they come
    // after, so that a server sharing an original algorithm negotiates as it always did).
    bool modernFirst = false;
    // The host key the server must present, as a fingerprint (crypto::FingerprintMatches); any
    // key whose signature verifies when empty. Checked at every exchange, so a mismatch ends the
    // connection before anything is sent under the new keys (the password included).
    std::string expectedHostKey;
};

// The circumstances of one key-exchange-init.
struct OfferContext {
    // The connection's first exchange: the strict key-exchange marker is offered.
    bool firstExchange = true;
    // ChaCha20-Poly1305 and the encrypt-then-MAC MACs are offered only when the exchange is
    // known to run in strict mode (their sequence-number use is what a prefix-truncation attack
    // on an unstrict exchange exploits).
    bool strictModesAllowed = false;
};

// The name our first key-exchange-init carries to ask for strict key exchange, and the one a
// server's carries to agree.
inline constexpr std::string_view kStrictKexClient = "kex-strict-c-v00@openssh.com";
inline constexpr std::string_view kStrictKexServer = "kex-strict-s-v00@openssh.com";

// Our offer, in order of preference, of the kinds that are chosen from descriptors.
struct Offer {
    std::vector<const crypto::KexDescriptor*> kex;
    std::vector<const crypto::HostKeyAlgorithm*> hostKeys;
    std::vector<const crypto::CipherDescriptor*> ciphers;
    std::vector<const crypto::MacDescriptor*> macs;
};
Offer BuildOffer(const KexSettings& settings, bool bugCompatibleMacs, const OfferContext& context);

// The ten name lists of a key-exchange-init, in message order.
enum KexList {
    kListKex,
    kListHostKey,
    kListCipherClientToServer,
    kListCipherServerToClient,
    kListMacClientToServer,
    kListMacServerToClient,
    kListCompressionClientToServer,
    kListCompressionServerToClient,
    kListLanguageClientToServer,
    kListLanguageServerToClient,
    kListCount,
};

// A parsed key-exchange-init; the lists are views into the message.
struct KexInitMessage {
    std::array<std::string_view, kListCount> lists;
    bool firstKexPacketFollows = false;
};

// Parses a key-exchange-init payload (from its message number on). Nothing when it is not
// message 20 or a field is missing or runs past the end.
std::optional<KexInitMessage> ParseKexInit(std::span<const uint8_t> payload);

// Our key-exchange-init: a 16-byte random cookie, the ten lists, first-kex-packet-follows false
// and the reserved 0.
OutgoingPacket BuildKexInit(const KexSettings& settings, const OfferContext& context,
                            const uint8_t cookie[16]);

// The ten lists of our offer, as sent (the strict key-exchange marker ends the first kex list).
std::array<std::string, kListCount> OfferedLists(const KexSettings& settings,
                                                 const OfferContext& context);

// True when `name` is a whole item of the comma-separated `list`.
bool NameListContains(std::string_view list, std::string_view name);

// Index 0 is client to server, 1 server to client.
struct NegotiatedAlgorithms {
    const crypto::KexDescriptor* kex = nullptr;
    const crypto::HostKeyAlgorithm* hostKey = nullptr;
    std::array<const crypto::CipherDescriptor*, 2> cipher{};
    std::array<const crypto::MacDescriptor*, 2> mac{};
    std::array<const CompressionDescriptor*, 2> compression{};
};

enum class NegotiationResult { kOk, kNoKex, kNoHostKey, kNoCipher, kNoMac, kNoCompression };

// Chooses from the server's lists in our order of preference (the first of ours that the
// server names, whatever the server's order). `guessRight` tells whether the server's first
// key exchange and host key equal our first ones. The MAC of a direction whose cipher is
// authenticated is not used and stays null; no MAC list is needed for it.
NegotiationResult Negotiate(const Offer& offer, bool preferZlib, const KexInitMessage& server,
                            NegotiatedAlgorithms& chosen, bool& guessRight);

// Text for a failed negotiation that names the family and quotes what the server offered:
// "No common host key algorithm (the server offers: ssh-dss)". The quote is cut at 400 bytes.
std::string NegotiationFailureText(NegotiationResult result, const KexInitMessage& server);

}  // namespace tessan::transport
