// QtTessnet: Tessnet, the socket and TLS component of the network sessions, on QtNetwork.
//
// Everything runs on the thread that owns the QtTessnet object, inside its Qt event loop; calls
// never block (host names are resolved in the background, connects complete later) and
// notifications are delivered from the event loop, never from inside a call. Memory per handle
// is bounded: TCP connections read into a buffer of fixed size and wait in TCP flow control
// beyond it; datagrams are read one at a time.
#pragma once

#include <QObject>

#include <map>
#include <memory>

#include "terminal/session/tessnet.h"

class QAbstractSocket;

namespace ostrel {

struct TessnetEntry;

// Read buffer of a TCP client connection: one read notification carries at most this much.
inline constexpr qint64 kTcpClientReadBuffer = 1 << 20;

class QtTessnet final : public Tessnet {
public:
    QtTessnet();
    ~QtTessnet() override;
    QtTessnet(const QtTessnet&) = delete;
    QtTessnet& operator=(const QtTessnet&) = delete;

    // Fails (0) when no Qt application object exists, since notifications need its event loop.
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
                                       std::string_view certificateName,
                                       std::string_view userName, std::string_view password,
                                       unsigned reserved, InetCredentials* credentials) override;
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
    int InetWriteTo(int handle, std::string_view data, const InetAddress& address,
                    unsigned port) override;
    long InetGetWriteBacklog(int handle) override;
    int InetDisconnect(int handle) override;
    int InetGetLastError() override;
    int InetGetErrorStringA(int code, std::span<char> buffer) override;
    bool InetGetSecurityInfo(int handle, InetSecurityInfo* info) override;

    // Number of open handles (connections, sockets, servers and their clients).
    std::size_t HandleCount() const { return entries_.size(); }

private:
    enum class Delivery { Connect, Read, Disconnect };

    int Fail(int error);  // sets the last error, returns -1
    bool Ready();
    int NewHandle();
    TessnetEntry* Find(int handle);
    TessnetEntry& Add(std::unique_ptr<TessnetEntry> entry);
    void Remove(int handle);

    int ConnectTcp(std::string_view host, unsigned port, unsigned timeout, bool secure,
                   InetCredentials credentials, InetEventTarget* window, unsigned message);
    int OpenUdp(std::string_view host, unsigned port, std::string_view localAddress,
                unsigned localPort, InetEventTarget* window, unsigned message);
    void WireTcpClient(TessnetEntry& entry);
    void WireServerClient(TessnetEntry& entry);
    void AcceptClients(int server);
    void OnConnectFailed(int handle, int error);
    void OnPeerClosed(int handle);
    void OnClientStalled(int handle);

    void Post(int handle, Delivery delivery, int error = 0);
    void PostRead(TessnetEntry& entry);
    void PostDisconnect(TessnetEntry& entry, int error = 0);
    // The disconnect notification of a handle closed by its owner (the entry is gone by then).
    void PostClosed(InetEventTarget* target, unsigned message, int handle);
    void Deliver(int handle, Delivery delivery, int error);
    void Notify(TessnetEntry& entry, std::uint16_t event, int error);

    QObject context_;  // owns the connections of every socket signal and queued delivery
    std::map<int, std::unique_ptr<TessnetEntry>> entries_;
    std::map<InetCredentials, unsigned> credentials_;
    bool initialised_ = false;
    int nextHandle_ = 1;
    int nextCredentials_ = 1;
    // Deliveries queued before InetUninitialize carry an older generation and are dropped.
    unsigned generation_ = 0;
};

}  // namespace ostrel
