// Taps on the libraries under the sessions: they pass every call through unchanged and tell the
// console what the sessions themselves do not keep in the record, namely which connects are
// still under way, which opens failed, and the bytes received. The console needs this to hold
// back scripted lines until a session is connected, for its exit status, and for --expect.
#pragma once

#include <map>
#include <set>
#include <string_view>

#include "terminal/session/serial_device.h"
#include "terminal/session/socket_library.h"
#include "terminal/session/ssh_library.h"

namespace ostrel {

// What the taps report.
class SessionTapListener {
public:
    virtual ~SessionTapListener() = default;
    // Bytes a session read from its library (before any rendering).
    virtual void OnReceived(std::string_view data) = 0;
    // A session could not be opened: a connect, listen, credential or port open failed.
    virtual void OnOpenFailed() = 0;
};

// The socket library with its connects watched. Notifications of a connect go to the tap first
// (as the event target the session gave), then on to that target.
class WatchedSockets final : public SocketLibrary, private InetEventTarget {
public:
    // Both must outlive the tap.
    WatchedSockets(SocketLibrary& inner, SessionTapListener& listener);

    // Whether a TCP connect of the handle was started and has not completed or failed yet.
    bool Connecting(int handle) const { return connecting_.contains(handle); }

    int InetInitializeA(std::string_view reserved, unsigned flags) override;
    void InetUninitialize() override;
    int InetAsyncConnectA(std::string_view host, unsigned port, int protocol, unsigned timeout,
                          unsigned options, unsigned reserved, InetEventTarget* window,
                          unsigned message) override;
    int InetAsyncConnectExA(std::string_view host, unsigned port, int protocol, unsigned timeout,
                            unsigned options, std::string_view localAddress, unsigned localPort,
                            InetCredentials credentials, InetEventTarget* window,
                            unsigned message) override;
    int InetCreateSecurityCredentialsA(unsigned protocols, unsigned options,
                                       std::string_view certificateStore,
                                       std::string_view certificateName, std::string_view userName,
                                       std::string_view password, unsigned reserved,
                                       InetCredentials* credentials) override;
    void InetDeleteSecurityCredentialsA(InetCredentials credentials) override;
    int InetServerStartA(std::string_view localAddress, unsigned port, int backlog,
                         int clientBufferKiB, int stallSeconds, int reserved1, int reserved2,
                         InetServerCallback callback, unsigned message) override;
    int InetServerBroadcast(int server, std::string_view data) override;
    int InetGetPeerAddress(int handle, InetAddress* address, unsigned* port) override;
    int InetFormatAddressA(const InetAddress& address, std::span<char> buffer) override;
    int InetRead(int handle, std::span<char> buffer) override;
    int InetReadEx(int handle, std::span<char> buffer, unsigned flags, InetAddress* source,
                   unsigned* sourcePort) override;
    int InetWrite(int handle, std::string_view data) override;
    int InetDisconnect(int handle) override;
    int InetGetLastError() override;
    int InetGetErrorStringA(int code, std::span<char> buffer) override;
    bool InetGetSecurityInfo(int handle, InetSecurityInfo* info) override;

private:
    void OnSocketMessage(unsigned message, int handle, std::uint32_t param) override;
    int Connected(int handle, int protocol, InetEventTarget* window);

    SocketLibrary& inner_;
    SessionTapListener& listener_;
    // The event target each handle was opened with.
    std::map<int, InetEventTarget*> targets_;
    std::set<int> connecting_;
};

// The serial device with its opens and reads watched.
class WatchedSerial final : public SerialDevice {
public:
    WatchedSerial(SerialDevice& inner, SessionTapListener& listener);

    bool Open(std::string_view path, std::string* reason) override;
    std::vector<std::string> Configure(const SerialConfig& config) override {
        return inner_.Configure(config);
    }
    bool IsOpen() const override { return inner_.IsOpen(); }
    int Handle() const override { return inner_.Handle(); }
    std::size_t BytesWaiting() override { return inner_.BytesWaiting(); }
    std::string Read(std::size_t max) override;
    void Write(std::string_view data) override { inner_.Write(data); }
    void Close() override { inner_.Close(); }
    void SetLostHandler(std::function<void(const std::string& reason)> handler) override {
        inner_.SetLostHandler(std::move(handler));
    }

private:
    SerialDevice& inner_;
    SessionTapListener& listener_;
};

// The SSH library with its connects and reads watched. Its connect waits until the session runs
// or has failed, so no connect is ever under way between two console lines.
class WatchedSsh final : public SshLibrary {
public:
    WatchedSsh(SshLibrary& inner, SessionTapListener& listener);

    bool Initialize() override { return inner_.Initialize(); }
    void Uninitialize() override { inner_.Uninitialize(); }
    bool CreateCredentials(unsigned protocol, SshCredentials& credentials) override;
    void DeleteCredentials(SshCredentials& credentials) override {
        inner_.DeleteCredentials(credentials);
    }
    int AsyncConnect(const SshConnectRequest& request) override;
    void AbortConnect() override { inner_.AbortConnect(); }
    int Read(int handle, std::span<char> buffer) override;
    int Write(int handle, std::string_view data) override { return inner_.Write(handle, data); }
    int Disconnect(int handle) override { return inner_.Disconnect(handle); }
    std::string Fingerprint(int handle) override { return inner_.Fingerprint(handle); }
    std::string FingerprintSha256(int handle) override { return inner_.FingerprintSha256(handle); }
    std::string LastErrorDetail() override { return inner_.LastErrorDetail(); }
    int LastError() override { return inner_.LastError(); }
    int ErrorString(int code, std::span<char> buffer) override {
        return inner_.ErrorString(code, buffer);
    }

private:
    SshLibrary& inner_;
    SessionTapListener& listener_;
};

}  // namespace ostrel
