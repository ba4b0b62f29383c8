// QtTessnet's notifications: socket signals become connect, read and disconnect events, queued to
// the event loop and delivered to the owner of the handle.
//
// Rules kept here:
//  - a read event is pending at most once per handle, and another follows while unread data
//    waits and the owner read something during the last one (so an owner that reads nothing
//    cannot make the loop spin);
//  - a disconnect event comes after the read events for everything received; data an owner
//    left unread stays readable until it closes the handle, so nothing received is lost.
#include <QSslSocket>
#include <QTcpSocket>

#include "terminal/bindings/qt_tessnet.h"
#include "terminal/bindings/qt_tessnet_entry.h"

namespace ostrel {

void QtTessnet::WireTcpClient(TessnetEntry& entry) {
    const int handle = entry.handle;
    QAbstractSocket* socket = entry.socket.get();
    auto connected = [this, handle] {
        TessnetEntry* e = Find(handle);
        if (e == nullptr || e->connected || e->connectFailed) return;
        e->connected = true;
        if (e->timer) e->timer->stop();
        Post(handle, Delivery::Connect);
        if (UnreadBytes(*e) > 0) PostRead(*e);
    };
    if (entry.secure) {
        auto* ssl = static_cast<QSslSocket*>(socket);
        QObject::connect(ssl, &QSslSocket::encrypted, &context_, connected);
        // Certificates are reported, not refused.
        QObject::connect(ssl, &QSslSocket::sslErrors, &context_,
                         [ssl](const QList<QSslError>&) { ssl->ignoreSslErrors(); });
    } else {
        QObject::connect(socket, &QAbstractSocket::connected, &context_, connected);
    }
    QObject::connect(socket, &QIODevice::readyRead, &context_, [this, handle] {
        TessnetEntry* e = Find(handle);
        if (e != nullptr && e->connected) PostRead(*e);
    });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, &context_,
                     [this, handle, socket](QAbstractSocket::SocketError error) {
                         TessnetEntry* e = Find(handle);
                         if (e == nullptr) return;
                         if (!e->connected) {
                             if (error == QAbstractSocket::SslHandshakeFailedError ||
                                 error == QAbstractSocket::SslInternalError)
                                 SetTlsFailureDetail(socket->errorString().toStdString());
                             OnConnectFailed(handle, InetErrorOfSocket(error));
                         } else if (socket->state() == QAbstractSocket::UnconnectedState) {
                             OnPeerClosed(handle);
                         }
                     });
    QObject::connect(socket, &QAbstractSocket::disconnected, &context_,
                     [this, handle] { OnPeerClosed(handle); });
}

void QtTessnet::OnConnectFailed(int handle, int error) {
    TessnetEntry* e = Find(handle);
    if (e == nullptr || e->connected || e->connectFailed) return;
    e->connectFailed = true;
    if (e->timer) e->timer->stop();
    if (e->socket) e->socket->abort();
    Post(handle, Delivery::Connect, error);
}

void QtTessnet::OnPeerClosed(int handle) {
    TessnetEntry* e = Find(handle);
    if (e == nullptr || !e->connected || e->peerClosed) return;
    e->peerClosed = true;
    if (e->timer) e->timer->stop();
    if (e->readPosted) return;  // the disconnect follows that read
    // Unread data gets one more read event first; the disconnect follows it.
    if (UnreadBytes(*e) > 0)
        PostRead(*e);
    else
        PostDisconnect(*e);
}

void QtTessnet::AcceptClients(int server) {
    TessnetEntry* s = Find(server);
    if (s == nullptr) return;
    while (QTcpSocket* accepted = s->server->nextPendingConnection()) {
        accepted->setParent(nullptr);
        auto entry = std::make_unique<TessnetEntry>();
        entry->kind = TessnetKind::ServerClient;
        entry->handle = NewHandle();
        entry->serverHandle = server;
        entry->connected = true;
        entry->stallSeconds = s->stallSeconds;
        entry->socket.reset(accepted);
        accepted->setReadBufferSize(s->clientBuffer);
        TessnetEntry& added = Add(std::move(entry));
        s->clients.push_back(added.handle);
        WireServerClient(added);
        Post(added.handle, Delivery::Connect);
        if (UnreadBytes(added) > 0) PostRead(added);
        if (added.socket->state() != QAbstractSocket::ConnectedState) OnPeerClosed(added.handle);
    }
}

void QtTessnet::WireServerClient(TessnetEntry& entry) {
    const int handle = entry.handle;
    QAbstractSocket* socket = entry.socket.get();
    entry.timer.reset(new QTimer);
    entry.timer->setSingleShot(true);
    QObject::connect(entry.timer.get(), &QTimer::timeout, &context_,
                     [this, handle] { OnClientStalled(handle); });
    QObject::connect(socket, &QIODevice::readyRead, &context_, [this, handle] {
        if (TessnetEntry* e = Find(handle)) PostRead(*e);
    });
    QObject::connect(socket, &QIODevice::bytesWritten, &context_, [this, handle](qint64) {
        TessnetEntry* e = Find(handle);
        if (e == nullptr || e->stallSeconds == 0) return;
        // Progress: the client takes data. The clock restarts while some is still queued.
        if (e->socket->bytesToWrite() == 0)
            e->timer->stop();
        else
            e->timer->start(e->stallSeconds * 1000);
    });
    QObject::connect(socket, &QAbstractSocket::disconnected, &context_,
                     [this, handle] { OnPeerClosed(handle); });
    QObject::connect(socket, &QAbstractSocket::errorOccurred, &context_,
                     [this, handle, socket](QAbstractSocket::SocketError) {
                         if (socket->state() == QAbstractSocket::UnconnectedState)
                             OnPeerClosed(handle);
                     });
}

void QtTessnet::OnClientStalled(int handle) {
    TessnetEntry* e = Find(handle);
    if (e == nullptr || e->peerClosed) return;
    e->peerClosed = true;
    e->socket->abort();
    PostDisconnect(*e, kInetErrorStalledClient);
}

void QtTessnet::Post(int handle, Delivery delivery, int error) {
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, handle, delivery, error, generation] {
            if (generation == generation_) Deliver(handle, delivery, error);
        },
        Qt::QueuedConnection);
}

void QtTessnet::PostRead(TessnetEntry& entry) {
    if (entry.readPosted || entry.disconnectPosted) return;
    entry.readPosted = true;
    Post(entry.handle, Delivery::Read);
}

void QtTessnet::PostDisconnect(TessnetEntry& entry, int error) {
    if (entry.disconnectPosted) return;
    entry.disconnectPosted = true;
    Post(entry.handle, Delivery::Disconnect, error);
}

void QtTessnet::PostClosed(InetEventTarget* target, unsigned message, int handle) {
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, target, message, handle, generation] {
            if (generation == generation_)
                target->OnSocketMessage(message, handle, MakeInetParam(kInetEventDisconnect, 0));
        },
        Qt::QueuedConnection);
}

void QtTessnet::Deliver(int handle, Delivery delivery, int error) {
    TessnetEntry* entry = Find(handle);
    if (entry == nullptr) return;  // closed since: its owner asked for no more
    switch (delivery) {
        case Delivery::Connect:
            Notify(*entry, kInetEventConnect, error);
            return;
        case Delivery::Read: {
            entry->readPosted = false;
            const std::uint64_t readsBefore = entry->reads;
            Notify(*entry, kInetEventRead, 0);
            entry = Find(handle);
            if (entry == nullptr) return;
            if (entry->kind == TessnetKind::Udp) PullDatagrams(*entry);
            if (UnreadBytes(*entry) > 0 && entry->reads > readsBefore)
                PostRead(*entry);
            else if (entry->peerClosed)
                PostDisconnect(*entry);
            return;
        }
        case Delivery::Disconnect:
            Notify(*entry, kInetEventDisconnect, error);
            // A server's client is released once its owner has heard it is gone.
            if (TessnetEntry* e = Find(handle); e != nullptr && e->kind == TessnetKind::ServerClient) {
                if (TessnetEntry* server = Find(e->serverHandle)) std::erase(server->clients, handle);
                Remove(handle);
            }
            return;
    }
}

void QtTessnet::Notify(TessnetEntry& entry, std::uint16_t event, int error) {
    if (entry.kind == TessnetKind::ServerClient) {
        TessnetEntry* server = Find(entry.serverHandle);
        if (server == nullptr) return;
        // The callback may close handles; it gets its own copy to run.
        const InetServerCallback callback = server->callback;
        callback(entry.handle, event, error);
        return;
    }
    if (entry.target != nullptr)
        entry.target->OnSocketMessage(entry.message, entry.handle,
                                      MakeInetParam(event, static_cast<std::uint16_t>(error)));
}

}  // namespace ostrel
