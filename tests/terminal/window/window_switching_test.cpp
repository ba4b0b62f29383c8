// Switching sessions through the real main window, socket library, serial device and SSH library:
// every session type followed by every other (and by itself), once through the Session menu and
// once through File > Open Session, each followed by Restart and by a line sent and a reply
// received, against real peers on loopback started once (a socat serial pair, TCP and UDP
// devices, OpenSSH's sshd with the SSH library's password account when there is one).
#include <gtest/gtest.h>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <cstdio>
#include <fstream>
#include <map>
#include <vector>

#include "../bindings/pty_pair.h"
#include "ssh_peers.h"
#include "terminal/bindings/tessan_library.h"
#include "terminal/persist/base64.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
namespace peers = tessan::testing;

using T = SessionType;

// A circuit through every ordered pair of the types (each type after itself too): Hierholzer's
// walk on the complete directed graph with loops.
std::vector<T> EveryPairInOneWalk(const std::vector<T>& types) {
    std::map<T, std::vector<T>> unused;
    for (T from : types)
        unused[from] = types;
    std::vector<T> stack{types.front()};
    std::vector<T> walk;
    while (!stack.empty()) {
        std::vector<T>& next = unused[stack.back()];
        if (next.empty()) {
            walk.push_back(stack.back());
            stack.pop_back();
        } else {
            stack.push_back(next.back());
            next.pop_back();
        }
    }
    return {walk.rbegin(), walk.rend()};
}

TessanLibrary& SharedSsh() {
    static TessanLibrary ssh;
    return ssh;
}

class SwitchingTest : public WindowTest {
protected:
    SwitchingTest() : WindowTest(&SharedSsh()) {}

    static void SetUpTestSuite() {
        WindowTest::SetUpTestSuite();
        sshd_ = new peers::SshdPeer;
        sshdStarted_ =
            peers::PasswordAccount().error.empty() && sshd_->Start(peers::QuickSshdOptions());
    }
    static void TearDownTestSuite() {
        delete sshd_;
        sshd_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(serial_.Ready());
        ASSERT_TRUE(tcpDevice_.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&tcpDevice_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* peer = tcpDevice_.nextPendingConnection()) {
                device_.reset(peer);
                ++accepted_;
            }
        });
        ASSERT_TRUE(udpDevice_.bind(QHostAddress::LocalHost, 0));
        tcpServerPort_ = FreePort();
        udpServerPort_ = FreePort();
        window_.SetSessionDialogHook([this](SessionType type, SessionSettings& s) {
            Fill(type, s);
            return DialogResult::Confirmed;
        });
    }

    // The fields a dialog of this type confirms.
    void Fill(T type, SessionSettings& s) {
        s.inUse = true;
        s.host = "127.0.0.1";
        s.port = std::to_string(PortOf(type));
        s.type = type;
        s.serialPort = serial_.TerminalEnd();
        s.baud = 9600;
        s.dataBits = 8;
        s.sshUser = peers::PasswordAccount().user;
        s.sshPassword = peers::PasswordAccount().password;
    }
    int PortOf(T type) const {
        switch (type) {
            case T::TcpClient:
                return tcpDevice_.serverPort();
            case T::TcpServer:
                return tcpServerPort_;
            case T::UdpClient:
                return udpDevice_.localPort();
            case T::UdpServer:
                return udpServerPort_;
            case T::SshClient:
                return sshd_->Port();
            default:
                return 0;
        }
    }

    // A session file of the type, as Save Session would write it.
    std::string SessionFileOf(T type) {
        const std::string path =
            (home_ / ("switch-" + std::to_string(static_cast<int>(type)) + ".ini")).string();
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << "[Connection Settings]\r\nType=" << static_cast<int>(type)
             << "\r\nIn Use=1\r\nURL=127.0.0.1\r\nTCP UDP Port=" << PortOf(type)
             << "\r\nLogin=" << peers::PasswordAccount().user
             << "\r\nPassword=" << Base64Encode(peers::PasswordAccount().password)
             << "\r\n[Send Settings]\r\nLine Terminator=1\r\n[Control System]\r\nMode=3\r\n"
             << "[Serial Settings]\r\nCOM Port=" << serial_.TerminalEnd()
             << "\r\nBaud=9600\r\nData=8\r\n";
        return path;
    }

    void OpenThroughMenu(T type) {
        static const std::map<T, Qt::Key> kKeys = {
            {T::Serial, Qt::Key_F4},    {T::TcpClient, Qt::Key_F5}, {T::TcpServer, Qt::Key_F6},
            {T::UdpClient, Qt::Key_F7}, {T::UdpServer, Qt::Key_F8}, {T::SshClient, Qt::Key_F9}};
        Key(kKeys.at(type));
    }
    void OpenThroughFile(T type) {
        const std::string path = SessionFileOf(type);
        window_.SetFileDialogHook([path](const FileChoice&) { return path; });
        window_.Action(CommandId::OpenSession)->trigger();
    }

    // Waits until the session of the type, opened after `accepted` connections reached the TCP
    // device, can send.
    bool Ready(T type, int accepted) {
        switch (type) {
            case T::TcpClient:
                return WaitUntil(
                           [&] { return Status(0).starts_with("TCP Client Connected at:"); }) &&
                       WaitUntil([&] { return accepted_ > accepted; });
            case T::SshClient:
                return WaitUntil([&] { return Status(0).starts_with("SSH Client Connected at:"); },
                                 15000) &&
                       WaitUntil([&] { return PaneEndsWith("$ "); }, 15000);
            case T::TcpServer:
                return Status(0) == "TCP Server Active on Port: " + std::to_string(tcpServerPort_);
            case T::UdpClient:
                return Status(0).starts_with("UDP Client Ready - ");
            case T::UdpServer:
                return Status(0) == "UDP Server Ready - Port:" + std::to_string(udpServerPort_);
            case T::Serial:
                return Status(0).starts_with(serial_.TerminalEnd() + " - 9600");
            default:
                return false;
        }
    }

    // One line sent through the input box reaches the peer, and the peer's reply is shown.
    void Exchange(T type) {
        const std::string mark = "mark" + std::to_string(++exchanges_);
        const std::size_t from = PaneText().size();
        auto shown = [&](const std::string& text) {
            return WaitUntil([&] { return PaneText().find(text, from) != std::string::npos; });
        };
        switch (type) {
            case T::Serial:
                Type(QString::fromStdString(mark));
                EXPECT_EQ(serial_.Receive(mark.size() + 2), mark + "\r\n");
                serial_.Send("re-" + mark + "\r\n");
                break;
            case T::TcpClient:
                Type(QString::fromStdString(mark));
                ASSERT_TRUE(WaitUntil(
                    [&] { return device_->bytesAvailable() >= qint64(mark.size() + 2); }));
                EXPECT_EQ(device_->readAll().toStdString(), mark + "\r\n");
                device_->write(QByteArray::fromStdString("re-" + mark + "\r\n"));
                break;
            case T::TcpServer: {
                QTcpSocket client;
                client.connectToHost(QHostAddress::LocalHost, tcpServerPort_);
                ASSERT_TRUE(client.waitForConnected(5000));
                ASSERT_TRUE(shown(":" + std::to_string(client.localPort()) + "..."));
                Type(QString::fromStdString(mark));
                ASSERT_TRUE(
                    WaitUntil([&] { return client.bytesAvailable() >= qint64(mark.size() + 2); }));
                EXPECT_EQ(client.readAll().toStdString(), mark + "\r\n");
                client.write(QByteArray::fromStdString("re-" + mark + "\r\n"));
                ASSERT_TRUE(shown("re-" + mark));
                return;
            }
            case T::UdpClient: {
                Type(QString::fromStdString(mark));
                ASSERT_TRUE(WaitUntil([&] { return udpDevice_.hasPendingDatagrams(); }));
                const QNetworkDatagram got = udpDevice_.receiveDatagram();
                EXPECT_EQ(got.data().toStdString(), mark + "\r\n");
                udpDevice_.writeDatagram(QByteArray::fromStdString("re-" + mark + "\r\n"),
                                         got.senderAddress(),
                                         static_cast<quint16>(got.senderPort()));
                break;
            }
            case T::UdpServer: {
                QUdpSocket sender;
                ASSERT_TRUE(sender.bind(QHostAddress::LocalHost, 0));
                sender.writeDatagram(QByteArray::fromStdString("hi-" + mark),
                                     QHostAddress::LocalHost, udpServerPort_);
                ASSERT_TRUE(shown("hi-" + mark));
                Type(QString::fromStdString(mark));
                ASSERT_TRUE(WaitUntil([&] { return sender.hasPendingDatagrams(); }));
                EXPECT_EQ(sender.receiveDatagram().data().toStdString(), mark + "\r\n");
                return;
            }
            case T::SshClient:
                // The shell's output, not the echo of the command typed.
                Type(QString::fromStdString("echo re-" + mark));
                EXPECT_TRUE(shown("\nre-" + mark)) << PaneText().substr(from);
                return;
            default:
                FAIL();
        }
        EXPECT_TRUE(shown("re-" + mark)) << PaneText().substr(from);
    }

    static inline peers::SshdPeer* sshd_ = nullptr;
    static inline bool sshdStarted_ = false;
    PtyPair serial_;
    QTcpServer tcpDevice_;
    std::unique_ptr<QTcpSocket> device_;
    QUdpSocket udpDevice_;
    quint16 tcpServerPort_ = 0;
    quint16 udpServerPort_ = 0;
    int exchanges_ = 0;
    int accepted_ = 0;
};

TEST_F(SwitchingTest, EveryTypeAfterEveryOtherSendsAndReceives) {
    std::vector<T> types = {T::Serial, T::TcpClient, T::TcpServer, T::UdpClient, T::UdpServer};
    if (sshdStarted_)
        types.push_back(T::SshClient);
    else
        std::printf("sshd with the password account is not available: no SSH legs\n");
    const std::vector<T> walk = EveryPairInOneWalk(types);
    ASSERT_EQ(walk.size(), types.size() * types.size() + 1);

    for (const bool throughFile : {false, true}) {
        for (std::size_t i = 0; i < walk.size(); ++i) {
            const T type = walk[i];
            SCOPED_TRACE((throughFile ? "Open Session: " : "Session menu: ") +
                         std::to_string(static_cast<int>(i > 0 ? walk[i - 1] : type)) + " then " +
                         std::to_string(static_cast<int>(type)));
            const std::size_t from = PaneText().size();
            int accepted = accepted_;
            if (throughFile)
                OpenThroughFile(type);
            else
                OpenThroughMenu(type);
            ASSERT_TRUE(Ready(type, accepted)) << PaneText().substr(from);
            Exchange(type);
            accepted = accepted_;
            Key(Qt::Key_R, Qt::ControlModifier);  // Restart
            ASSERT_TRUE(Ready(type, accepted)) << PaneText().substr(from);
            Exchange(type);
            ASSERT_EQ(PaneText().find("Cannot send", from), std::string::npos)
                << PaneText().substr(from);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace ostrel
