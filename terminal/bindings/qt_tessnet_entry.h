// Inside QtTessnet: what the library keeps per handle, and the Qt helpers its files share.
#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTimer>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "terminal/session/tessnet.h"

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
    std::uint64_t reads = 0;     // reads that returned data (or an empty datagram)
    bool connected = false;      // the connect completed (server clients: from the start)
    bool connectFailed = false;  // a connect event with an error was sent
    bool peerClosed = false;
    bool disconnectPosted = false;

    // UDP: whether writes have a peer, and the datagrams received and not yet read (the first
    // one possibly in part).
    struct Datagram {
        QByteArray data;
        InetAddress sender;
        unsigned port = 0;
    };
    bool hasPeer = false;
    std::deque<Datagram> datagrams;
    qsizetype datagramOffset = 0;  // of the first datagram
    qint64 queuedBytes = 0;
};

// Datagrams are taken from the system as they arrive (Qt reports further datagrams reliably only
// when each report is answered by reading); at most this many bytes of them wait in the library,
// the rest wait in the system's socket buffer.
inline constexpr qint64 kUdpQueueLimit = 1 << 20;

// Moves the datagrams the system holds into the entry's queue, up to kUdpQueueLimit.
void PullDatagrams(TessnetEntry& entry);

// Socket-style error number of a Qt socket error.
int InetErrorOfSocket(QAbstractSocket::SocketError error);
InetAddress ToInetAddress(const QHostAddress& address);
// The Qt address of a library address; a null address for an empty one.
QHostAddress ToQHostAddress(const InetAddress& address);

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
