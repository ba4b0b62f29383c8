// Every session type driven through the real main window against real peers on loopback, and
// the real new-session dialogs answered as a user would.
#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "terminal/session/http_request.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

TEST_F(WindowTest, TcpServerSendsToBothClientsAndShowsWhatEitherSends) {
    const quint16 port = FreePort();
    DialogAnswers("", std::to_string(port));
    Key(Qt::Key_F6);
    EXPECT_TRUE(PaneEndsWith("\r\nServer listening for connections on Port " +
                             std::to_string(port) + "..."));
    EXPECT_EQ(Status(0), "TCP Server Active on Port: " + std::to_string(port));

    QTcpSocket a, b;
    a.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return PaneText().ends_with(":" + std::to_string(a.localPort()) + "..."); }));
    b.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return PaneText().ends_with(":" + std::to_string(b.localPort()) + "..."); }));
    EXPECT_NE(PaneText().find(" connected to server from address 127.0.0.1:"), std::string::npos);

    Type("ALL ON");
    ASSERT_TRUE(WaitUntil([&] { return a.bytesAvailable() == 8 && b.bytesAvailable() == 8; }));
    EXPECT_EQ(a.readAll(), "ALL ON\r\n");
    EXPECT_EQ(b.readAll(), "ALL ON\r\n");
    a.write("from a\r\n");
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("from a\r\n"); }));
    b.write("from b\r\n");
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("from b\r\n"); }));
    b.disconnectFromHost();
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("A Client has disconnected from the server..."); }));
    Key(Qt::Key_F12);
    EXPECT_EQ(Status(0), "No Active Session...");
    ASSERT_TRUE(WaitUntil([&] { return a.state() == QAbstractSocket::UnconnectedState; }));
}

TEST_F(WindowTest, UdpClientAndServerExchangeDatagrams) {
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
    DialogAnswers("127.0.0.1", std::to_string(device.localPort()));
    Key(Qt::Key_F7);
    EXPECT_EQ(Status(0), "UDP Client Ready - 127.0.0.1:" + std::to_string(device.localPort()));
    Type("PING$00");
    ASSERT_TRUE(WaitUntil([&] { return device.hasPendingDatagrams(); }));
    const QNetworkDatagram ping = device.receiveDatagram();
    EXPECT_EQ(ping.data(), QByteArray("PING\0\r\n", 7));
    device.writeDatagram("PONG\r\n", ping.senderAddress(), static_cast<quint16>(ping.senderPort()));
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("PONG\r\n"); }));

    const quint16 port = FreePort();
    DialogAnswers("", std::to_string(port));
    Key(Qt::Key_F8);
    EXPECT_EQ(Status(0), "UDP Server Ready - Port:" + std::to_string(port));
    Type("nobody yet");  // no datagram has come: there is nobody to answer
    EXPECT_TRUE(PaneEndsWith("The address is not available (no peer to send to)."));

    // The server answers the sender of the most recent datagram, and names it.
    QUdpSocket first, second;
    ASSERT_TRUE(first.bind(QHostAddress::LocalHost, 0));
    ASSERT_TRUE(second.bind(QHostAddress::LocalHost, 0));
    auto answers = [](const QUdpSocket& peer) {
        return "UDP Server answers 127.0.0.1:" + std::to_string(peer.localPort()) +
               ", the sender of the last datagram...";
    };
    auto next = [](QUdpSocket& peer) {
        return WaitUntil([&] { return peer.hasPendingDatagrams(); })
                   ? peer.receiveDatagram().data().toStdString()
                   : std::string("(nothing)");
    };
    first.writeDatagram("status?", QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith(answers(first)); }));
    EXPECT_NE(PaneText().find("status?"), std::string::npos);
    Type("ON");
    EXPECT_EQ(next(first), "ON\r\n");
    second.writeDatagram("me too", QHostAddress::LocalHost, port);
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith(answers(second)); }));
    Type("OFF");
    EXPECT_EQ(next(second), "OFF\r\n");
    EXPECT_FALSE(first.hasPendingDatagrams());
    // Remote echo returns each datagram to its own sender.
    Key(Qt::Key_W, Qt::ControlModifier);
    first.writeDatagram("one", QHostAddress::LocalHost, port);
    EXPECT_EQ(next(first), "one");
    second.writeDatagram("two", QHostAddress::LocalHost, port);
    EXPECT_EQ(next(second), "two");
}

TEST_F(WindowTest, TypedTextIsWindows1252AndAPollKeepsTheHalfTypedLine) {
    QUdpSocket device;
    ASSERT_TRUE(device.bind(QHostAddress::LocalHost, 0));
    DialogAnswers("127.0.0.1", std::to_string(device.localPort()));
    Key(Qt::Key_F7);
    auto next = [&device] {
        return WaitUntil([&] { return device.hasPendingDatagrams(); })
                   ? device.receiveDatagram().data().toStdString()
                   : std::string("(nothing)");
    };
    // Characters beyond ASCII arrive as an input method would commit them.
    auto typeText = [this](const QString& text) {
        window_.InputView().insert(text);
        Key(Qt::Key_Return);
    };
    typeText(
        QString::fromUtf8("caf\xC3\xA9 \xE2\x82\xAC"
                          "5 \xE2\x80\x9Cq\xE2\x80\x9D"));
    EXPECT_EQ(next(),
              "caf\xE9 \x80"
              "5 \x93q\x94\r\n");

    // A character the set lacks: nothing is sent, the box keeps the line, a Status line says why.
    const QString lacking = QString::fromUtf8("A\xD0\x96");
    typeText(lacking);
    EXPECT_TRUE(
        PaneEndsWith("The character U+0416 cannot be sent: it is not in the Windows-1252 "
                     "character set. Nothing was sent; write the bytes the device "
                     "expects as $XX..."));
    EXPECT_EQ(window_.InputView().text(), lacking);
    Pump(50);
    EXPECT_FALSE(device.hasPendingDatagrams());

    // A poll string goes out through the box; what the user was typing stays, caret and all.
    window_.InputView().setText(QString::fromUtf8("HALF \xD0\x96"));
    window_.InputView().setCursorPosition(2);
    controller_.Poll().SetText("STATUS?");
    controller_.Poll().SetOn(true);
    controller_.OnTimer(TimerId::Poll);
    EXPECT_EQ(next(), "STATUS?\r\n");
    EXPECT_EQ(window_.InputView().text(), QString::fromUtf8("HALF \xD0\x96"));
    EXPECT_EQ(window_.InputView().cursorPosition(), 2);
    controller_.Poll().SetOn(false);
}

TEST_F(WindowTest, SecureClientShowsTheCertificateOfASelfSignedDevice) {
    SelfSignedCertificate certificate;
    ASSERT_TRUE(certificate.ok);
    TlsServer device(certificate, {});
    ASSERT_TRUE(device.Started());
    controller_.Settings().secure = true;
    DialogAnswers("127.0.0.1", std::to_string(device.Port()));
    Key(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return Status(0).starts_with("TCP Client Connected at:"); }));
    EXPECT_NE(PaneText().find("\r\nSecurity credentials created...\r\n"), std::string::npos);
    const std::string expected = "TCP Client Connected...\r\nSecure connection: TLS 1.3";
    EXPECT_NE(PaneText().find(expected), std::string::npos);
    EXPECT_NE(PaneText().find("SHA-256 " + certificate.Sha256()), std::string::npos);
    EXPECT_NE(PaneText().find("NOT verified against the system's trusted authorities"),
              std::string::npos);
    Type("secure hello");
    QByteArray seen;
    ASSERT_TRUE(WaitUntil([&] {
        seen += device.Process().readAllStandardOutput();
        return seen.contains("secure hello");
    }));

    // The certificate is remembered for the host and port, as SSH host keys are ...
    const std::filesystem::path remembered = home_ / "tls_certificates.txt";
    const std::string line =
        "127.0.0.1 " + std::to_string(device.Port()) + " " + certificate.Sha256() + "\n";
    std::ifstream in(remembered);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(text.str().ends_with(line)) << text.str();
    EXPECT_TRUE(text.str().starts_with("# TLS certificate fingerprints")) << text.str();
    EXPECT_EQ(PaneText().find("WARNING"), std::string::npos);

    // ... and another certificate on the next connection is warned about; the session goes on.
    std::ofstream(remembered, std::ios::trunc) << "127.0.0.1 " << device.Port() << " "
                                               << "AA:BB:CC"
                                               << "\n";
    const std::size_t from = PaneText().size();
    Key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(
        WaitUntil([&] { return PaneText().find("Secure connection", from) != std::string::npos; }));
    EXPECT_NE(PaneText().find("WARNING: the TLS certificate of 127.0.0.1 port " +
                                  std::to_string(device.Port()) +
                                  " has CHANGED since the last connection!\r\n"
                                  "   Remembered fingerprint: AA:BB:CC\r\n"
                                  "   Presented fingerprint:  " +
                                  certificate.Sha256(),
                              from),
              std::string::npos)
        << PaneText().substr(from);
    EXPECT_TRUE(Status(0).starts_with("TCP Client Connected at:"));
}

TEST_F(WindowTest, HttpModeSendsTheGeneratedRequestAndShowsTheReply) {
    QTcpServer web;
    ASSERT_TRUE(web.listen(QHostAddress::LocalHost, 0));
    QByteArray request;
    QObject::connect(&web, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = web.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&, peer] {
            request += peer->readAll();
            if (!request.endsWith("\r\n\r\n")) return;
            peer->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello");
            peer->disconnectFromHost();
        });
    });
    SessionSettings& s = controller_.Settings();
    s.httpMode = true;
    s.httpRequest = GenerateHttpRequest(" 127.0.0.1 ");
    DialogAnswers("127.0.0.1", std::to_string(web.serverPort()));
    Key(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("TCP Client Connection Closed..."); }));
    EXPECT_EQ(request.toStdString(), s.httpRequest);
    EXPECT_NE(PaneText().find("\r\nSending the following header = :\r\n\r\nGET / HTTP/1.0\r\nHost: 127.0.0.1\r\n"),
              std::string::npos);
    EXPECT_EQ(ColourOf("GET / HTTP/1.0"), colours_[ColourSlot::Informational]);
    EXPECT_NE(PaneText().find("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nhello"),
              std::string::npos);
    EXPECT_EQ(Status(0), "TCP Client Disconnected at: 127.0.0.1:" + std::to_string(web.serverPort()));

    // A line typed now is sent in place of the request, on a new connection.
    request.clear();
    Type("GET /status HTTP/1.0$0D$0A");
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("TCP Client Connection Closed..."); }));
    EXPECT_EQ(request, "GET /status HTTP/1.0\r\n\r\n");
}

TEST_F(WindowTest, SerialSessionThroughAPseudoTerminal) {
    QTemporaryDir folder;
    const QString terminal = folder.filePath(QStringLiteral("terminal"));
    const QString equipment = folder.filePath(QStringLiteral("equipment"));
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + terminal,
                                          QStringLiteral("pty,raw,echo=0,link=") + equipment});
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(terminal) && QFile::exists(equipment); }));
    const int fd = ::open(equipment.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);

    window_.SetSessionDialogHook([&](SessionType type, SessionSettings& s) {
        EXPECT_EQ(type, SessionType::Serial);
        s.type = SessionType::Serial;
        s.serialPort = terminal.toStdString();
        s.baud = 9600;
        s.dataBits = 8;
        s.inUse = true;
        return DialogResult::Confirmed;
    });
    Key(Qt::Key_F4);
    EXPECT_EQ(Status(0), terminal.toStdString() + " - 9600, None, 8, 1  Flow:None");
    EXPECT_TRUE(window_.TimerActive(TimerId::SerialRead));
    ASSERT_EQ(::write(fd, "OK>\r\n", 5), 5);
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("OK>\r\n"); }));  // the window's 50 ms timer
    Type("POWER?");
    std::string got;
    ASSERT_TRUE(WaitUntil([&] {
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        return got == "POWER?\r\n";
    }));
    ::close(fd);
    socat.terminate();
    socat.waitForFinished(3000);
    ASSERT_TRUE(WaitUntil([&] { return PaneText().find("is no longer available") != std::string::npos; }));
    EXPECT_EQ(Status(0), "No Active Session...");
    EXPECT_FALSE(window_.TimerActive(TimerId::SerialRead));
}

TEST_F(WindowTest, RealTcpClientDialogFillsTheSession) {
    QTcpServer device;
    ASSERT_TRUE(device.listen(QHostAddress::LocalHost, 0));
    WhenDialogOpens([&](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "FORM_OSTREL_FRMTCPCLIENT_CLASS");
        auto* port = dialog->findChild<QLineEdit*>(QStringLiteral("port"));
        EXPECT_EQ(port->text(), "23");
        port->setText(QString::number(device.serverPort()));
        dialog->findChild<QLineEdit*>(QStringLiteral("host"))->setText(QStringLiteral("  "));
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    Key(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] {
        return Status(0) == "TCP Client Connected at: 127.0.0.1:" + std::to_string(device.serverPort());
    }));

    WhenDialogOpens([](QWidget* dialog) {
        dialog->findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    });
    QApplication::setActiveWindow(&window_);
    window_.InputView().setFocus();
    Key(Qt::Key_F5);
    EXPECT_EQ(Status(0), "No Active Session...");
    EXPECT_EQ(PaneText().find("Attempting TCP Client Connection...",
                              PaneText().rfind("TCP Client Connected...")),
              std::string::npos);
}

}  // namespace
}  // namespace ostrel
