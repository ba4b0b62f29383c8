// The TCP Client session: plain, over TLS, or sending an HTTP request when it connects.
#pragma once

#include <string>

#include "terminal/session/network_session.h"
#include "terminal/session/tls_certificates.h"

namespace ostrel {

class TcpClientSession final : public NetworkSession {
public:
    TcpClientSession(SessionServices& services, Tessnet& net, TessnetErrors& errors,
                     InetEventTarget& target);

    // Starts connecting to the record's host and port (creating TLS credentials first when
    // secure); the outcome arrives as a connect notification.
    void Open() override;

    // Connect notification without error: connected; sends the pending HTTP line or the HTTP
    // request in HTTP mode.
    void OnConnected();
    // Disconnect notification: the connection is gone and its credentials are released.
    void OnDisconnected();

    // Where secure connections remember their certificates (nullptr: nowhere). It must outlive
    // the session.
    void SetCertificateStore(CertificateStore* store) { certificates_ = store; }

private:
    void OnClosedHere() override;
    void ReleaseCredentials();

    // The end of the current connection has not been reported yet.
    bool endPending_ = false;
    CertificateStore* certificates_ = nullptr;
};

// The Status line describing a secure connection: protocol, cipher, the peer certificate's
// subject and SHA-256 fingerprint, and whether it verified against the trusted authorities.
std::string SecurityInfoLine(const InetSecurityInfo& info);

// HTTP texts are sent trimmed of blanks and cut to one write of this many bytes.
inline constexpr std::size_t kMaxHttpWrite = 1024;

}  // namespace ostrel
