#include "terminal/session/tcp_server_session.h"

#include <array>
#include <string>

#include "terminal/core/text_util.h"

namespace ostrel {

TcpServerSession::TcpServerSession(SessionServices& services, Tessnet& net, TessnetErrors& errors)
    : services_(services), net_(net), errors_(errors) {}

void TcpServerSession::Open() {
    SessionSettings& s = services_.Settings();
    const std::int32_t port = ReadNumber(TrimBlanks(s.port));
    if (!s.inUse || port <= 0) return;
    if (server_ != -1) net_.InetDisconnect(server_);  // Restart: the old listener goes first
    server_ = -1;
    s.state = ConnectionState::Disconnected;
    const unsigned listener = ++listener_;

    server_ = net_.InetServerStartA(
        {}, static_cast<unsigned>(port), kServerBacklog, kServerClientBufferKiB,
        kServerStallSeconds, kServerReserved1, kServerReserved2,
        [this, listener](int client, int event, int error) {
            if (listener == listener_) OnClientEvent(client, event, error);
        },
        kSocketMessage);
    s.handle = server_;
    if (server_ == -1) {
        services_.Host().OnSessionOpenFailed();
        services_.Show("Error Opening TCP Server:");
        services_.ShowErrorText(0);
        s.inUse = false;
        s.type = SessionType::None;
        s.state = ConnectionState::Disconnected;
    } else {
        s.state = ConnectionState::Listening;
        s.type = SessionType::TcpServer;
        services_.Show("Server listening for connections on Port " + std::to_string(port) +
                       "...");
    }
    services_.Host().RefreshStatus();
    if (server_ != -1) services_.Host().OnSessionOpened();
}

int TcpServerSession::Close() {
    if (server_ == -1) return 0;
    const int result = net_.InetDisconnect(server_);
    server_ = -1;
    ++listener_;
    if (result == 0) services_.Host().OnSessionClosed();
    return result;
}

long TcpServerSession::Write(std::string_view data) {
    if (server_ == -1) return -1;
    return net_.InetServerBroadcast(server_, data);
}

void TcpServerSession::OnClientEvent(int client, int event, int error) {
    if (error > 0) {
        services_.ShowErrorText(error);
        return;
    }
    switch (event) {
        case kInetEventConnect: {
            InetAddress address;
            unsigned port = 0;
            net_.InetGetPeerAddress(client, &address, &port);
            std::array<char, 64> text{};
            net_.InetFormatAddressA(address, text);
            services_.Show("Client " + std::to_string(client) + " connected to server from address " +
                           text.data() + ":" + std::to_string(port) + "...");
            break;
        }
        case kInetEventRead: {
            std::array<char, kReceiveBufferSize> buffer;
            const int count = net_.InetRead(client, buffer);
            if (count == -1) {
                services_.ShowErrorText(0);
                break;
            }
            const std::string_view data(buffer.data(), static_cast<std::size_t>(count));
            if (count > 0) services_.Host().OnSessionReceived(data);
            if (services_.RemoteEcho() && count > 0 && net_.InetWrite(client, data) == -1)
                services_.ShowErrorText(0);
            services_.Show(data, DisplayCategory::Incoming);
            break;
        }
        case kInetEventDisconnect:
            services_.Show("A Client has disconnected from the server...");
            break;
        default:
            break;
    }
}

}  // namespace ostrel
