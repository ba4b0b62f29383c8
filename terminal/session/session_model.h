// The one active session: opening it from the menu (close first, dialog, open), closing,
// restarting, the socket notifications, the serial read timer and the error texts. It is also
// the session the send path writes to.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "terminal/core/session_port.h"
#include "terminal/session/network_session.h"
#include "terminal/session/serial_session.h"
#include "terminal/session/session.h"
#include "terminal/session/session_settings.h"
#include "terminal/session/tcp_client_session.h"
#include "terminal/session/tcp_server_session.h"
#include "terminal/session/tessnet.h"
#include "terminal/session/udp_sessions.h"

namespace ostrel {

// Shown when a session type has no implementation: the SSH client when no SSH library is
// attached.
inline constexpr std::string_view kSshNotAvailable =
    "SSH Client sessions are not available: no SSH library is attached...";

class SessionModel final : public SessionPort, public InetEventTarget, public SessionServices {
public:
    // All references must outlive the model.
    SessionModel(SessionSettings& settings, Tessnet& net, SerialDevice& serial, SessionHost& host);

    // Gives a session type its implementation (the SSH client); replaces what was there.
    void RegisterSession(SessionType type, Session& transport);
    // Where secure TCP clients remember certificates (nullptr: nowhere); it must outlive the
    // model.
    void SetCertificateStore(CertificateStore* store) { tcpClient_.SetCertificateStore(store); }

    // A Session menu item: closes the current session, shows the type's dialog and, when it is
    // confirmed, opens the new session. An HTTP-mode TCP Client without a request text waits for
    // the first line sent.
    void OpenFromMenu(SessionType type);
    // Close: stops the serial timer and closes the session; a network session that closed is no
    // longer in use.
    void Close();
    // Restart: in use again and the open operation of the current type, without closing first.
    void Restart();
    // The open operation of the current type (also used after loading a session file).
    void OpenCurrent();

    // Shows a library error as a Status line; 0 asks the active library for its last error.
    // A code without text shows "Undefined error 0x" and the code in hexadecimal.
    void ShowErrorText(int code) override;

    // Status-bar part 0 (nullopt: leave it as it is).
    std::optional<std::string> StatusText() const;

    bool RemoteEcho() const override { return remoteEcho_; }
    void SetRemoteEcho(bool on) { remoteEcho_ = on; }

    // Timer 1004.
    void OnSerialTimer() { serial_.OnReadTimer(); }
    // Message 5122: connect, disconnect and read events of the client and UDP handles.
    void OnSocketMessage(unsigned message, int handle, std::uint32_t param) override;

    // SessionPort: what the send path needs.
    SessionType Type() const override { return settings_.type; }
    ConnectionState State() const override { return settings_.state; }
    bool PortOpen() const override;
    bool HttpMode() const override { return settings_.httpMode; }
    // The session's write, unless the device has not taken what was written before and the data
    // would take that beyond kMaxPendingOutput: then a Status line says so and the result is
    // kWriteRefused.
    long Write(std::string_view data) override;
    void ShowLastErrorText() override { ShowErrorText(0); }
    void RestartWithPendingHttpLine(std::string line) override;

    // SessionServices: what the session types use.
    SessionSettings& Settings() override { return settings_; }
    SessionHost& Host() override { return host_; }

private:
    Session* SessionOf(SessionType type) const;
    NetworkSession* NetworkSessionWithHandle(int handle);

    SessionSettings& settings_;
    SessionHost& host_;
    TessnetErrors socketErrors_;
    SerialSession serial_;
    TcpClientSession tcpClient_;
    TcpServerSession tcpServer_;
    UdpClientSession udpClient_;
    UdpServerSession udpServer_;
    std::array<Session*, 7> sessions_{};
    bool remoteEcho_ = false;
};

// "Undefined error 0x" followed by the code in upper-case hexadecimal without leading zeros.
std::string UndefinedErrorText(int code);

}  // namespace ostrel
