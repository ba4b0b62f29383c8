#include "terminal/console/session_taps.h"

namespace ostrel {

WatchedSockets::WatchedSockets(SocketLibrary& inner, SessionTapListener& listener)
    : inner_(inner), listener_(listener) {}

int WatchedSockets::InetInitializeA(std::string_view reserved, unsigned flags) {
    return inner_.InetInitializeA(reserved, flags);
}

void WatchedSockets::InetUninitialize() {
    inner_.InetUninitialize();
    connecting_.clear();
    targets_.clear();
}

int WatchedSockets::Connected(int handle, int protocol, InetEventTarget* window) {
    if (handle == -1) {
        listener_.OnOpenFailed();
        return handle;
    }
    targets_[handle] = window;
    // A datagram socket has nothing to wait for: it sends a connect event only on failure.
    if (protocol == kProtocolTcp) connecting_.insert(handle);
    return handle;
}

int WatchedSockets::InetAsyncConnectA(std::string_view host, unsigned port, int protocol,
                                      unsigned timeout, unsigned options, unsigned reserved,
                                      InetEventTarget* window, unsigned message) {
    return Connected(inner_.InetAsyncConnectA(host, port, protocol, timeout, options, reserved,
                                              this, message),
                     protocol, window);
}

int WatchedSockets::InetAsyncConnectExA(std::string_view host, unsigned port, int protocol,
                                        unsigned timeout, unsigned options,
                                        std::string_view localAddress, unsigned localPort,
                                        InetCredentials credentials, InetEventTarget* window,
                                        unsigned message) {
    return Connected(inner_.InetAsyncConnectExA(host, port, protocol, timeout, options,
                                                localAddress, localPort, credentials, this,
                                                message),
                     protocol, window);
}

void WatchedSockets::OnSocketMessage(unsigned message, int handle, std::uint32_t param) {
    if (InetEventOf(param) == kInetEventConnect) {
        connecting_.erase(handle);
        if (InetErrorOf(param) != 0) listener_.OnOpenFailed();
    } else if (InetEventOf(param) == kInetEventDisconnect) {
        connecting_.erase(handle);
    }
    const auto target = targets_.find(handle);
    if (target != targets_.end() && target->second != nullptr)
        target->second->OnSocketMessage(message, handle, param);
}

int WatchedSockets::InetCreateSecurityCredentialsA(unsigned protocols, unsigned options,
                                                   std::string_view certificateStore,
                                                   std::string_view certificateName,
                                                   std::string_view userName,
                                                   std::string_view password, unsigned reserved,
                                                   InetCredentials* credentials) {
    const int result = inner_.InetCreateSecurityCredentialsA(
        protocols, options, certificateStore, certificateName, userName, password, reserved,
        credentials);
    if (result == 0) listener_.OnOpenFailed();
    return result;
}

void WatchedSockets::InetDeleteSecurityCredentialsA(InetCredentials credentials) {
    inner_.InetDeleteSecurityCredentialsA(credentials);
}

int WatchedSockets::InetServerStartA(std::string_view localAddress, unsigned port, int backlog,
                                     int clientBufferKiB, int stallSeconds, int reserved1,
                                     int reserved2, InetServerCallback callback,
                                     unsigned message) {
    const int server = inner_.InetServerStartA(localAddress, port, backlog, clientBufferKiB,
                                               stallSeconds, reserved1, reserved2,
                                               std::move(callback), message);
    if (server == -1) listener_.OnOpenFailed();
    return server;
}

int WatchedSockets::InetServerBroadcast(int server, std::string_view data) {
    return inner_.InetServerBroadcast(server, data);
}

int WatchedSockets::InetGetPeerAddress(int handle, InetAddress* address, unsigned* port) {
    return inner_.InetGetPeerAddress(handle, address, port);
}

int WatchedSockets::InetFormatAddressA(const InetAddress& address, std::span<char> buffer) {
    return inner_.InetFormatAddressA(address, buffer);
}

int WatchedSockets::InetRead(int handle, std::span<char> buffer) {
    const int count = inner_.InetRead(handle, buffer);
    if (count > 0) listener_.OnReceived({buffer.data(), static_cast<std::size_t>(count)});
    return count;
}

int WatchedSockets::InetReadEx(int handle, std::span<char> buffer, unsigned flags,
                               InetAddress* source, unsigned* sourcePort) {
    const int count = inner_.InetReadEx(handle, buffer, flags, source, sourcePort);
    if (count > 0) listener_.OnReceived({buffer.data(), static_cast<std::size_t>(count)});
    return count;
}

int WatchedSockets::InetWrite(int handle, std::string_view data) {
    return inner_.InetWrite(handle, data);
}

int WatchedSockets::InetDisconnect(int handle) {
    connecting_.erase(handle);
    return inner_.InetDisconnect(handle);
}

int WatchedSockets::InetGetLastError() {
    return inner_.InetGetLastError();
}

int WatchedSockets::InetGetErrorStringA(int code, std::span<char> buffer) {
    return inner_.InetGetErrorStringA(code, buffer);
}

bool WatchedSockets::InetGetSecurityInfo(int handle, InetSecurityInfo* info) {
    return inner_.InetGetSecurityInfo(handle, info);
}

WatchedSerial::WatchedSerial(SerialDevice& inner, SessionTapListener& listener)
    : inner_(inner), listener_(listener) {}

bool WatchedSerial::Open(std::string_view path, std::string* reason) {
    const bool opened = inner_.Open(path, reason);
    if (!opened) listener_.OnOpenFailed();
    return opened;
}

std::string WatchedSerial::Read(std::size_t max) {
    std::string data = inner_.Read(max);
    if (!data.empty()) listener_.OnReceived(data);
    return data;
}

WatchedSsh::WatchedSsh(SshLibrary& inner, SessionTapListener& listener)
    : inner_(inner), listener_(listener) {}

bool WatchedSsh::CreateCredentials(unsigned protocol, SshCredentials& credentials) {
    const bool created = inner_.CreateCredentials(protocol, credentials);
    if (!created) listener_.OnOpenFailed();
    return created;
}

int WatchedSsh::AsyncConnect(const SshConnectRequest& request) {
    const int handle = inner_.AsyncConnect(request);
    if (handle == -1) listener_.OnOpenFailed();
    return handle;
}

int WatchedSsh::Read(int handle, std::span<char> buffer) {
    const int count = inner_.Read(handle, buffer);
    if (count > 0) listener_.OnReceived({buffer.data(), static_cast<std::size_t>(count)});
    return count;
}

}  // namespace ostrel
