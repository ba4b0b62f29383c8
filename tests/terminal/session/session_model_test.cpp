#include "terminal/session/session_model.h"

#include <gtest/gtest.h>

#include "session_fakes.h"
#include "terminal/core/transmit.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;

long CountOf(const Strings& names, std::string_view name) {
    return std::count(names.begin(), names.end(), name);
}

class SessionModelTest : public ::testing::Test {
protected:
    // The dialog confirms with the given host and port.
    void ConfirmWith(std::string host, std::string port) {
        host_.dialog = [host, port](SessionType type, SessionSettings& s) {
            s.host = host;
            s.port = port;
            s.inUse = true;
            if (type == SessionType::Serial) s.type = SessionType::Serial;
            return DialogResult::Confirmed;
        };
    }
    std::string Status() const { return model_.StatusText().value_or("<unchanged>"); }
    int Handle() const { return settings_.handle; }

    SessionSettings settings_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    RecordingHost host_;
    SessionModel model_{settings_, net_, serial_, host_};
};

TEST_F(SessionModelTest, TcpClientFromMenuWithBlankHostConnectsToLoopback) {
    ConfirmWith("  ", "23");
    model_.OpenFromMenu(SessionType::TcpClient);
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Attempting TCP Client Connection...", "Opening socket: 127.0.0.1",
                       "Windows is attempting to connect..."}));
    ASSERT_EQ(net_.calls.back().name, "AsyncConnect");
    EXPECT_EQ(net_.calls.back().host, "127.0.0.1");
    EXPECT_EQ(net_.calls.back().port, 23u);
    EXPECT_EQ(net_.calls.back().protocol, kProtocolTcp);
    EXPECT_EQ(Status(), "TCP Client Disconnected at: 127.0.0.1:23");
    EXPECT_EQ(host_.repaints, 1);

    net_.Notify(Handle(), kInetEventConnect);
    EXPECT_EQ(settings_.state, ConnectionState::Connected);
    EXPECT_EQ(host_.StatusLines().back(), "TCP Client Connected...");
    EXPECT_EQ(Status(), "TCP Client Connected at: 127.0.0.1:23");
    EXPECT_EQ(settings_.lastHandle, Handle());

    net_.Notify(Handle(), kInetEventDisconnect);
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_EQ(settings_.lastHandle, -1);
    EXPECT_EQ(host_.StatusLines().back(), "TCP Client Connection Closed...");
}

TEST_F(SessionModelTest, CancelledDialogLeavesThePreviousSessionClosed) {
    ConfirmWith("10.0.0.9", "5000");
    model_.OpenFromMenu(SessionType::UdpClient);
    const int udp = Handle();
    host_.dialog = nullptr;  // cancels
    model_.OpenFromMenu(SessionType::TcpClient);
    // The old session went first, before the dialog.
    EXPECT_EQ(net_.calls.back().name, "Disconnect");
    EXPECT_EQ(net_.calls.back().handle, udp);
    EXPECT_FALSE(settings_.inUse);
    EXPECT_EQ(Status(), "No Active Session...");
    for (const std::string& line : host_.StatusLines())
        EXPECT_NE(line, "Attempting TCP Client Connection...");
}

TEST_F(SessionModelTest, FailedClientOpensShowTheirLinesAndResetTheRecord) {
    struct Case {
        SessionType type;
        Strings lines;
    };
    const Case cases[] = {
        {SessionType::TcpClient,
         {"Attempting TCP Client Connection...", "Opening socket: device.invalid",
          "TCP Client FAILED to open!", "   IP/URL = device.invalid", "   Port   = 4998",
          "The host name could not be resolved."}},
        {SessionType::UdpClient,
         {"UDP Client FAILED to open!", "   IP/URL = device.invalid", "   Port   = 4998",
          "The host name could not be resolved."}},
        {SessionType::UdpServer, {"UDP Server FAILED to open!", "The host name could not be resolved."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        host_.shown.clear();
        ConfirmWith(" device.invalid ", "4998 ");
        net_.failNextOpen = true;
        model_.OpenFromMenu(c.type);
        EXPECT_EQ(host_.StatusLines(), c.lines);
        EXPECT_FALSE(settings_.inUse);
        EXPECT_EQ(settings_.type, SessionType::None);
        EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
        EXPECT_EQ(Handle(), -1);
        EXPECT_EQ(Status(), "No Active Session...");
    }
}

TEST_F(SessionModelTest, SecureClientUsesTheProtocolSetOfItsChoice) {
    const std::pair<TlsChoice, unsigned> choices[] = {
        {TlsChoice::Auto, 10}, {TlsChoice::Ssl2Ssl3, 3}, {TlsChoice::Tls10, 8}};
    for (const auto& [choice, set] : choices) {
        settings_.secure = true;
        settings_.tlsChoice = choice;
        ConfirmWith("tls.local", "443");
        model_.OpenFromMenu(SessionType::TcpClient);
        const auto create = std::find_if(net_.calls.rbegin(), net_.calls.rend(), [](auto& c) {
            return c.name == "CreateCredentials";
        });
        ASSERT_NE(create, net_.calls.rend());
        EXPECT_EQ(create->port, set);
        EXPECT_EQ(net_.calls.back().name, "AsyncConnectEx");
        EXPECT_EQ(net_.calls.back().options, kInetOptionSecure);
    }
}

TEST_F(SessionModelTest, SecureClientShowsCertificateAndReleasesCredentialsOnDisconnect) {
    settings_.secure = true;
    net_.securityInfo = {"TLS 1.2", "ECDHE-RSA-AES128-GCM-SHA256", "CN=projector", "AB:CD", false,
                         "The certificate is self-signed, and untrusted"};
    ConfirmWith("10.1.1.1", "443");
    model_.OpenFromMenu(SessionType::TcpClient);
    EXPECT_EQ(host_.StatusLines()[1], "Security credentials created...");
    EXPECT_EQ(net_.liveCredentials.size(), 1u);
    net_.Notify(Handle(), kInetEventConnect);
    EXPECT_EQ(host_.StatusLines().back(),
              "Secure connection: TLS 1.2, ECDHE-RSA-AES128-GCM-SHA256 - peer certificate "
              "CN=projector, SHA-256 AB:CD, NOT verified against the system's trusted "
              "authorities (The certificate is self-signed, and untrusted)");
    net_.Notify(Handle(), kInetEventDisconnect);
    EXPECT_TRUE(net_.liveCredentials.empty());
}

TEST_F(SessionModelTest, CredentialsThatCannotBeMadeEndTheOpen) {
    settings_.secure = true;
    settings_.tlsChoice = TlsChoice::Ssl2Ssl3;
    net_.credentialsOk = false;
    ConfirmWith("old.device", "443");
    model_.OpenFromMenu(SessionType::TcpClient);
    const std::string tlsText(InetErrorText(kInetErrorTlsProtocol));
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Attempting TCP Client Connection...", "Error creating security credentials..",
                       tlsText, "TCP Client FAILED to open!", "   IP/URL = old.device",
                       "   Port   = 443", tlsText}));
    EXPECT_EQ(net_.CallNames().back(), "CreateCredentials");
    EXPECT_EQ(settings_.type, SessionType::None);
}

TEST_F(SessionModelTest, ConnectErrorOnlyShowsItsText) {
    ConfirmWith("10.0.0.1", "23");
    model_.OpenFromMenu(SessionType::TcpClient);
    net_.Notify(Handle(), kInetEventConnect, kInetErrorConnectionRefused);
    EXPECT_EQ(host_.StatusLines().back(), "The connection was refused by the peer.");
    EXPECT_EQ(settings_.state, ConnectionState::Disconnected);
    EXPECT_TRUE(settings_.inUse);
}

TEST_F(SessionModelTest, HttpModeSendsTheRequestOrThePendingLineOnConnect) {
    settings_.httpMode = true;
    settings_.httpRequest = "GET / HTTP/1.0\r\n\r\n";
    ConfirmWith("web", "80");
    model_.OpenFromMenu(SessionType::TcpClient);
    net_.Notify(Handle(), kInetEventConnect);
    EXPECT_EQ(net_.Writes(), Strings{"GET / HTTP/1.0\r\n\r\n"});
    const std::vector<ShownLine> tail(host_.shown.end() - 3, host_.shown.end());
    EXPECT_EQ(tail, (std::vector<ShownLine>{
                        {"TCP Client Connected...", DisplayCategory::Status},
                        {"Sending the following header = :", DisplayCategory::Status},
                        {"GET / HTTP/1.0\r\n\r\n", DisplayCategory::Informational}}));

    // A line sent while not connected is kept and sent instead of the request.
    net_.Notify(Handle(), kInetEventDisconnect);
    net_.calls.clear();
    std::string line = "GET /status HTTP/1.0";
    EXPECT_EQ(TransmitData(line, LineTerminator::CrLf, model_, host_),
              TransmitOutcome::HttpRestarted);
    EXPECT_EQ(net_.CallNames(), (Strings{"Disconnect", "AsyncConnect"}));
    net_.Notify(Handle(), kInetEventConnect);
    EXPECT_EQ(net_.Writes(), Strings{"GET /status HTTP/1.0\r\n"});
    EXPECT_TRUE(settings_.pendingHttpLine.empty());
}

TEST_F(SessionModelTest, HttpModeWithoutRequestWaitsForTheFirstLine) {
    settings_.httpMode = true;
    ConfirmWith("web", "80");
    model_.OpenFromMenu(SessionType::TcpClient);
    EXPECT_TRUE(host_.StatusLines().empty());
    EXPECT_EQ(CountOf(net_.CallNames(), "AsyncConnect"), 0);
    EXPECT_EQ(Status(), "TCP Client Disconnected at: web:80");
}

TEST_F(SessionModelTest, ReadEventShowsEverythingWaitingAsOneChunkAndEchoes) {
    ConfirmWith("10.0.0.1", "23");
    model_.OpenFromMenu(SessionType::TcpClient);
    net_.Notify(Handle(), kInetEventConnect);
    model_.SetRemoteEcho(true);
    const std::string big(5000, 'x');
    net_.incoming[Handle()] = {big, "tail"};
    host_.shown.clear();
    net_.Notify(Handle(), kInetEventRead);
    ASSERT_EQ(host_.shown.size(), 1u);
    EXPECT_EQ(host_.shown[0], (ShownLine{big + "tail", DisplayCategory::Incoming}));
    // Each piece read goes straight back, in 4096-byte reads.
    EXPECT_EQ(net_.Writes(), (Strings{std::string(4096, 'x'), std::string(904, 'x'), "tail"}));

    net_.writeResult = -1;
    net_.incoming[Handle()] = {"abc"};
    net_.Notify(Handle(), kInetEventRead);
    EXPECT_EQ(host_.StatusLines(), Strings{"The connection was reset by the peer."});
}

TEST_F(SessionModelTest, NotificationsOfAnOldHandleAreIgnoredAfterRestart) {
    ConfirmWith("10.0.0.1", "23");
    model_.OpenFromMenu(SessionType::TcpClient);
    const int old = Handle();
    model_.Restart();
    EXPECT_NE(Handle(), old);
    EXPECT_EQ(net_.calls[net_.calls.size() - 2].name, "Disconnect");  // the old one released
    net_.incoming[old] = {"stale"};
    net_.Notify(old, kInetEventRead);
    net_.Notify(old, kInetEventDisconnect);
    EXPECT_EQ(host_.Incoming(), "");
    EXPECT_NE(host_.StatusLines().back(), "TCP Client Connection Closed...");
}

TEST_F(SessionModelTest, TcpServerListensAndReportsItsClients) {
    ConfirmWith("", "23");
    model_.OpenFromMenu(SessionType::TcpServer);
    EXPECT_EQ(host_.StatusLines().back(), "Server listening for connections on Port 23...");
    EXPECT_EQ(settings_.state, ConnectionState::Listening);
    EXPECT_EQ(settings_.type, SessionType::TcpServer);
    EXPECT_EQ(Status(), "TCP Server Active on Port: 23");
    EXPECT_EQ(net_.calls.back().port, 23u);
    EXPECT_EQ(net_.calls.back().protocol, 5);  // the backlog comes first

    net_.serverCallback(7, kInetEventConnect, 0);
    EXPECT_EQ(host_.StatusLines().back(),
              "Client 7 connected to server from address 192.168.1.20:50123...");
    model_.SetRemoteEcho(true);
    net_.incoming[7] = {std::string(5000, 'y')};
    net_.serverCallback(7, kInetEventRead, 0);
    EXPECT_EQ(host_.Incoming(), std::string(4096, 'y'));  // one read per event
    EXPECT_EQ(net_.Writes(), Strings{std::string(4096, 'y')});
    net_.serverCallback(7, kInetEventDisconnect, 0);
    EXPECT_EQ(host_.StatusLines().back(), "A Client has disconnected from the server...");
    net_.serverCallback(7, kInetEventDisconnect, kInetErrorStalledClient);
    EXPECT_EQ(host_.StatusLines().back(), std::string(InetErrorText(kInetErrorStalledClient)));

    std::string line = "hello";
    TransmitData(line, LineTerminator::Cr, model_, host_);
    EXPECT_EQ(net_.calls.back().name, "Broadcast");
    EXPECT_EQ(net_.calls.back().data, "hello\r");
}

TEST_F(SessionModelTest, TcpServerOnAPortInUseReportsAndCloses) {
    ConfirmWith("", "80");
    net_.failNextOpen = true;
    model_.OpenFromMenu(SessionType::TcpServer);
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Error Opening TCP Server:", "The address and port are already in use."}));
    EXPECT_EQ(Status(), "No Active Session...");

    for (const char* port : {"0", "abc", "-5"}) {
        net_.calls.clear();
        ConfirmWith("", port);
        model_.OpenFromMenu(SessionType::TcpServer);
        EXPECT_TRUE(net_.calls.empty()) << port;
    }
}

TEST_F(SessionModelTest, UdpSessionsAreReadyAtOnce) {
    ConfirmWith("10.0.0.7", "5000");
    model_.OpenFromMenu(SessionType::UdpClient);
    EXPECT_EQ(host_.StatusLines().back(), "UDP Client request accepted by winsock...");
    EXPECT_EQ(settings_.state, ConnectionState::Connected);
    EXPECT_EQ(Status(), "UDP Client Ready - 10.0.0.7:5000");
    EXPECT_EQ(net_.calls.back().protocol, kProtocolUdp);

    ConfirmWith("", "5000");
    model_.OpenFromMenu(SessionType::UdpServer);
    const auto& open = net_.calls.back();
    EXPECT_EQ(open.name, "AsyncConnectEx");
    EXPECT_EQ(open.host, "0.0.0.0");
    EXPECT_EQ(open.local, "0.0.0.0");
    EXPECT_EQ(open.localPort, 5000u);
    EXPECT_EQ(host_.StatusLines().back(), "UDP Server listening...");
    EXPECT_EQ(Status(), "UDP Server Ready - Port:5000");
    EXPECT_EQ(settings_.host, "127.0.0.1");

    net_.incoming[Handle()] = {"dgram"};
    net_.Notify(Handle(), kInetEventRead);
    EXPECT_EQ(host_.Incoming(), "dgram");
    EXPECT_EQ(settings_.lastDatagramPort, 50123u);
}

TEST_F(SessionModelTest, CloseReleasesTheSessionByItsKind) {
    struct Case {
        SessionType type;
        ConnectionState stateAfterClose;
    };
    // Every session reports its end when closed here, a TCP client too (its notification of
    // the close comes later and finds no owner).
    const Case cases[] = {{SessionType::TcpClient, ConnectionState::Disconnected},
                          {SessionType::TcpServer, ConnectionState::Disconnected},
                          {SessionType::UdpClient, ConnectionState::Disconnected},
                          {SessionType::UdpServer, ConnectionState::Disconnected}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        ConfirmWith("10.0.0.2", "9000");
        model_.OpenFromMenu(c.type);
        if (c.type == SessionType::TcpClient) net_.Notify(Handle(), kInetEventConnect);
        const int handle = Handle();
        model_.Close();
        EXPECT_EQ(net_.calls.back().name, "Disconnect");
        EXPECT_EQ(net_.calls.back().handle, handle);
        EXPECT_FALSE(settings_.inUse);
        EXPECT_EQ(settings_.state, c.stateAfterClose);
        // A second close has nothing left to release.
        net_.calls.clear();
        model_.Close();
        EXPECT_TRUE(net_.calls.empty());
    }

    ConfirmWith("10.0.0.2", "9000");
    model_.OpenFromMenu(SessionType::UdpClient);
    net_.disconnectResult = kInetErrorNotSocket;
    model_.Close();
    EXPECT_TRUE(settings_.inUse);
    EXPECT_EQ(host_.StatusLines().back(), "The handle is not an open socket.");
}

TEST_F(SessionModelTest, TheCloseOfAConnectionNeverReachesTheNextSession) {
    ConfirmWith("10.0.0.2", "9000");
    model_.OpenFromMenu(SessionType::TcpClient);
    const int tcp = Handle();
    net_.Notify(tcp, kInetEventConnect);
    model_.OpenFromMenu(SessionType::UdpClient);
    EXPECT_TRUE(host_.StatusLines().end() != std::find(host_.StatusLines().begin(),
                                                       host_.StatusLines().end(),
                                                       "TCP Client Connection Closed..."));
    const Strings before = host_.StatusLines();
    net_.incoming[tcp] = {"late"};
    net_.Notify(tcp, kInetEventRead);
    net_.Notify(tcp, kInetEventDisconnect);
    EXPECT_EQ(host_.StatusLines(), before);
    EXPECT_EQ(host_.Incoming(), "");
    EXPECT_EQ(settings_.type, SessionType::UdpClient);
    EXPECT_EQ(settings_.state, ConnectionState::Connected);
    EXPECT_NE(settings_.lastHandle, -1);

    // A TCP server's clients of an earlier listener are not the new listener's.
    ConfirmWith("", "23");
    model_.OpenFromMenu(SessionType::TcpServer);
    const InetServerCallback old = net_.serverCallback;
    model_.Restart();
    const std::size_t shown = host_.shown.size();
    old(7, kInetEventDisconnect, 0);
    EXPECT_EQ(host_.shown.size(), shown);
}

TEST_F(SessionModelTest, ADeviceThatTakesNothingHasFurtherLinesRefused) {
    const std::string line(1000, 'x');
    const std::string refusal =
        "The device is not accepting data: 1048000 bytes wait to be sent, so the line was not "
        "sent...";
    // TCP client: what the socket library holds.
    ConfirmWith("10.0.0.2", "9000");
    model_.OpenFromMenu(SessionType::TcpClient);
    net_.Notify(Handle(), kInetEventConnect);
    net_.heldBytes[Handle()] = 1048000;
    EXPECT_EQ(model_.Write(std::string(576, 'x')), 576);  // exactly up to the bound
    EXPECT_EQ(model_.Write(line), kWriteRefused);
    EXPECT_EQ(host_.StatusLines().back(), refusal);
    // Remote echo is held back the same way, said once per read event.
    model_.SetRemoteEcho(true);
    net_.incoming[Handle()] = {line, line};
    net_.Notify(Handle(), kInetEventRead);
    EXPECT_EQ(host_.StatusLines().back(),
              "The device is not accepting data: 1048000 bytes wait to be sent, so the remote "
              "echo was not sent...");
    EXPECT_EQ(host_.Incoming(), line + line);
    model_.SetRemoteEcho(false);
    net_.heldBytes.clear();
    EXPECT_EQ(model_.Write(line), 1000);

    // Serial: what the device has not taken yet; the write is refused too.
    host_.shown.clear();
    ConfirmWith("", "");
    settings_.serialPort = "/dev/ttyS9";
    model_.OpenFromMenu(SessionType::Serial);
    serial_.pending = 1048000;
    EXPECT_EQ(model_.Write(line), kWriteRefused);
    EXPECT_EQ(serial_.written, "");
    EXPECT_EQ(host_.StatusLines().back(), refusal);
}

TEST_F(SessionModelTest, RestartOpensTheCurrentTypeAgain) {
    ConfirmWith("", "23");
    model_.OpenFromMenu(SessionType::TcpServer);
    model_.Close();
    net_.calls.clear();
    model_.Restart();
    EXPECT_EQ(net_.CallNames(), Strings{"ServerStart"});
    EXPECT_TRUE(settings_.inUse);
    EXPECT_EQ(settings_.state, ConnectionState::Listening);
    // Restarting a listening server replaces its listener.
    net_.calls.clear();
    model_.Restart();
    EXPECT_EQ(net_.CallNames(), (Strings{"Disconnect", "ServerStart"}));
}

TEST_F(SessionModelTest, ErrorTextsComeFromTheActiveLibrary) {
    model_.ShowErrorText(0x1234);
    model_.ShowErrorText(0);  // no last error: nothing
    net_.lastError = kInetErrorTimedOut;
    model_.ShowErrorText(0);
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Undefined error 0x1234", "The connection attempt timed out."}));
    EXPECT_EQ(UndefinedErrorText(-1), "Undefined error 0xFFFFFFFF");
    settings_.type = SessionType::Serial;
    model_.ShowErrorText(kInetErrorTimedOut);
    EXPECT_EQ(host_.StatusLines().size(), 2u);
}

TEST_F(SessionModelTest, SerialSessionOpensReadsEchoesAndCloses) {
    settings_.baud = 9600;
    settings_.dataBits = 8;
    ConfirmWith("", "");
    host_.dialog = [](SessionType, SessionSettings& s) {
        s.type = SessionType::Serial;
        s.inUse = true;
        s.serialPort = " /dev/ttyUSB0 ";
        s.baud = 19200;
        s.dataBits = 7;
        s.parity = Parity::Mark;
        s.stopBits = StopBits::OneAndHalf;
        s.flow = FlowControl::Software;
        return DialogResult::Confirmed;
    };
    serial_.refused = {"1.5 stop bits"};
    model_.OpenFromMenu(SessionType::Serial);
    EXPECT_EQ(serial_.opens, Strings{"/dev/ttyUSB0"});
    EXPECT_EQ(serial_.config.baud, 19200);
    EXPECT_EQ(serial_.config.parity, Parity::Mark);
    EXPECT_EQ(serial_.config.flow, FlowControl::Software);
    EXPECT_EQ(host_.timers[TimerId::SerialRead], 50);
    EXPECT_EQ(host_.StatusLines(),
              Strings{"The serial port does not support 1.5 stop bits..."});
    EXPECT_EQ(Status(), "/dev/ttyUSB0 - 19200, Mark, 7, 1.5  Flow:Soft");

    serial_.waiting = "ABC";
    model_.SetRemoteEcho(true);
    model_.OnSerialTimer();
    model_.OnSerialTimer();  // nothing waits: nothing shown
    EXPECT_EQ(host_.shown.back(), (ShownLine{"ABC", DisplayCategory::Incoming}));
    EXPECT_EQ(serial_.written, "ABC");

    std::string line(2000, 'z');
    TransmitData(line, LineTerminator::CrLf, model_, host_);  // no length limit on serial
    EXPECT_EQ(serial_.written.size(), 3u + 2002u);

    model_.Close();
    EXPECT_FALSE(serial_.open);
    EXPECT_EQ(host_.timers.count(TimerId::SerialRead), 0u);
    EXPECT_TRUE(settings_.inUse);  // closing a port leaves "in use" alone
}

TEST_F(SessionModelTest, SerialPortThatCannotOpenShowsTheLine) {
    settings_.serialPort = "/dev/ttyACM9";
    settings_.type = SessionType::Serial;
    serial_.openOk = false;
    model_.Restart();
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Can't open COM/dev/ttyACM9!File Handle =-1", "   No such file or directory"}));
    EXPECT_EQ(host_.timers.count(TimerId::SerialRead), 0u);

    // Restart of an open port fails the same way and keeps the open port.
    serial_.openOk = true;
    model_.Restart();
    host_.shown.clear();
    model_.Restart();
    EXPECT_EQ(host_.StatusLines()[0], "Can't open COM/dev/ttyACM9!File Handle =-1");
    EXPECT_TRUE(serial_.open);
}

TEST_F(SessionModelTest, UnpluggedSerialPortIsReportedOnceAndCloses) {
    settings_.serialPort = "/dev/ttyUSB0";
    settings_.type = SessionType::Serial;
    model_.Restart();
    serial_.open = false;
    serial_.lost("Resource error");
    EXPECT_EQ(host_.StatusLines().back(),
              "The serial port /dev/ttyUSB0 is no longer available: Resource error");
    EXPECT_FALSE(settings_.inUse);
    EXPECT_EQ(host_.timers.count(TimerId::SerialRead), 0u);
    EXPECT_EQ(Status(), "No Active Session...");
}

TEST_F(SessionModelTest, SshClientWithoutItsSessionSaysSo) {
    ConfirmWith("router", "22");
    model_.OpenFromMenu(SessionType::SshClient);
    EXPECT_EQ(host_.StatusLines(),
              (Strings{"Attempting SSH Client Connection...", std::string(kSshNotAvailable)}));
    EXPECT_FALSE(settings_.inUse);
    EXPECT_EQ(settings_.type, SessionType::None);
}

}  // namespace
}  // namespace ostrel
