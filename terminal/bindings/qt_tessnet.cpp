// QtTessnet's calls: handles, connects, credentials, servers, reads, writes and errors.
#include "terminal/bindings/qt_tessnet.h"

#include <QCoreApplication>
#include <QSslSocket>
#include <QTcpSocket>
#include <QUdpSocket>

#include <algorithm>
#include <cstring>
#include <limits>

#include "terminal/bindings/qt_tessnet_entry.h"
#include "terminal/session/inet_text.h"

namespace ostrel {
namespace {

thread_local int lastError = 0;

constexpr qsizetype kMaxDatagram = 65507;  // the largest UDP payload over IPv4

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool ValidPort(unsigned port) {
    return port >= 1 && port <= 65535;
}

QHostAddress LocalAddressOf(std::string_view text) {
    if (text.empty()) return QHostAddress(QHostAddress::AnyIPv4);
    return QHostAddress(ToQString(text));
}

}  // namespace

QtTessnet::QtTessnet() = default;

QtTessnet::~QtTessnet() {
    InetUninitialize();
}

int QtTessnet::Fail(int error) {
    lastError = error;
    return -1;
}

bool QtTessnet::Ready() {
    if (initialised_) return true;
    lastError = kInetErrorNotInitialised;
    return false;
}

int QtTessnet::NewHandle() {
    const int handle = nextHandle_;
    nextHandle_ = nextHandle_ == std::numeric_limits<int>::max() ? 1 : nextHandle_ + 1;
    return handle;
}

TessnetEntry* QtTessnet::Find(int handle) {
    const auto it = entries_.find(handle);
    return it != entries_.end() ? it->second.get() : nullptr;
}

TessnetEntry& QtTessnet::Add(std::unique_ptr<TessnetEntry> entry) {
    TessnetEntry& added = *entry;
    entries_[entry->handle] = std::move(entry);
    return added;
}

void QtTessnet::Remove(int handle) {
    entries_.erase(handle);
}

int QtTessnet::InetInitializeA(std::string_view, unsigned) {
    if (QCoreApplication::instance() == nullptr) {
        lastError = kInetErrorNotInitialised;
        return 0;
    }
    initialised_ = true;
    return 1;
}

void QtTessnet::InetUninitialize() {
    ++generation_;
    entries_.clear();
    credentials_.clear();
    initialised_ = false;
}

int QtTessnet::InetAsyncConnectA(std::string_view host, unsigned port, int protocol,
                                 unsigned timeout, unsigned, unsigned, InetEventTarget* window,
                                 unsigned message) {
    return InetAsyncConnectExA(host, port, protocol, timeout, 0, {}, 0, 0, window, message);
}

int QtTessnet::InetAsyncConnectExA(std::string_view host, unsigned port, int protocol,
                                   unsigned timeout, unsigned options,
                                   std::string_view localAddress, unsigned localPort,
                                   InetCredentials credentials, InetEventTarget* window,
                                   unsigned message) {
    if (!Ready()) return -1;
    if (window == nullptr) return Fail(kInetErrorInvalidArgument);
    if (protocol == kProtocolTcp) {
        if (!ValidPort(port)) return Fail(kInetErrorAddressNotAvailable);
        return ConnectTcp(host, port, timeout, (options & kInetOptionSecure) != 0, credentials,
                          window, message);
    }
    if (protocol == kProtocolUdp) {
        if (localPort > 65535 || (!ValidPort(port) && localPort == 0))
            return Fail(kInetErrorAddressNotAvailable);
        return OpenUdp(host, port, localAddress, localPort, window, message);
    }
    return Fail(kInetErrorProtocolNotSupported);
}

int QtTessnet::ConnectTcp(std::string_view host, unsigned port, unsigned timeout, bool secure,
                          InetCredentials credentials, InetEventTarget* window, unsigned message) {
    QSslConfiguration tls;
    if (secure) {
        const auto it = credentials_.find(credentials);
        if (it == credentials_.end()) return Fail(kInetErrorCredentials);
        if (!QSslSocket::supportsSsl()) return Fail(kInetErrorTlsUnavailable);
        int error = 0;
        if (!TlsConfigurationFor(it->second, &tls, &error)) return Fail(error);
    }

    auto entry = std::make_unique<TessnetEntry>();
    entry->kind = TessnetKind::TcpClient;
    entry->handle = NewHandle();
    entry->target = window;
    entry->message = message;
    entry->host = std::string(host);
    entry->secure = secure;
    if (secure) {
        auto* ssl = new QSslSocket;
        ssl->setSslConfiguration(tls);
        entry->socket.reset(ssl);
    } else {
        entry->socket.reset(new QTcpSocket);
    }
    entry->socket->setReadBufferSize(kTcpClientReadBuffer);
    TessnetEntry& added = Add(std::move(entry));
    WireTcpClient(added);

    if (timeout > 0) {
        added.timer.reset(new QTimer);
        added.timer->setSingleShot(true);
        const int handle = added.handle;
        QObject::connect(added.timer.get(), &QTimer::timeout, &context_,
                         [this, handle] { OnConnectFailed(handle, kInetErrorTimedOut); });
        added.timer->start(static_cast<int>(std::min(timeout, 86400u)) * 1000);
    }
    if (secure)
        static_cast<QSslSocket*>(added.socket.get())
            ->connectToHostEncrypted(ToQString(host), static_cast<quint16>(port));
    else
        added.socket->connectToHost(ToQString(host), static_cast<quint16>(port));
    return added.handle;
}

int QtTessnet::OpenUdp(std::string_view host, unsigned port, std::string_view localAddress,
                       unsigned localPort, InetEventTarget* window, unsigned message) {
    auto socket = LaterPtr<QAbstractSocket>(new QUdpSocket);
    if (localPort != 0 || !localAddress.empty()) {
        const QHostAddress local = LocalAddressOf(localAddress);
        if (local.isNull()) return Fail(kInetErrorAddressNotAvailable);
        // No address sharing: a port another program listens on must fail here, not be shared.
        if (!static_cast<QUdpSocket*>(socket.get())
                 ->bind(local, static_cast<quint16>(localPort), QAbstractSocket::DontShareAddress))
            return Fail(InetErrorOfSocket(socket->error()));
    }

    auto entry = std::make_unique<TessnetEntry>();
    entry->kind = TessnetKind::Udp;
    entry->handle = NewHandle();
    entry->target = window;
    entry->message = message;
    entry->socket = std::move(socket);
    const QHostAddress remote(ToQString(host));
    entry->hasPeer = !(remote == QHostAddress(QHostAddress::AnyIPv4)) && ValidPort(port);
    TessnetEntry& added = Add(std::move(entry));
    const int handle = added.handle;
    QAbstractSocket* udp = added.socket.get();
    QObject::connect(udp, &QIODevice::readyRead, &context_, [this, handle] {
        TessnetEntry* e = Find(handle);
        if (e == nullptr) return;
        PullDatagrams(*e);
        if (!e->datagrams.empty()) PostRead(*e);
    });
    QObject::connect(udp, &QAbstractSocket::errorOccurred, &context_,
                     [this, handle](QAbstractSocket::SocketError error) {
                         TessnetEntry* e = Find(handle);
                         if (e == nullptr) return;
                         lastError = InetErrorOfSocket(error);
                         // Only a failed name lookup ends the "connect" of a datagram socket.
                         if (error == QAbstractSocket::HostNotFoundError && !e->connectFailed) {
                             e->connectFailed = true;
                             Post(handle, Delivery::Connect, lastError);
                         }
                     });
    if (added.hasPeer) udp->connectToHost(ToQString(host), static_cast<quint16>(port));
    return handle;
}

int QtTessnet::InetCreateSecurityCredentialsA(unsigned protocols, unsigned, std::string_view,
                                              std::string_view, std::string_view, std::string_view,
                                              unsigned, InetCredentials* credentials) {
    if (!Ready()) return 0;
    if (credentials == nullptr) {
        lastError = kInetErrorInvalidArgument;
        return 0;
    }
    QSslConfiguration unused;
    int error = 0;
    if (!TlsConfigurationFor(protocols, &unused, &error)) {
        lastError = error;
        return 0;
    }
    if (!QSslSocket::supportsSsl()) {
        lastError = kInetErrorTlsUnavailable;
        return 0;
    }
    const InetCredentials id = nextCredentials_++;
    credentials_[id] = protocols;
    *credentials = id;
    return 1;
}

void QtTessnet::InetDeleteSecurityCredentialsA(InetCredentials credentials) {
    credentials_.erase(credentials);
}

int QtTessnet::InetServerStartA(std::string_view localAddress, unsigned port, int backlog,
                                int clientBufferKiB, int stallSeconds, int, int,
                                InetServerCallback callback, unsigned) {
    if (!Ready()) return -1;
    if (!ValidPort(port) || !callback) return Fail(kInetErrorInvalidArgument);
    LaterPtr<QTcpServer> server(new QTcpServer);
    server->setListenBacklogSize(std::max(backlog, 1));
    const QHostAddress local =
        localAddress.empty() ? QHostAddress(QHostAddress::Any) : LocalAddressOf(localAddress);
    if (local.isNull()) return Fail(kInetErrorAddressNotAvailable);
    if (!server->listen(local, static_cast<quint16>(port)))
        return Fail(InetErrorOfSocket(server->serverError()));

    auto entry = std::make_unique<TessnetEntry>();
    entry->kind = TessnetKind::Server;
    entry->handle = NewHandle();
    entry->server = std::move(server);
    entry->callback = std::move(callback);
    entry->stallSeconds = std::max(stallSeconds, 0);
    entry->clientBuffer = std::clamp<qint64>(clientBufferKiB, 1, 1 << 20) * 1024;
    TessnetEntry& added = Add(std::move(entry));
    const int handle = added.handle;
    QObject::connect(added.server.get(), &QTcpServer::newConnection, &context_,
                     [this, handle] { AcceptClients(handle); });
    return handle;
}

int QtTessnet::InetServerBroadcast(int server, std::string_view data) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(server);
    if (entry == nullptr || entry->kind != TessnetKind::Server) return Fail(kInetErrorNotSocket);
    for (int client : entry->clients) {
        TessnetEntry* c = Find(client);
        if (c == nullptr || c->peerClosed) continue;
        c->socket->write(data.data(), static_cast<qint64>(data.size()));
        if (c->stallSeconds > 0 && c->socket->bytesToWrite() > 0 && !c->timer->isActive())
            c->timer->start(c->stallSeconds * 1000);
    }
    return static_cast<int>(data.size());
}

int QtTessnet::InetGetPeerAddress(int handle, InetAddress* address, unsigned* port) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr || !entry->socket) return Fail(kInetErrorNotSocket);
    if (entry->socket->state() != QAbstractSocket::ConnectedState && !entry->peerClosed)
        return Fail(kInetErrorNotConnected);
    if (address != nullptr) *address = ToInetAddress(entry->socket->peerAddress());
    if (port != nullptr) *port = entry->socket->peerPort();
    return 0;
}

int QtTessnet::InetFormatAddressA(const InetAddress& address, std::span<char> buffer) {
    const std::string text = FormatInetAddress(address);
    if (text.empty()) {
        CopyToBuffer({}, buffer);
        return Fail(kInetErrorInvalidArgument);
    }
    return CopyToBuffer(text, buffer);
}

int QtTessnet::InetRead(int handle, std::span<char> buffer) {
    return InetReadEx(handle, buffer, 0, nullptr, nullptr);
}

int QtTessnet::InetReadEx(int handle, std::span<char> buffer, unsigned, InetAddress* source,
                          unsigned* sourcePort) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr || !entry->socket) return Fail(kInetErrorNotSocket);
    const qint64 room = static_cast<qint64>(std::min<std::size_t>(buffer.size(), 1u << 30));

    if (entry->kind != TessnetKind::Udp) {
        const qint64 count = entry->socket->read(buffer.data(), room);
        // The close of a connection is reported once what it brought has been read.
        if (entry->peerClosed && !entry->readPosted && UnreadBytes(*entry) == 0)
            PostDisconnect(*entry);
        if (count < 0) return entry->socket->bytesAvailable() == 0 ? 0 : Fail(kInetErrorUnknown);
        if (count > 0) {
            ++entry->reads;
            if (source != nullptr) *source = ToInetAddress(entry->socket->peerAddress());
            if (sourcePort != nullptr) *sourcePort = entry->socket->peerPort();
        }
        return static_cast<int>(count);
    }

    if (entry->datagrams.empty()) PullDatagrams(*entry);
    if (entry->datagrams.empty()) return 0;
    TessnetEntry::Datagram& first = entry->datagrams.front();
    const qsizetype count = std::min<qsizetype>(first.data.size() - entry->datagramOffset, room);
    if (count > 0)
        std::memcpy(buffer.data(), first.data.constData() + entry->datagramOffset,
                    static_cast<std::size_t>(count));
    entry->datagramOffset += count;
    ++entry->reads;
    if (source != nullptr) *source = first.sender;
    if (sourcePort != nullptr) *sourcePort = first.port;
    if (entry->datagramOffset >= first.data.size()) {
        entry->queuedBytes -= first.data.size();
        entry->datagramOffset = 0;
        entry->datagrams.pop_front();
    }
    return static_cast<int>(count);
}

int QtTessnet::InetWrite(int handle, std::string_view data) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr || !entry->socket) return Fail(kInetErrorNotSocket);
    QAbstractSocket& socket = *entry->socket;
    if (entry->kind == TessnetKind::Udp) {
        if (!entry->hasPeer) return Fail(kInetErrorAddressNotAvailable);
        if (data.size() > static_cast<std::size_t>(kMaxDatagram)) return Fail(kInetErrorMessageSize);
    } else if (entry->kind == TessnetKind::TcpClient && !entry->connected) {
        return Fail(kInetErrorNotConnected);
    }
    if (socket.state() != QAbstractSocket::ConnectedState)
        return Fail(entry->peerClosed ? kInetErrorConnectionReset : kInetErrorNotConnected);
    const qint64 written = socket.write(data.data(), static_cast<qint64>(data.size()));
    if (written != static_cast<qint64>(data.size())) return Fail(InetErrorOfSocket(socket.error()));
    return static_cast<int>(written);
}

int QtTessnet::InetWriteTo(int handle, std::string_view data, const InetAddress& address,
                           unsigned port) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr || entry->kind != TessnetKind::Udp) return Fail(kInetErrorNotSocket);
    const QHostAddress to = ToQHostAddress(address);
    if (to.isNull() || !ValidPort(port)) return Fail(kInetErrorAddressNotAvailable);
    if (data.size() > static_cast<std::size_t>(kMaxDatagram)) return Fail(kInetErrorMessageSize);
    auto* udp = static_cast<QUdpSocket*>(entry->socket.get());
    const qint64 written = udp->writeDatagram(data.data(), static_cast<qint64>(data.size()), to,
                                              static_cast<quint16>(port));
    if (written != static_cast<qint64>(data.size())) return Fail(InetErrorOfSocket(udp->error()));
    return static_cast<int>(written);
}

long QtTessnet::InetGetWriteBacklog(int handle) {
    if (!Ready()) return -1;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr) return Fail(kInetErrorNotSocket);
    if (!entry->socket || entry->kind == TessnetKind::Udp) return 0;
    return static_cast<long>(entry->socket->bytesToWrite());
}

int QtTessnet::InetDisconnect(int handle) {
    if (!Ready()) return kInetErrorNotInitialised;
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr) {
        lastError = kInetErrorNotSocket;
        return kInetErrorNotSocket;
    }
    switch (entry->kind) {
        case TessnetKind::Server:
            for (int client : entry->clients)
                Remove(client);
            break;
        case TessnetKind::ServerClient:
            if (TessnetEntry* server = Find(entry->serverHandle))
                std::erase(server->clients, handle);
            break;
        case TessnetKind::TcpClient:
            // The owner learns of the close as of any other: one disconnect notification.
            if (!entry->connectFailed && !entry->disconnectPosted) {
                entry->disconnectPosted = true;
                PostClosed(entry->target, entry->message, handle);
            }
            break;
        case TessnetKind::Udp:
            break;
    }
    if ((entry->kind == TessnetKind::TcpClient || entry->kind == TessnetKind::ServerClient) &&
        entry->socket && entry->socket->state() == QAbstractSocket::ConnectedState) {
        // Data already written still reaches the peer: the socket closes once it is sent, or
        // is dropped after a grace period.
        QAbstractSocket* socket = entry->socket.release();
        QObject::disconnect(socket, nullptr, &context_, nullptr);
        QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(5000, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
    }
    Remove(handle);
    return 0;
}

int QtTessnet::InetGetLastError() {
    return lastError;
}

int QtTessnet::InetGetErrorStringA(int code, std::span<char> buffer) {
    if (code == kInetErrorTlsHandshake) return CopyToBuffer(TlsFailureText(), buffer);
    const std::string_view text = InetErrorText(code);
    if (text.empty()) {
        CopyToBuffer({}, buffer);
        return 0;
    }
    return CopyToBuffer(text, buffer);
}

bool QtTessnet::InetGetSecurityInfo(int handle, InetSecurityInfo* info) {
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr || !entry->secure || !entry->connected || info == nullptr) return false;
    *info = SecurityInfoOf(*static_cast<QSslSocket*>(entry->socket.get()), entry->host);
    return true;
}

}  // namespace ostrel
