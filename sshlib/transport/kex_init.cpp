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

std::string HostKeyList() {
    std::string list;
    for (const crypto::HostKeyAlgorithm* a : crypto::HostKeyAlgorithms()) {
        if (!list.empty()) list += ',';
        list += a->name;
    }
    return list;
}

std::string MacNameList() {
    std::string list;
    for (const crypto::MacDescriptor* m : crypto::MacList(false)) {
        if (!list.empty()) list += ',';
        list += m->name;
    }
    return list;
}

// The first name of a list (up to its first comma).
std::string_view FirstName(std::string_view list) {
    return list.substr(0, list.find(','));
}

const CompressionDescriptor* ChooseCompression(bool preferZlib, std::string_view server) {
    const CompressionDescriptor* order[] = {preferZlib ? &kCompressionZlib : &kCompressionNone,
                                            &kCompressionZlib, &kCompressionNone};
    for (const CompressionDescriptor* c : order) {
        if (NameListContains(server, c->name)) return c;
    }
    return nullptr;
}

const crypto::CipherDescriptor* ChooseCipher(const KexSettings& settings, std::string_view server) {
    for (const crypto::CipherDescriptor* c :
         crypto::CipherOffer(settings.cipherPreference, settings.allowSingleDes)) {
        if (NameListContains(server, c->name)) return c;
    }
    return nullptr;
}

const crypto::MacDescriptor* ChooseMac(bool bugCompatible, std::string_view server) {
    for (const crypto::MacDescriptor* m : crypto::MacList(bugCompatible)) {
        if (NameListContains(server, m->name)) return m;
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

std::array<std::string, kListCount> OfferedLists(const KexSettings& settings) {
    std::array<std::string, kListCount> lists;
    lists[kListKex] = crypto::KexNameList(settings.kexPreference);
    lists[kListHostKey] = HostKeyList();
    lists[kListCipherClientToServer] =
        crypto::CipherNameList(settings.cipherPreference, settings.allowSingleDes);
    lists[kListCipherServerToClient] = lists[kListCipherClientToServer];
    lists[kListMacClientToServer] = MacNameList();
    lists[kListMacServerToClient] = lists[kListMacClientToServer];
    const std::string_view noneFirst[] = {kCompressionNone.name, kCompressionZlib.name};
    const std::string_view zlibFirst[] = {kCompressionZlib.name, kCompressionNone.name};
    lists[kListCompressionClientToServer] = Join(settings.compression ? zlibFirst : noneFirst);
    lists[kListCompressionServerToClient] = lists[kListCompressionClientToServer];
    return lists;
}

OutgoingPacket BuildKexInit(const KexSettings& settings, const uint8_t cookie[16]) {
    OutgoingPacket packet(kMsgKexInit);
    packet.AddRaw({cookie, 16});
    for (const std::string& list : OfferedLists(settings))
        packet.AddString(list);
    packet.AddBool(false);
    packet.AddUint32(0);
    return packet;
}

NegotiationResult Negotiate(const KexSettings& settings, bool bugCompatibleMacs,
                            const KexInitMessage& server, NegotiatedAlgorithms& chosen,
                            bool& guessRight) {
    chosen = {};
    const std::vector<const crypto::KexDescriptor*> kexOffer =
        crypto::KexOffer(settings.kexPreference);
    for (const crypto::KexDescriptor* k : kexOffer) {
        if (NameListContains(server.lists[kListKex], k->name)) {
            chosen.kex = k;
            break;
        }
    }
    for (const crypto::HostKeyAlgorithm* a : crypto::HostKeyAlgorithms()) {
        if (NameListContains(server.lists[kListHostKey], a->name)) {
            chosen.hostKey = a;
            break;
        }
    }
    guessRight = !kexOffer.empty() && FirstName(server.lists[kListKex]) == kexOffer[0]->name &&
                 FirstName(server.lists[kListHostKey]) == crypto::HostKeyAlgorithms()[0]->name;
    if (!chosen.kex) return NegotiationResult::kNoKex;
    if (!chosen.hostKey) return NegotiationResult::kNoHostKey;
    for (int d = 0; d < 2; ++d) {
        chosen.cipher[d] = ChooseCipher(settings, server.lists[kListCipherClientToServer + d]);
        if (!chosen.cipher[d]) return NegotiationResult::kNoCipher;
    }
    for (int d = 0; d < 2; ++d) {
        chosen.mac[d] = ChooseMac(bugCompatibleMacs, server.lists[kListMacClientToServer + d]);
        if (!chosen.mac[d]) return NegotiationResult::kNoMac;
    }
    for (int d = 0; d < 2; ++d) {
        chosen.compression[d] = ChooseCompression(settings.compression,
                                                  server.lists[kListCompressionClientToServer + d]);
        if (!chosen.compression[d]) return NegotiationResult::kNoCompression;
    }
    return NegotiationResult::kOk;
}

std::string_view NegotiationFailureText(NegotiationResult result) {
    switch (result) {
        case NegotiationResult::kOk:
            return {};
        case NegotiationResult::kNoKex:
            return "No common key exchange algorithm";
        case NegotiationResult::kNoHostKey:
            return "No common host key algorithm";
        case NegotiationResult::kNoCipher:
            return "No common cipher";
        case NegotiationResult::kNoMac:
            return "No common MAC algorithm";
        case NegotiationResult::kNoCompression:
            return "No common compression method";
    }
    return {};
}

}  // namespace tessan::transport
