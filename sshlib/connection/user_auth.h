// User authentication (RFC 4252) as a step routine: the service request, the "none" request
// that learns the server's methods, then one password attempt sent with the length-concealing
// send, answering password-change requests with the same password. Public-key and
// keyboard-interactive authentication are never attempted.
//
// Outcomes: authenticated; or the connection is ended through the transport with a disconnect
// message and the error the caller sees:
//   no "password" among the methods      reason 14 "No supported authentication methods",
//                                         KX_ERROR_AUTHENTICATION_FAILED
//   the password was refused              reason 13 "User authentication failed",
//                                         KX_ERROR_AUTHENTICATION_FAILED
//   both services refused, a message out  reason 2, KX_ERROR_UNEXPECTED_SERVER_RESPONSE
//   of place, or one that does not parse
#pragma once

#include <cstdint>
#include <string>

#include "sshlib/connection/concealed_send.h"
#include "sshlib/transport/packet.h"
#include "sshlib/transport/ssh_transport.h"

namespace tessan::connection {

// Banner texts are kept only up to this many bytes (then later banners are dropped).
inline constexpr size_t kBannerQueueLimit = 131072;
// User names are cut to this many characters.
inline constexpr size_t kMaxUserNameLength = 99;

class UserAuth {
public:
    enum class State {
        kIdle,               // not started
        kServiceUserauth,    // "ssh-userauth" requested
        kServiceConnection,  // "ssh-connection" requested after "ssh-userauth" was refused
        kNoneSent,           // the "none" request awaits its reply
        kPasswordSent,       // the password request (or a change answer) awaits its reply
        kAuthenticated,
        kFailed,  // the connection was ended
    };

    // `password` is borrowed: it must outlive the authentication.
    UserAuth(transport::Transport& transport, std::string_view user, const std::string& password,
             RandomSource random);
    ~UserAuth();
    UserAuth(const UserAuth&) = delete;
    UserAuth& operator=(const UserAuth&) = delete;

    // Sends the service request.
    void Start();
    // Consumes one packet that reached the step routine.
    State Step(const transport::IncomingPacket& packet);

    State GetState() const { return state_; }
    int PasswordAttempts() const { return attempts_; }
    const std::string& User() const { return user_; }
    // Banner bytes received since the last reply was examined (they are discarded there).
    size_t BannerBytes() const { return banners_.size(); }

private:
    void RequestService(std::string_view service);
    void SendNone();
    void SendPassword(bool change);
    State OnReply(const transport::IncomingPacket& packet);
    void InstallBannerHandler();
    void RemoveBannerHandler();
    State Fail(uint32_t reason, std::string_view text, DWORD error);
    State Unexpected(const transport::IncomingPacket& packet);

    transport::Transport& transport_;
    std::string user_;
    const std::string& password_;
    RandomSource random_;
    State state_ = State::kIdle;
    int attempts_ = 0;
    bool bannerHandler_ = false;
    std::string banners_;
};

}  // namespace tessan::connection
