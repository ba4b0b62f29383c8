// QtTessnet's helpers: Qt errors as socket-style numbers, addresses, TLS configuration and the
// description of a secure connection.
#include <QCryptographicHash>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslSocket>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "terminal/bindings/qt_tessnet_entry.h"
#include "terminal/session/inet_text.h"

namespace ostrel {

void LaterDeleter::operator()(QObject* object) const {
    if (object == nullptr) return;
    object->disconnect();
    if (auto* socket = qobject_cast<QAbstractSocket*>(object)) socket->abort();
    if (auto* server = qobject_cast<QTcpServer*>(object)) server->close();
    if (auto* timer = qobject_cast<QTimer*>(object)) timer->stop();
    object->deleteLater();
}

int InetErrorOfSocket(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return kInetErrorConnectionRefused;
        case QAbstractSocket::RemoteHostClosedError:
            return kInetErrorConnectionReset;
        case QAbstractSocket::HostNotFoundError:
            return kInetErrorHostNotFound;
        case QAbstractSocket::SocketAccessError:
            return kInetErrorAccess;
        case QAbstractSocket::SocketResourceError:
            return kInetErrorTooManySockets;
        case QAbstractSocket::SocketTimeoutError:
            return kInetErrorTimedOut;
        case QAbstractSocket::DatagramTooLargeError:
            return kInetErrorMessageSize;
        case QAbstractSocket::NetworkError:
            return kInetErrorNetworkUnreachable;
        case QAbstractSocket::AddressInUseError:
            return kInetErrorAddressInUse;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return kInetErrorAddressNotAvailable;
        case QAbstractSocket::UnsupportedSocketOperationError:
            return kInetErrorProtocolNotSupported;
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return kInetErrorTlsHandshake;
        case QAbstractSocket::TemporaryError:
            return kInetErrorWouldBlock;
        case QAbstractSocket::OperationError:
            return kInetErrorNotConnected;
        default:
            return kInetErrorUnknown;
    }
}

InetAddress ToInetAddress(const QHostAddress& address) {
    InetAddress out;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);  // also unwraps IPv4-mapped IPv6
    if (isV4) {
        out.family = InetAddress::Family::V4;
        out.bytes[0] = static_cast<std::uint8_t>(v4 >> 24);
        out.bytes[1] = static_cast<std::uint8_t>(v4 >> 16);
        out.bytes[2] = static_cast<std::uint8_t>(v4 >> 8);
        out.bytes[3] = static_cast<std::uint8_t>(v4);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        out.family = InetAddress::Family::V6;
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        for (int i = 0; i < 16; ++i)
            out.bytes[static_cast<std::size_t>(i)] = v6[i];
    }
    return out;
}

QHostAddress ToQHostAddress(const InetAddress& address) {
    const auto& b = address.bytes;
    if (address.family == InetAddress::Family::V4)
        return QHostAddress(static_cast<quint32>(b[0]) << 24 | static_cast<quint32>(b[1]) << 16 |
                            static_cast<quint32>(b[2]) << 8 | b[3]);
    if (address.family == InetAddress::Family::V6) return QHostAddress(b.data());
    return {};
}

bool TlsConfigurationFor(unsigned protocols, QSslConfiguration* configuration, int* error) {
    constexpr unsigned kKnown = kSecuritySsl2 | kSecuritySsl3 | kSecurityTls1;
    if ((protocols & ~kKnown) != 0 || protocols == 0) {
        *error = kInetErrorInvalidArgument;
        return false;
    }
    if ((protocols & kSecurityTls1) == 0) {
        *error = kInetErrorTlsProtocol;
        return false;
    }
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    // Devices present self-signed certificates: the connection proceeds and the terminal shows
    // whether the certificate verified.
    c.setPeerVerifyMode(QSslSocket::QueryPeer);
    c.setProtocol(QSsl::AnyProtocol);
    // Control processors that speak only TLS 1.0 sign with SHA-1 and offer old cipher suites,
    // which the library's default security level refuses.
    c.setBackendConfigurationOption("CipherString", "DEFAULT:@SECLEVEL=0");
    c.setBackendConfigurationOption("MinProtocol", "TLSv1");
    // With SSL 3.0 in the set the choice is automatic: the best version both sides allow.
    if ((protocols & kSecuritySsl3) == 0) c.setBackendConfigurationOption("MaxProtocol", "TLSv1");
    *configuration = c;
    return true;
}

namespace {

std::string ProtocolName(const QSslSocket& socket) {
    const QSsl::SslProtocol protocol = socket.sessionProtocol();
    if (protocol == QSsl::TlsV1_3) return "TLS 1.3";
    if (protocol == QSsl::TlsV1_2) return "TLS 1.2";
    // The older enumerators are deprecated; their values are 0 and 1.
    if (static_cast<int>(protocol) == 1) return "TLS 1.1";
    if (static_cast<int>(protocol) == 0) return "TLS 1.0";
    return "TLS";
}

std::string SubjectOf(const QSslCertificate& certificate) {
    std::string subject;
    for (const QByteArray& attribute : certificate.subjectInfoAttributes()) {
        for (const QString& value : certificate.subjectInfo(attribute)) {
            if (!subject.empty()) subject += ", ";
            subject += attribute.toStdString() + "=" + value.toStdString();
        }
    }
    return subject;
}

}  // namespace

InetSecurityInfo SecurityInfoOf(const QSslSocket& socket, const std::string& hostName) {
    InetSecurityInfo info;
    info.protocol = ProtocolName(socket);
    info.cipher = socket.sessionCipher().name().toStdString();
    const QSslCertificate peer = socket.peerCertificate();
    info.subject = SubjectOf(peer);
    info.sha256 = peer.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
    const QList<QSslError> errors =
        QSslCertificate::verify(socket.peerCertificateChain(), QString::fromStdString(hostName));
    info.verified = errors.isEmpty() && !peer.isNull();
    if (!errors.isEmpty())
        info.verifyError = errors.first().errorString().toStdString();
    else if (peer.isNull())
        info.verifyError = "no certificate";
    return info;
}

qint64 UnreadBytes(const TessnetEntry& entry) {
    if (!entry.socket) return 0;
    if (entry.kind != TessnetKind::Udp) return entry.socket->bytesAvailable();
    // Every datagram counts, an empty one too.
    return entry.queuedBytes - entry.datagramOffset + static_cast<qint64>(entry.datagrams.size());
}

void PullDatagrams(TessnetEntry& entry) {
    auto* udp = static_cast<QUdpSocket*>(entry.socket.get());
    while (entry.queuedBytes < kUdpQueueLimit && udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp->receiveDatagram(udp->pendingDatagramSize());
        if (!datagram.isValid()) break;
        TessnetEntry::Datagram queued;
        queued.data = datagram.data();
        queued.sender = ToInetAddress(datagram.senderAddress());
        queued.port = datagram.senderPort() < 0 ? 0u : static_cast<unsigned>(datagram.senderPort());
        entry.queuedBytes += queued.data.size();
        entry.datagrams.push_back(std::move(queued));
    }
}

namespace {
thread_local std::string tlsFailureDetail;
}

void SetTlsFailureDetail(std::string detail) {
    tlsFailureDetail = std::move(detail);
}

std::string TlsFailureText() {
    std::string text(InetErrorText(kInetErrorTlsHandshake));
    if (!tlsFailureDetail.empty()) text += " " + tlsFailureDetail;
    return text;
}

}  // namespace ostrel
