#include "terminal/session/tcp_client_session.h"

#include "terminal/core/text_util.h"

namespace ostrel {

std::string SecurityInfoLine(const InetSecurityInfo& info) {
    std::string line = "Secure connection: " + info.protocol;
    if (!info.cipher.empty()) line += ", " + info.cipher;
    line += " - peer certificate " + (info.subject.empty() ? "(no subject)" : info.subject);
    line += ", SHA-256 " + info.sha256;
    if (info.verified) {
        line += ", verified against the system's trusted authorities";
    } else {
        line += ", NOT verified against the system's trusted authorities";
        if (!info.verifyError.empty()) line += " (" + info.verifyError + ")";
    }
    return line;
}

TcpClientSession::TcpClientSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                                   InetEventTarget& target)
    : NetworkSession(services, net, errors, target) {}

void TcpClientSession::Open() {
    SessionSettings& s = services_.Settings();
    const std::string host(TrimBlanks(s.host));
    const std::string_view port = TrimBlanks(s.port);
    if (!s.inUse || host.empty() || port.empty()) return;
    ReleaseHeldHandle();
    ReleaseCredentials();
    s.state = ConnectionState::Disconnected;

    const auto portNumber = static_cast<unsigned>(ReadNumber(port));
    const auto timeout = static_cast<unsigned>(s.timeout);
    int handle = -1;
    if (!s.secure) {
        services_.Show("Opening socket: " + host);
        handle = net_.InetAsyncConnectA(host, portNumber, kProtocolTcp, timeout, 0, 0, &target_,
                                        kSocketMessage);
    } else if (net_.InetCreateSecurityCredentialsA(ProtocolSetOf(s.tlsChoice), 0, {}, {}, {}, {},
                                                   0, &s.credentials) == 0) {
        s.credentials = 0;
        services_.Show("Error creating security credentials..");
        services_.ShowErrorText(0);
    } else {
        services_.Show("Security credentials created...");
        handle = net_.InetAsyncConnectExA(host, portNumber, kProtocolTcp, timeout,
                                          kInetOptionSecure, {}, 0, s.credentials, &target_,
                                          kSocketMessage);
    }
    Adopt(handle);

    if (handle == -1) {
        services_.Host().OnSessionOpenFailed();
        ShowOpenFailure(services_, "TCP Client FAILED to open!", host, port);
        services_.ShowErrorText(0);
        ReleaseCredentials();
        s.inUse = false;
        s.type = SessionType::None;
        s.state = ConnectionState::Disconnected;
        services_.Host().RefreshStatus();
        return;
    }
    endPending_ = true;
    services_.Show("Windows is attempting to connect...");
    // The line is painted now; the connect itself never blocks the window, so there is no pause
    // here before the status bar is refreshed.
    services_.Host().RepaintOutput();
    s.lastHandle = handle;
    services_.Host().RefreshStatus();
    services_.Host().OnSessionOpening();
}

void TcpClientSession::OnConnected() {
    SessionSettings& s = services_.Settings();
    s.state = ConnectionState::Connected;
    services_.Host().RefreshStatus();
    services_.Show("TCP Client Connected...");
    services_.Host().OnSessionOpened();
    if (InetSecurityInfo info; s.secure && net_.InetGetSecurityInfo(handle_, &info)) {
        services_.Show(SecurityInfoLine(info));
        if (certificates_ != nullptr && !info.sha256.empty()) {
            const std::string host(TrimBlanks(s.host));
            const int port = ReadNumber(TrimBlanks(s.port));
            const HostKeyCheck check = certificates_->Check(host, port, info.sha256);
            for (const std::string& line :
                 CertificateCheckLines(host, port, info.sha256, check, certificates_->File()))
                services_.Show(line);
        }
    }

    if (s.type == SessionType::TcpClient && s.httpMode) {
        const std::string_view pending = TrimBlanks(s.pendingHttpLine);
        const std::string_view request = TrimBlanks(s.httpRequest);
        if (!pending.empty()) {
            if (net_.InetWrite(handle_, pending.substr(0, kMaxHttpWrite)) == -1) {
                services_.Show("Error sending HTTP String...");
                services_.ShowErrorText(0);
            }
        } else if (!request.empty()) {
            services_.Show("Sending the following header = :");
            services_.Show(s.httpRequest, DisplayCategory::Informational);
            if (net_.InetWrite(handle_, request.substr(0, kMaxHttpWrite)) == -1) {
                services_.Show("Error sending HTTP Header...");
                services_.ShowErrorText(0);
            }
        }
    }
    s.pendingHttpLine.clear();
}

void TcpClientSession::OnClosedHere() {
    // Closed by the user: the same end as when the peer closes, reported once.
    if (endPending_) OnDisconnected();
}

void TcpClientSession::OnDisconnected() {
    endPending_ = false;
    SessionSettings& s = services_.Settings();
    s.lastHandle = -1;
    s.state = ConnectionState::Disconnected;
    services_.Host().RefreshStatus();
    services_.Show("TCP Client Connection Closed...");
    ReleaseCredentials();
    services_.Host().OnSessionClosed();
}

void TcpClientSession::ReleaseCredentials() {
    SessionSettings& s = services_.Settings();
    if (s.credentials != 0) net_.InetDeleteSecurityCredentialsA(s.credentials);
    s.credentials = 0;
}

}  // namespace ostrel
