// Readers of the user-authentication messages the server sends (RFC 4252): the failure with
// the methods that can continue, the banner, and the password-change request. Each yields
// nothing when a field is missing or runs past the end of the packet.
#pragma once

#include <optional>
#include <string_view>

#include "sshlib/transport/packet.h"

namespace tessan::connection {

// SSH_MSG_USERAUTH_FAILURE: which of the methods we know the server can continue with.
// Names are matched whole within the comma-separated list. Keyboard-interactive is read but
// never used.
struct AuthFailure {
    bool publicKey = false;
    bool password = false;
    bool keyboardInteractive = false;
    bool partialSuccess = false;
};
std::optional<AuthFailure> ParseUserauthFailure(const transport::IncomingPacket& packet);

// SSH_MSG_USERAUTH_BANNER: the message text (the language tag is not needed).
std::optional<std::string_view> ParseUserauthBanner(const transport::IncomingPacket& packet);

// SSH_MSG_USERAUTH_PASSWD_CHANGEREQ: the prompt (the language tag is not needed).
std::optional<std::string_view> ParsePasswordChangeRequest(const transport::IncomingPacket& packet);

}  // namespace tessan::connection
