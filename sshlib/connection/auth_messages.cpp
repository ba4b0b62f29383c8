#include "sshlib/connection/auth_messages.h"

#include "sshlib/connection/connection_constants.h"
#include "sshlib/transport/kex_init.h"

namespace tessan::connection {

using transport::IncomingPacket;

std::optional<AuthFailure> ParseUserauthFailure(const IncomingPacket& packet) {
    if (packet.Type() != kMsgUserauthFailure) return std::nullopt;
    IncomingPacket reader = packet;
    reader.Rewind();
    std::string_view methods;
    AuthFailure failure;
    if (!reader.ReadString(methods) || !reader.ReadBool(failure.partialSuccess)) {
        return std::nullopt;
    }
    failure.publicKey = transport::NameListContains(methods, "publickey");
    failure.password = transport::NameListContains(methods, "password");
    failure.keyboardInteractive = transport::NameListContains(methods, "keyboard-interactive");
    return failure;
}

namespace {

std::optional<std::string_view> FirstString(const IncomingPacket& packet, uint8_t type) {
    if (packet.Type() != type) return std::nullopt;
    IncomingPacket reader = packet;
    reader.Rewind();
    std::string_view text;
    if (!reader.ReadString(text)) return std::nullopt;
    return text;
}

}  // namespace

std::optional<std::string_view> ParseUserauthBanner(const IncomingPacket& packet) {
    return FirstString(packet, kMsgUserauthBanner);
}

std::optional<std::string_view> ParsePasswordChangeRequest(const IncomingPacket& packet) {
    return FirstString(packet, kMsgUserauthPasswdChangeReq);
}

}  // namespace tessan::connection
