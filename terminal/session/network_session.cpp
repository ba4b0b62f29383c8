#include "terminal/session/network_session.h"

#include <array>
#include <string>

namespace ostrel {

NetworkSession::NetworkSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                               InetEventTarget& target)
    : services_(services), net_(net), errors_(errors), target_(target) {}

int NetworkSession::Close() {
    if (!held_) return 0;
    held_ = false;
    const int result = net_.InetDisconnect(handle_);
    // A session whose state follows the disconnect notification reports its end there.
    if (result == 0 && !StateFollowsDisconnectEvent()) services_.Host().OnSessionClosed();
    return result;
}

long NetworkSession::Write(std::string_view data) {
    if (!held_) return -1;
    return net_.InetWrite(handle_, data);
}

void NetworkSession::ReleaseHeldHandle() {
    if (held_) net_.InetDisconnect(handle_);
    held_ = false;
    handle_ = -1;
}

void NetworkSession::Adopt(int handle) {
    handle_ = handle;
    held_ = handle != -1;
    services_.Settings().handle = handle;
}

void NetworkSession::ReadEvent() {
    SessionSettings& s = services_.Settings();
    std::array<char, kReceiveBufferSize> buffer;
    std::string chunk;
    int count = 0;
    do {
        count = net_.InetReadEx(handle_, buffer, 0, &s.lastDatagramSource, &s.lastDatagramPort);
        if (count <= 0) break;
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(count));
        chunk += piece;
        if (services_.RemoteEcho() && net_.InetWrite(handle_, piece) == -1)
            services_.ShowErrorText(0);
    } while (count >= 1);
    if (!chunk.empty()) services_.Host().OnSessionReceived(chunk);
    services_.Show(chunk, DisplayCategory::Incoming);
}

void ShowOpenFailure(SessionServices& services, std::string_view failure, std::string_view host,
                     std::string_view port) {
    services.Show(failure);
    services.Show("   IP/URL = " + std::string(host));
    services.Show("   Port   = " + std::string(port));
}

}  // namespace ostrel
