#include "terminal/session/udp_sessions.h"

#include <string>

#include "terminal/core/text_util.h"
#include "terminal/session/inet_text.h"

namespace ostrel {

UdpClientSession::UdpClientSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                                   InetEventTarget& target)
    : NetworkSession(services, net, errors, target) {}

void UdpClientSession::Open() {
    SessionSettings& s = services_.Settings();
    const std::string host(TrimBlanks(s.host));
    const std::string_view port = TrimBlanks(s.port);
    if (!s.inUse || host.empty() || port.empty()) return;
    ReleaseHeldHandle();
    s.state = ConnectionState::Disconnected;
    const int handle = net_.InetAsyncConnectA(host, static_cast<unsigned>(ReadNumber(port)),
                                              kProtocolUdp, static_cast<unsigned>(s.timeout), 0,
                                              0, &target_, kSocketMessage);
    Adopt(handle);
    if (handle == -1) {
        services_.Host().OnSessionOpenFailed();
        ShowOpenFailure(services_, "UDP Client FAILED to open!", host, port);
        services_.ShowErrorText(0);
        s.inUse = false;
        s.type = SessionType::None;
        s.state = ConnectionState::Disconnected;
    } else {
        services_.Show("UDP Client request accepted by winsock...");
        s.lastHandle = handle;
        s.state = ConnectionState::Connected;
        s.type = SessionType::UdpClient;
    }
    services_.Host().RefreshStatus();
    if (handle != -1) services_.Host().OnSessionOpened();
}

UdpServerSession::UdpServerSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                                   InetEventTarget& target)
    : NetworkSession(services, net, errors, target) {}

void UdpServerSession::Open() {
    SessionSettings& s = services_.Settings();
    if (TrimBlanks(s.host).empty()) s.host = kLoopbackHost;
    const std::string_view port = TrimBlanks(s.port);
    if (!s.inUse || port.empty()) return;
    ReleaseHeldHandle();
    s.state = ConnectionState::Disconnected;
    peer_ = {};
    peerPort_ = 0;
    const auto portNumber = static_cast<unsigned>(ReadNumber(port));
    const int handle = net_.InetAsyncConnectExA(kAnyAddress, portNumber, kProtocolUdp,
                                                static_cast<unsigned>(s.timeout), 0, kAnyAddress,
                                                portNumber, 0, &target_, kSocketMessage);
    Adopt(handle);
    if (handle == -1) {
        services_.Host().OnSessionOpenFailed();
        services_.Show("UDP Server FAILED to open!");
        services_.ShowErrorText(0);
        s.inUse = false;
        s.state = ConnectionState::Disconnected;
        s.type = SessionType::None;
    } else {
        services_.Show("UDP Server listening...");
        s.lastHandle = handle;
        s.state = ConnectionState::Connected;
        s.type = SessionType::UdpServer;
    }
    services_.Host().RefreshStatus();
    if (handle != -1) services_.Host().OnSessionOpened();
}

long UdpServerSession::Write(std::string_view data) {
    if (peerPort_ == 0) return NetworkSession::Write(data);
    if (Handle() == -1) return -1;
    return net_.InetWriteTo(Handle(), data, peer_, peerPort_);
}

int UdpServerSession::Echo(std::string_view piece, const InetAddress& source, unsigned sourcePort) {
    return net_.InetWriteTo(Handle(), piece, source, sourcePort);
}

void UdpServerSession::AfterRead() {
    const SessionSettings& s = services_.Settings();
    if (s.lastDatagramPort == 0 ||
        (s.lastDatagramSource == peer_ && s.lastDatagramPort == peerPort_))
        return;
    peer_ = s.lastDatagramSource;
    peerPort_ = s.lastDatagramPort;
    services_.Show(UdpAnswerLine(peer_, peerPort_), DisplayCategory::Informational);
}

std::string UdpAnswerLine(const InetAddress& peer, unsigned port) {
    return "UDP Server answers " + FormatInetAddress(peer) + ":" + std::to_string(port) +
           ", the sender of the last datagram...";
}

}  // namespace ostrel
