// Inside Tessnet: what the library keeps per handle, and the Qt helpers its files share.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "terminal/session/socket_library.h"

class QSslSocket;

namespace ostrel {

// Qt objects of an entry are deleted from the event loop, since an entry may be removed from
// inside one of its own object's signals.
struct LaterDeleter {
    void operator()(QObject* object) const;
};
template <typename T>
using LaterPtr = std::unique_ptr<T, LaterDeleter>;

enum class TessnetKind { TcpClient, Udp, Server, ServerClient };

struct TessnetEntry {
    TessnetKind kind = TessnetKind::TcpClient;
    int handle = -1;
    InetEventTarget* target = nullptr;  // TcpClient and Udp
    unsigned message = 0;

    LaterPtr<QAbstractSocket> socket;  // TcpClient, Udp, ServerClient
    LaterPtr<QTcpServer> server;       // Server
    LaterPtr<QTimer> timer;            // connect time-out (TcpClient) or stall (ServerClient)

    InetServerCallback callback;  // Server
    std::vector<int> clients;     // Server: its clients' handles
    int serverHandle = -1;        // ServerClient
    int stallSeconds = 0;         // Server: passed on to its clients
    qint64 clientBuffer = 0;      // Server: read buffer of each client

    std::string host;  // TcpClient: the name the certificate is checked against
    bool secure = false;

    // Notification state.
    bool readPosted = false;
    bool connected = false;      // the connect completed (server clients: from the start)
    bool connectFailed = false;  // a connect event with an error was sent
    bool peerClosed = false;
    bool disconnectPosted = false;

    // UDP: whether writes have a peer, and the datagram being handed out in pieces.
    bool hasPeer = false;
    QByteArray datagram;
    qsizetype datagramOffset = 0;
    InetAddress datagramSender;
    unsigned datagramPort = 0;
};

// Socket-style error number of a Qt socket error.
int InetErrorOfSocket(QAbstractSocket::SocketError error);
InetAddress ToInetAddress(const QHostAddress& address);

// The TLS configuration of a security-protocol set; false when the set cannot be honoured
// (error receives 12002 or 10022).
bool TlsConfigurationFor(unsigned protocols, QSslConfiguration* configuration, int* error);
// Protocol, cipher and certificate of an encrypted socket, verified against hostName.
InetSecurityInfo SecurityInfoOf(const QSslSocket& socket, const std::string& hostName);

// Bytes an entry holds that its owner has not read yet.
qint64 UnreadBytes(const TessnetEntry& entry);

// Text for the TLS handshake failure code; the details of the last failure are appended.
void SetTlsFailureDetail(std::string detail);
std::string TlsFailureText();

}  // namespace ostrel
