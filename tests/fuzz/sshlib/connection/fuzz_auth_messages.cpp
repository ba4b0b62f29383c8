// The authentication message readers and the authentication step routine on arbitrary server
// packets: no crash, strings stay inside the packet, at most one password attempt before the
// connection is given up, and a failed authentication always ends the connection.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sshlib/connection/auth_messages.h"
#include "sshlib/connection/connection_constants.h"
#include "sshlib/connection/user_auth.h"
#include "sshlib/transport/ssh_constants.h"

using namespace tessan;
using namespace tessan::connection;

namespace {

// Message numbers the step routine meets during authentication.
constexpr uint8_t kTypes[] = {transport::kMsgServiceAccept,
                              kMsgUserauthFailure,
                              kMsgUserauthSuccess,
                              kMsgUserauthBanner,
                              kMsgUserauthPasswdChangeReq,
                              transport::kMsgUnimplemented,
                              kMsgChannelData,
                              0};

void Inside(std::string_view part, const std::vector<uint8_t>& packet) {
    const char* begin = reinterpret_cast<const char*>(packet.data());
    if (part.data() && (part.data() < begin || part.data() + part.size() > begin + packet.size())) {
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    transport::Transport transport(
        {}, {}, [] { return uint64_t{0}; },
        [](uint8_t* out, size_t n) {
            for (size_t i = 0; i < n; ++i)
                out[i] = uint8_t(i);
        });
    const std::string password = "secret";
    UserAuth auth(transport, "user", password, [](uint8_t* out, size_t n) {
        for (size_t i = 0; i < n; ++i)
            out[i] = 0x55;
    });
    auth.Start();
    // The input is a list of packets: a type selector, a length byte, then the body.
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t selector = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        std::vector<uint8_t> packet;
        const uint8_t type = kTypes[selector % sizeof kTypes];
        packet.push_back(type ? type : selector);
        packet.insert(packet.end(), data + at + 2, data + at + 2 + length);
        at += 2 + length;

        transport::IncomingPacket incoming(packet, 0);
        if (auto failure = ParseUserauthFailure(incoming)) {
            // Keyboard-interactive is read but never leads anywhere.
            (void)failure->keyboardInteractive;
        }
        if (auto text = ParseUserauthBanner(incoming)) Inside(*text, packet);
        if (auto text = ParsePasswordChangeRequest(incoming)) Inside(*text, packet);

        if (transport.IsClosed()) break;
        UserAuth::State state = auth.Step(incoming);
        if (auth.PasswordAttempts() > 2) abort();
        if (state == UserAuth::State::kFailed && !transport.IsClosed()) abort();
        if (auth.BannerBytes() > kBannerQueueLimit + 65536) abort();
        if (state == UserAuth::State::kAuthenticated) break;
    }
    return 0;
}
