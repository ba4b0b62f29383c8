// Helpers for tests that run Qt code: one application object per test program, waiting while
// the event loop runs, free loopback ports and the openssl command for TLS peers.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace ostrel::testing {

// The test program's main() makes the application object; tests check it is there.
inline void EnsureApplication() {
    ASSERT_NE(QCoreApplication::instance(), nullptr) << "link qt_core_test_main.cpp";
}

// Runs the event loop until the condition holds or the time is up; returns the condition.
inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void Pump(int milliseconds) {
    WaitUntil([] { return false; }, milliseconds);
}

// A loopback port nobody listens on right now.
inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// A self-signed certificate and key made with the openssl command in a temporary folder.
struct SelfSignedCertificate {
    QTemporaryDir folder;
    QString certificate;
    QString key;
    bool ok = false;

    explicit SelfSignedCertificate(const QString& subject = QStringLiteral("/CN=device.local/O=Ostrel Test")) {
        certificate = folder.filePath(QStringLiteral("cert.pem"));
        key = folder.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                       key, QStringLiteral("-out"), certificate, QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), subject});
        ok = openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    }

    // "AB:CD:..." as openssl reports the certificate's SHA-256 fingerprint.
    std::string Sha256() const {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                       QStringLiteral("-sha256"), QStringLiteral("-in"), certificate});
        openssl.waitForFinished(10000);
        const QString out = QString::fromLatin1(openssl.readAllStandardOutput()).trimmed();
        return out.section(QLatin1Char('='), 1).toStdString();
    }
};

// An "openssl s_server" on a loopback port: what clients send appears on its standard output,
// what is written to its standard input goes to the client.
class TlsServer {
public:
    TlsServer(const SelfSignedCertificate& certificate, const QStringList& extra) {
        port_ = FreePort();
        QStringList arguments{QStringLiteral("s_server"), QStringLiteral("-accept"),
                              QString::number(port_), QStringLiteral("-cert"), certificate.certificate,
                              QStringLiteral("-key"), certificate.key, QStringLiteral("-quiet")};
        arguments << extra;
        process_.start(QStringLiteral("openssl"), arguments);
        started_ = process_.waitForStarted(10000);
        // Ready once it accepts connections.
        started_ = started_ && WaitUntil([this] {
                       QTcpSocket probe;
                       probe.connectToHost(QHostAddress::LocalHost, port_);
                       return probe.waitForConnected(100);
                   }, 10000);
    }
    ~TlsServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    bool Started() const { return started_; }
    quint16 Port() const { return port_; }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    quint16 port_ = 0;
    bool started_ = false;
};

}  // namespace ostrel::testing
