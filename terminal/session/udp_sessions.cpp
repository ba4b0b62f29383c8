#include "terminal/session/udp_sessions.h"

#include <string>

#include "terminal/core/text_util.h"

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

}  // namespace ostrel
