#include "sshlib/connection/channel_messages.h"

#include "sshlib/connection/connection_constants.h"

namespace tessan::connection {

using transport::IncomingPacket;

namespace {

IncomingPacket At(const IncomingPacket& packet) {
    IncomingPacket reader = packet;
    reader.Rewind();
    return reader;
}

}  // namespace

std::optional<OpenConfirmation> ParseOpenConfirmation(const IncomingPacket& packet) {
    if (packet.Type() != kMsgChannelOpenConfirmation) return std::nullopt;
    IncomingPacket r = At(packet);
    OpenConfirmation m;
    if (!r.ReadUint32(m.recipient) || !r.ReadUint32(m.sender) || !r.ReadUint32(m.window) ||
        !r.ReadUint32(m.maxPacket)) {
        return std::nullopt;
    }
    return m;
}

std::optional<WindowAdjust> ParseWindowAdjust(const IncomingPacket& packet) {
    if (packet.Type() != kMsgChannelWindowAdjust) return std::nullopt;
    IncomingPacket r = At(packet);
    WindowAdjust m;
    if (!r.ReadUint32(m.recipient) || !r.ReadUint32(m.bytes)) return std::nullopt;
    return m;
}

std::optional<ChannelData> ParseChannelData(const IncomingPacket& packet) {
    const uint8_t type = packet.Type();
    if (type != kMsgChannelData && type != kMsgChannelExtendedData) return std::nullopt;
    IncomingPacket r = At(packet);
    ChannelData m;
    if (!r.ReadUint32(m.recipient)) return std::nullopt;
    if (type == kMsgChannelExtendedData && !r.ReadUint32(m.dataType)) return std::nullopt;
    if (!r.ReadString(m.data)) return std::nullopt;
    return m;
}

std::optional<uint32_t> ParseChannelRecipient(const IncomingPacket& packet) {
    const uint8_t type = packet.Type();
    if (type != kMsgChannelEof && type != kMsgChannelClose && type != kMsgChannelSuccess &&
        type != kMsgChannelFailure) {
        return std::nullopt;
    }
    IncomingPacket r = At(packet);
    uint32_t recipient = 0;
    if (!r.ReadUint32(recipient)) return std::nullopt;
    return recipient;
}

std::optional<ChannelRequest> ParseChannelRequest(const IncomingPacket& packet,
                                                  IncomingPacket& rest) {
    if (packet.Type() != kMsgChannelRequest) return std::nullopt;
    IncomingPacket r = At(packet);
    ChannelRequest m;
    if (!r.ReadUint32(m.recipient) || !r.ReadString(m.type) || !r.ReadBool(m.wantReply)) {
        return std::nullopt;
    }
    rest = r;
    return m;
}

std::optional<uint32_t> ParseExitStatus(IncomingPacket rest) {
    uint32_t code = 0;
    if (!rest.ReadUint32(code)) return std::nullopt;
    return code;
}

uint32_t SignalNumberForName(std::string_view name) {
    struct Entry {
        std::string_view name;
        uint32_t number;
    };
    static constexpr Entry kNumbers[] = {{"ABRT", 22}, {"FPE", 8},   {"ILL", 4},
                                         {"INT", 2},   {"SEGV", 11}, {"TERM", 15}};
    for (const Entry& e : kNumbers) {
        if (e.name == name) return e.number;
    }
    return 0;
}

uint32_t ExitCodeFromSignal(IncomingPacket rest) {
    constexpr uint32_t kSignalBase = 128;
    IncomingPacket standard = rest;
    std::string_view name, message, language;
    bool core = false;
    const bool standardFits = standard.ReadString(name) && standard.ReadBool(core) &&
                              standard.ReadString(message) && standard.ReadString(language) &&
                              standard.Remaining() == 0;
    IncomingPacket numeric = rest;
    uint32_t number = 0;
    // A number that 128 plus it would not hold is no signal: it must not wrap round to an exit
    // code that looks like a normal exit.
    const bool numericFits = numeric.ReadUint32(number) && number != 0 &&
                             number <= UINT32_MAX - kSignalBase && numeric.ReadBool(core) &&
                             numeric.ReadString(message) && numeric.ReadString(language) &&
                             numeric.Remaining() == 0;
    if (standardFits && !numericFits) return kSignalBase + SignalNumberForName(name);
    if (numericFits && !standardFits) return kSignalBase + number;
    return kSignalBase;
}

std::optional<GlobalRequest> ParseGlobalRequest(const IncomingPacket& packet) {
    if (packet.Type() != kMsgGlobalRequest) return std::nullopt;
    IncomingPacket r = At(packet);
    GlobalRequest m;
    if (!r.ReadString(m.name) || !r.ReadBool(m.wantReply)) return std::nullopt;
    return m;
}

std::optional<ChannelOpen> ParseChannelOpen(const IncomingPacket& packet) {
    if (packet.Type() != kMsgChannelOpen) return std::nullopt;
    IncomingPacket r = At(packet);
    ChannelOpen m;
    if (!r.ReadString(m.type) || !r.ReadUint32(m.sender) || !r.ReadUint32(m.window) ||
        !r.ReadUint32(m.maxPacket)) {
        return std::nullopt;
    }
    if (m.type == "x11") {
        m.complete = r.ReadString(m.address) && r.ReadUint32(m.port);
    } else if (m.type == "forwarded-tcpip") {
        m.complete = r.ReadString(m.address) && r.ReadUint32(m.port) &&
                     r.ReadString(m.originAddress) && r.ReadUint32(m.originPort);
    } else {
        m.complete = true;
    }
    return m;
}

}  // namespace tessan::connection
