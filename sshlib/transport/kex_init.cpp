#include "sshlib/transport/kex_init.h"

#include "sshlib/transport/ssh_constants.h"

namespace tessan::transport {
namespace {

std::string Join(std::span<const std::string_view> names) {
    std::string list;
    for (std::string_view n : names) {
        if (!list.empty()) list += ',';
        list += n;
    }
    return list;
}

// The first name of a list (up to its first comma).
std::string_view FirstName(std::string_view list) {
    return list.substr(0, list.find(','));
}

template <typename T>
std::string NameList(const std::vector<const T*>& items) {
    std::string list;
    for (const T* item : items) {
        if (!list.empty()) list += ',';
        list += item->name;
    }
    return list;
}

// `original` then `modern`, or the other way round.
template <typename T, typename Modern>
std::vector<const T*> InOrder(std::vector<const T*> original, const Modern& modern,
                              bool modernFirst) {
    std::vector<const T*> result = modernFirst ? std::vector<const T*>() : std::move(original);
    result.insert(result.end(), modern.begin(), modern.end());
    if (modernFirst) result.insert(result.end(), original.begin(), original.end());
    return result;
}

const CompressionDescriptor* ChooseCompression(bool preferZlib, std::string_view server) {
    const CompressionDescriptor* order[] = {preferZlib ? &kCompressionZlib : &kCompressionNone,
                                            &kCompressionZlib, &kCompressionNone};
    for (const CompressionDescriptor* c : order) {
        if (NameListContains(server, c->name)) return c;
    }
    return nullptr;
}

template <typename T>
const T* ChooseFrom(const std::vector<const T*>& offer, std::string_view server) {
    for (const T* item : offer) {
        if (NameListContains(server, item->name)) return item;
    }
    return nullptr;
}

}  // namespace

bool NameListContains(std::string_view list, std::string_view name) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string_view::npos) end = list.size();
        if (list.substr(start, end - start) == name) return true;
        start = end + 1;
    }
    return false;
}

std::optional<KexInitMessage> ParseKexInit(std::span<const uint8_t> payload) {
    IncomingPacket reader(payload, 0);
    if (reader.Type() != kMsgKexInit) return std::nullopt;
    KexInitMessage message;
    std::array<uint8_t, 8> cookie;
    if (!reader.ReadRaw8(cookie) || !reader.ReadRaw8(cookie)) return std::nullopt;
    for (std::string_view& list : message.lists) {
        if (!reader.ReadString(list)) return std::nullopt;
    }
    uint32_t reserved;
    if (!reader.ReadBool(message.firstKexPacketFollows) || !reader.ReadUint32(reserved)) {
        return std::nullopt;
    }
    return message;
}

Offer BuildOffer(const KexSettings& settings, bool bugCompatibleMacs, const OfferContext& context) {
    const bool modernFirst = settings.modernFirst;
    Offer offer;
    offer.kex =
        InOrder(crypto::KexOffer(settings.kexPreference), crypto::ModernKexes(), modernFirst);
    const auto original = crypto::HostKeyAlgorithms();
    offer.hostKeys =
        InOrder(std::vector<const crypto::HostKeyAlgorithm*>(original.begin(), original.end()),
                crypto::ModernHostKeyAlgorithms(), modernFirst);
    std::vector<const crypto::CipherDescriptor*> modernCiphers;
    for (const crypto::CipherDescriptor* c : crypto::ModernCiphers()) {
        if (c->family != crypto::CipherFamily::kChaCha20 || context.strictModesAllowed)
            modernCiphers.push_back(c);
    }
    offer.ciphers = InOrder(crypto::CipherOffer(settings.cipherPreference, settings.allowSingleDes),
                            modernCiphers, modernFirst);
    std::vector<const crypto::MacDescriptor*> modernMacs;
    for (const crypto::MacDescriptor* m : crypto::ModernMacs()) {
        if (!m->encryptThenMac || context.strictModesAllowed) modernMacs.push_back(m);
    }
    const auto originalMacs = crypto::MacList(bugCompatibleMacs);
    offer.macs =
        InOrder(std::vector<const crypto::MacDescriptor*>(originalMacs.begin(), originalMacs.end()),
                modernMacs, modernFirst);
    return offer;
}

std::array<std::string, kListCount> OfferedLists(const KexSettings& settings,
                                                 const OfferContext& context) {
    // The bug-compatible MACs carry the same names; only the keys used later differ.
    const Offer offer = BuildOffer(settings, false, context);
    std::array<std::string, kListCount> lists;
    lists[kListKex] = NameList(offer.kex);
    if (context.firstExchange) {
        if (!lists[kListKex].empty()) lists[kListKex] += ',';
        lists[kListKex] += kStrictKexClient;
    }
    lists[kListHostKey] = NameList(offer.hostKeys);
    lists[kListCipherClientToServer] = NameList(offer.ciphers);
    lists[kListCipherServerToClient] = lists[kListCipherClientToServer];
    lists[kListMacClientToServer] = NameList(offer.macs);
    lists[kListMacServerToClient] = lists[kListMacClientToServer];
    const std::string_view noneFirst[] = {kCompressionNone.name, kCompressionZlib.name};
    const std::string_view zlibFirst[] = {kCompressionZlib.name, kCompressionNone.name};
    lists[kListCompressionClientToServer] = Join(settings.compression ? zlibFirst : noneFirst);
    lists[kListCompressionServerToClient] = lists[kListCompressionClientToServer];
    return lists;
}

OutgoingPacket BuildKexInit(const KexSettings& settings, const OfferContext& context,
                            const uint8_t cookie[16]) {
    OutgoingPacket packet(kMsgKexInit);
    packet.AddRaw({cookie, 16});
    for (const std::string& list : OfferedLists(settings, context))
        packet.AddString(list);
    packet.AddBool(false);
    packet.AddUint32(0);
    return packet;
}

NegotiationResult Negotiate(const Offer& offer, bool preferZlib, const KexInitMessage& server,
                            NegotiatedAlgorithms& chosen, bool& guessRight) {
    chosen = {};
    chosen.kex = ChooseFrom(offer.kex, server.lists[kListKex]);
    chosen.hostKey = ChooseFrom(offer.hostKeys, server.lists[kListHostKey]);
    guessRight = !offer.kex.empty() && !offer.hostKeys.empty() &&
                 FirstName(server.lists[kListKex]) == offer.kex[0]->name &&
                 FirstName(server.lists[kListHostKey]) == offer.hostKeys[0]->name;
    if (!chosen.kex) return NegotiationResult::kNoKex;
    if (!chosen.hostKey) return NegotiationResult::kNoHostKey;
    for (int d = 0; d < 2; ++d) {
        chosen.cipher[d] = ChooseFrom(offer.ciphers, server.lists[kListCipherClientToServer + d]);
        if (!chosen.cipher[d]) return NegotiationResult::kNoCipher;
    }
    for (int d = 0; d < 2; ++d) {
        // An authenticated cipher carries its own tag: the MAC lists play no part.
        if (chosen.cipher[d]->IsAead()) continue;
        chosen.mac[d] = ChooseFrom(offer.macs, server.lists[kListMacClientToServer + d]);
        if (!chosen.mac[d]) return NegotiationResult::kNoMac;
    }
    for (int d = 0; d < 2; ++d) {
        chosen.compression[d] =
            ChooseCompression(preferZlib, server.lists[kListCompressionClientToServer + d]);
        if (!chosen.compression[d]) return NegotiationResult::kNoCompression;
    }
    return NegotiationResult::kOk;
}

std::string NegotiationFailureText(NegotiationResult result, const KexInitMessage& server) {
    std::string_view family;
    int list = kListKex;
    switch (result) {
        case NegotiationResult::kOk:
            return {};
        case NegotiationResult::kNoKex:
            family = "key exchange algorithm";
            break;
        case NegotiationResult::kNoHostKey:
            family = "host key algorithm";
            list = kListHostKey;
            break;
        case NegotiationResult::kNoCipher:
            family = "cipher";
            list = kListCipherClientToServer;
            break;
        case NegotiationResult::kNoMac:
            family = "MAC algorithm";
            list = kListMacClientToServer;
            break;
        case NegotiationResult::kNoCompression:
            family = "compression method";
            list = kListCompressionClientToServer;
            break;
    }
    constexpr size_t kMaxQuote = 400;
    auto quote = [](std::string& text, std::string_view names) {
        if (names.empty()) {
            text += "nothing";
        } else if (names.size() > kMaxQuote) {
            text += names.substr(0, kMaxQuote);
            text += "...";
        } else {
            text += names;
        }
    };
    std::string text = "No common ";
    text += family;
    text += " (the server offers: ";
    quote(text, server.lists[list]);
    // Per-direction lists: quote the other direction too when the server made it differ.
    if (list != kListKex && list != kListHostKey && server.lists[list] != server.lists[list + 1]) {
        text += "; server to client: ";
        quote(text, server.lists[list + 1]);
    }
    text += ')';
    return text;
}

}  // namespace tessan::transport
