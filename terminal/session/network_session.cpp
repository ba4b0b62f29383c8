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
    // The notification of this close comes later, maybe after the next session has opened:
    // the end is reported now and the handle forgotten, so that notification finds no owner.
    handle_ = -1;
    if (result == 0) OnClosedHere();
    return result;
}

void NetworkSession::OnClosedHere() {
    services_.Host().OnSessionClosed();
}

long NetworkSession::Write(std::string_view data) {
    if (!held_) return -1;
    return net_.InetWrite(handle_, data);
}

int NetworkSession::Echo(std::string_view piece, const InetAddress&, unsigned) {
    return net_.InetWrite(handle_, piece);
}

OutputBacklog NetworkSession::Backlog() {
    if (!held_) return {};
    const long bytes = net_.InetGetWriteBacklog(handle_);
    return {bytes > 0 ? static_cast<std::size_t>(bytes) : 0, false};
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
    bool echoRefused = false;  // said once per event
    do {
        count = net_.InetReadEx(handle_, buffer, 0, &s.lastDatagramSource, &s.lastDatagramPort);
        if (count <= 0) break;
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(count));
        chunk += piece;
        if (services_.RemoteEcho() && !echoRefused) {
            if (!AcceptsOutput(services_, Backlog(), piece.size(), kRefusedEcho))
                echoRefused = true;
            else if (Echo(piece, s.lastDatagramSource, s.lastDatagramPort) == -1)
                services_.ShowErrorText(0);
        }
    } while (count >= 1);
    if (!chunk.empty()) services_.Host().OnSessionReceived(chunk);
    services_.Show(chunk, DisplayCategory::Incoming);
    AfterRead();
}

void ShowOpenFailure(SessionServices& services, std::string_view failure, std::string_view host,
                     std::string_view port) {
    services.Show(failure);
    services.Show("   IP/URL = " + std::string(host));
    services.Show("   Port   = " + std::string(port));
}

}  // namespace ostrel
