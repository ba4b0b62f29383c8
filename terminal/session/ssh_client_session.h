// The SSH Client session: an interactive shell on a pseudo-terminal through the SSH library,
// treated like any other byte stream. Lines typed go out with one write each, whatever the
// server sends is shown as incoming data, remote echo writes it back.
//
// The connect waits (up to five seconds) inside the library, which keeps the thread's messages
// and the front end's own event processing running meanwhile. The user may therefore press
// Close, Restart or a Session menu item while a connect of this session waits: Close ends that
// connect; an open asked for meanwhile starts when the waiting connect has returned.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "terminal/session/host_keys.h"
#include "terminal/session/session.h"
#include "terminal/session/ssh_library.h"

namespace ostrel {

// Size of the buffer each read fills.
inline constexpr std::size_t kSshReadSize = 4096;

class SshClientSession final : public Session {
public:
    // The services, library and host key store must outlive the session. Events go to
    // `window`, which the front end forwards to OnEvent.
    SshClientSession(SessionServices& services, SshLibrary& library, HostKeyStore& hostKeys,
                     SshEventWindow window);
    ~SshClientSession() override;
    SshClientSession(const SshClientSession&) = delete;
    SshClientSession& operator=(const SshClientSession&) = delete;

    // Creates the credentials and connects with the record's host, port, login and password.
    // A handle still held (Restart opens without closing) is disconnected first.
    void Open() override;
    // Disconnects the handle (or ends a connect that waits). The state goes to 0 here: the
    // library sends no disconnect event for a handle its owner disconnects.
    int Close() override;
    long Write(std::string_view data) override;
    OutputBacklog Backlog() override;
    ErrorSource* Errors() override { return &library_; }

    // Message kSshMessage: wParam and lParam of the event.
    void OnEvent(std::uintptr_t handle, std::uint32_t param);

    // The handle held, -1 when none.
    int Handle() const { return handle_; }
    // The host and port of the latest connect (also when it failed); empty before the first.
    const std::string& LastHost() const { return host_; }
    int LastPort() const { return port_; }
    bool Connecting() const { return connecting_; }

private:
    void Connect();
    void OnConnected(int handle);
    void OnDisconnected();
    void ReadEvent();
    void ShowHostKey(int handle);
    void ShowRefusedHostKey(const std::string& detail);
    void ReleaseCredentials();

    SessionServices& services_;
    SshLibrary& library_;
    HostKeyStore& hostKeys_;
    SshEventWindow window_;
    SshCredentials credentials_ = nullptr;
    int handle_ = -1;
    // The host and port of the connection the connect event belongs to.
    std::string host_;
    int port_ = 0;
    // What the host key file held for them when the connect started.
    std::optional<HostKeyEntry> remembered_;
    bool connecting_ = false;      // inside AsyncConnect
    bool abandoned_ = false;       // the waiting connect was ended by Close
    bool openRequested_ = false;   // an open asked for while a connect waited
    bool disconnectShown_ = true;  // the current connection's end has been reported
};

}  // namespace ostrel
