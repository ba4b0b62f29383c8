#include "sshlib/connection/user_auth.h"

#include "crypto/secure_memory.h"
#include "sshlib/connection/auth_messages.h"
#include "sshlib/connection/connection_constants.h"
#include "sshlib/transport/ssh_constants.h"
#include "sshlib/transport/transport_errors.h"

namespace tessan::connection {

using transport::IncomingPacket;
using transport::OutgoingPacket;

namespace {

constexpr std::string_view kConnectionService = "ssh-connection";

}  // namespace

UserAuth::UserAuth(transport::Transport& transport, std::string_view user,
                   const std::string& password, RandomSource random)
    : transport_(transport),
      user_(user.substr(0, kMaxUserNameLength)),
      password_(password),
      random_(std::move(random)) {}

UserAuth::~UserAuth() {
    if (bannerHandler_) transport_.ResetHandler(kMsgUserauthBanner);
    SecureWipe(banners_);
}

void UserAuth::Start() {
    if (state_ != State::kIdle) return;
    // A banner may come as early as the service acceptance.
    InstallBannerHandler();
    RequestService("ssh-userauth");
    state_ = State::kServiceUserauth;
}

void UserAuth::RequestService(std::string_view service) {
    OutgoingPacket request(transport::kMsgServiceRequest);
    request.AddString(service);
    transport_.SendPacket(std::move(request));
}

void UserAuth::RemoveBannerHandler() {
    if (!bannerHandler_) return;
    bannerHandler_ = false;
    transport_.ResetHandler(kMsgUserauthBanner);
}

void UserAuth::InstallBannerHandler() {
    bannerHandler_ = true;
    transport_.SetHandler(kMsgUserauthBanner, [this](const IncomingPacket& packet) {
        std::optional<std::string_view> text = ParseUserauthBanner(packet);
        if (!text) {
            // Not through Fail: this handler must not remove itself while it runs.
            state_ = State::kFailed;
            transport_.Disconnect(transport::kDisconnectProtocolError,
                                  "Malformed packet of type 53", false, kErrProtocol);
            return;
        }
        if (banners_.size() <= kBannerQueueLimit) banners_.append(*text);
    });
}

void UserAuth::SendNone() {
    OutgoingPacket request(kMsgUserauthRequest);
    request.AddString(user_).AddString(kConnectionService).AddString(std::string_view("none"));
    transport_.SendPacket(std::move(request));
    state_ = State::kNoneSent;
}

void UserAuth::SendPassword(bool change) {
    // The packet's buffer holds the only copy outside the connection settings; it is wiped as
    // soon as the packet is framed (MarkSecret in SendConcealed).
    OutgoingPacket request(kMsgUserauthRequest);
    request.AddString(user_)
        .AddString(kConnectionService)
        .AddString(std::string_view("password"))
        .AddBool(change)
        .AddString(password_);
    if (change) request.AddString(std::string_view());  // the new password: always empty
    SendConcealed(transport_, std::move(request), random_);
    state_ = State::kPasswordSent;
}

UserAuth::State UserAuth::Step(const IncomingPacket& packet) {
    switch (state_) {
        case State::kServiceUserauth:
            if (packet.Type() == transport::kMsgServiceAccept) {
                SendNone();
                return state_;
            }
            // Some servers run the connection service without any authentication.
            RequestService(kConnectionService);
            state_ = State::kServiceConnection;
            return state_;
        case State::kServiceConnection:
            if (packet.Type() == transport::kMsgServiceAccept) {
                RemoveBannerHandler();
                state_ = State::kAuthenticated;
                return state_;
            }
            return Unexpected(packet);
        case State::kNoneSent:
        case State::kPasswordSent:
            return OnReply(packet);
        case State::kIdle:
        case State::kAuthenticated:
        case State::kFailed:
            break;
    }
    return state_;
}

UserAuth::State UserAuth::OnReply(const IncomingPacket& packet) {
    // Banners are not passed to the caller: whatever arrived before this reply is dropped.
    SecureWipe(banners_);
    const uint8_t type = packet.Type();
    if (type == kMsgUserauthSuccess) {
        RemoveBannerHandler();
        state_ = State::kAuthenticated;
        return state_;
    }
    if (type == kMsgUserauthPasswdChangeReq && state_ == State::kPasswordSent) {
        if (!ParsePasswordChangeRequest(packet)) return Unexpected(packet);
        SendPassword(true);
        return state_;
    }
    if (type != kMsgUserauthFailure) return Unexpected(packet);
    std::optional<AuthFailure> failure = ParseUserauthFailure(packet);
    if (!failure) return Unexpected(packet);
    if (!failure->password) {
        return Fail(transport::kDisconnectNoMoreAuthMethods, "No supported authentication methods",
                    kErrAuthenticationFailed);
    }
    if (++attempts_ > 1) {
        return Fail(transport::kDisconnectAuthCancelledByUser, "User authentication failed",
                    kErrAuthenticationFailed);
    }
    SendPassword(false);
    return state_;
}

UserAuth::State UserAuth::Fail(uint32_t reason, std::string_view text, DWORD error) {
    state_ = State::kFailed;
    RemoveBannerHandler();
    transport_.Disconnect(reason, text, false, error);
    return state_;
}

UserAuth::State UserAuth::Unexpected(const IncomingPacket& packet) {
    return Fail(
        transport::kDisconnectProtocolError,
        "Unexpected packet type " + std::to_string(packet.Type()) + " during authentication",
        kErrProtocol);
}

}  // namespace tessan::connection
