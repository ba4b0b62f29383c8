// SSH Client sessions through the real main window and the real SSH library, against OpenSSH's
// sshd on loopback (the password account of the SSH library's tests; skipped without it).
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "ssh_peers.h"
#include "terminal/bindings/tessan_library.h"
#include "terminal/core/incoming_render.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
namespace peers = tessan::testing;

// The real library, with the result of every read recorded.
class RecordingSsh final : public SshLibrary {
public:
    bool Initialize() override { return real_.Initialize(); }
    void Uninitialize() override { real_.Uninitialize(); }
    bool CreateCredentials(unsigned protocol, SshCredentials& c) override {
        return real_.CreateCredentials(protocol, c);
    }
    void DeleteCredentials(SshCredentials& c) override { real_.DeleteCredentials(c); }
    int AsyncConnect(const SshConnectRequest& request) override {
        return real_.AsyncConnect(request);
    }
    void AbortConnect() override { real_.AbortConnect(); }
    int Read(int handle, std::span<char> buffer) override {
        const int n = real_.Read(handle, buffer);
        reads.push_back(n);
        return n;
    }
    int Write(int handle, std::string_view data) override { return real_.Write(handle, data); }
    int Disconnect(int handle) override { return real_.Disconnect(handle); }
    bool Backlogged(int handle) override { return real_.Backlogged(handle); }
    std::string Fingerprint(int handle) override { return real_.Fingerprint(handle); }
    std::string FingerprintSha256(int handle) override { return real_.FingerprintSha256(handle); }
    std::string LastErrorDetail() override { return real_.LastErrorDetail(); }
    int LastError() override { return real_.LastError(); }
    int ErrorString(int code, std::span<char> buffer) override {
        return real_.ErrorString(code, buffer);
    }

    std::vector<int> reads;

private:
    TessanLibrary real_;
};

RecordingSsh& SharedSsh() {
    static RecordingSsh ssh;
    return ssh;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SshWindowTest : public WindowTest {
protected:
    SshWindowTest() : WindowTest(&SharedSsh()) {}

    static void SetUpTestSuite() {
        WindowTest::SetUpTestSuite();
        server_ = new peers::SshdPeer;
        started_ = server_->Start(peers::QuickSshdOptions());
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!peers::PasswordAccount().error.empty())
            GTEST_SKIP() << "no password account: " << peers::PasswordAccount().error;
        ASSERT_TRUE(started_) << server_->Error();
    }

    static int Port() { return server_->Port(); }
    static std::string Text(int number) { return std::to_string(number); }

    // The next session dialog confirms an SSH session to this port as the password account.
    void SshAnswers(int port, std::string password = peers::PasswordAccount().password) {
        const std::string user = peers::PasswordAccount().user;
        window_.SetSessionDialogHook([=](SessionType, SessionSettings& s) {
            s.host = "127.0.0.1";
            s.port = Text(port);
            s.sshUser = user;
            s.sshPassword = password;
            s.inUse = true;
            return DialogResult::Confirmed;
        });
    }
    bool Connected(int port) { return Status(0) == "SSH Client Connected at:127.0.0.1:" + Text(port); }
    void Connect(int port) {
        SshAnswers(port);
        Key(Qt::Key_F9);
        ASSERT_TRUE(WaitUntil([&] { return Connected(port); }, 10000)) << PaneText();
        ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("$ "); }, 10000)) << PaneText();
    }
    bool PaneShows(const std::string& text, std::size_t from = 0, int ms = 10000) {
        return WaitUntil([&] { return PaneText().find(text, from) != std::string::npos; }, ms);
    }
    // The fingerprint shown after the last "Host key fingerprint: ".
    std::string ShownFingerprint() {
        static constexpr std::string_view kLabel = "Host key fingerprint: ";
        const std::size_t at = PaneText().rfind(kLabel);
        if (at == std::string::npos) return {};
        return PaneText().substr(at + kLabel.size(), 47);
    }
    // Both forms as the warning and the file show them: MD5, blank, "SHA256:..." (50 bytes).
    std::string ShownFingerprints() {
        static constexpr std::string_view kLabel = "Host key SHA-256 fingerprint: ";
        const std::size_t at = PaneText().rfind(kLabel);
        if (at == std::string::npos) return {};
        return ShownFingerprint() + " " + PaneText().substr(at + kLabel.size(), 50);
    }
    std::string HostKeyFile() { return ReadWholeFile((home_ / "ssh_host_keys.txt").string()); }

    static peers::SshdPeer* server_;
    static bool started_;
};
peers::SshdPeer* SshWindowTest::server_ = nullptr;
bool SshWindowTest::started_ = false;

TEST_F(SshWindowTest, ALineTypedRunsInTheShellAndCloseRestartAndExitWork) {
    const peers::TestAccount& account = peers::PasswordAccount();
    WhenDialogOpens([&](QWidget* dialog) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "FORM_OSTREL_FRMSSHCLIENT_CLASS");
        auto field = [dialog](const char* name) {
            return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        EXPECT_EQ(field("port")->text(), "22");
        field("host")->setText(QStringLiteral(" 127.0.0.1 "));
        field("port")->setText(QString::number(Port()));
        field("login")->setText(QString::fromStdString(account.user));
        field("password")->setText(QString::fromStdString(account.password));
        dialog->findChild<QPushButton*>(QStringLiteral("ok"))->click();
    });
    Key(Qt::Key_F9);
    ASSERT_TRUE(WaitUntil([&] { return Connected(Port()); }, 10000)) << PaneText();
    QApplication::setActiveWindow(&window_);
    window_.InputView().setFocus();
    EXPECT_NE(PaneText().find("\r\nAttempting SSH Client Connection...\r\nSecurity credentials "
                              "created...\r\nSSH Client Connected...\r\n\r\nHost key "
                              "fingerprint: "),
              std::string::npos)
        << PaneText();
    const std::string fingerprint = ShownFingerprints();
    EXPECT_EQ(ColourOf("Host key fingerprint: "), colours_[ColourSlot::Informational]);
    EXPECT_EQ(HostKeyFile().find("\n127.0.0.1 " + Text(Port()) + " " + fingerprint + "\n") !=
                  std::string::npos,
              true)
        << HostKeyFile();
    EXPECT_EQ(PaneText().find("WARNING"), std::string::npos);

    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("$ "); }));
    Type("echo hello");
    ASSERT_TRUE(PaneShows("\r\nhello\r\n")) << PaneText();
    EXPECT_EQ(window_.OutputPaneView().Document().ColourAt(PaneText().find("\r\nhello\r\n") + 2),
              colours_[ColourSlot::Incoming]);

    Key(Qt::Key_F12);
    EXPECT_TRUE(PaneEndsWith("\r\nSSH Client Disconnected..."));
    EXPECT_EQ(Status(0), "No Active Session...");
    Type("echo nobody");
    EXPECT_TRUE(PaneEndsWith("SSH Client: Cannot send - port not open..."));

    // Restart connects again with the same record; the shell's exit ends the session.
    Key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return Connected(Port()); }, 10000)) << PaneText();
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("$ "); }));
    Type("exit");
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("\r\nSSH Client Disconnected..."); }))
        << PaneText();
    EXPECT_EQ(Status(0), "SSH Client Disconnected at:127.0.0.1:" + Text(Port()));
    EXPECT_EQ(controller_.Settings().state, ConnectionState::Disconnected);
}

// The terminal is busy while the server sends 10000 bytes: one read event then reads them in
// 4096-byte pieces and shows them as one incoming chunk (in hex view every chunk starts its own
// rows, so pieces shown one by one would look different).
TEST_F(SshWindowTest, AServerBurstIsReadInOneEventAndShownAsOneChunk) {
    Connect(Port());
    Type("sleep 0.5; head -c 10000 /dev/zero | tr '\\0' x; sleep 3");
    ASSERT_TRUE(PaneShows("sleep 3\r\n"));
    Pump(200);  // the echo of the line's LF as well
    controller_.Dispatch(CommandId::ViewHex);
    SharedSsh().reads.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string burst;
    RenderIncomingHex(std::string(10000, 'x'), burst);
    ASSERT_TRUE(PaneShows(burst.substr(0, 200)));
    const std::vector<int>& reads = SharedSsh().reads;
    ASSERT_GE(reads.size(), 4u);
    EXPECT_EQ(std::vector<int>(reads.begin(), reads.begin() + 4),
              (std::vector<int>{4096, 4096, 1808, -1}));
    EXPECT_NE(PaneText().find(burst), std::string::npos);
}

TEST_F(SshWindowTest, RemoteEchoSendsEveryReceivedByteBackOnce) {
    const std::string sent = "/tmp/ostrel-echo-sent-" + Text(getpid());
    const std::string back = "/tmp/ostrel-echo-back-" + Text(getpid());
    Connect(Port());
    controller_.Dispatch(CommandId::TerminateCr);
    // Raw mode: the device's shell passes every byte value both ways unchanged and echoes
    // nothing itself; whatever comes back within three seconds is kept.
    Type(QString::fromStdString("stty raw -echo; sleep 1; head -c 3000 /dev/urandom | tee " +
                                sent + "; timeout 3 cat > " + back + "; exit"));
    ASSERT_TRUE(PaneShows("; exit\r\n"));
    controller_.Dispatch(CommandId::EchoRemote);
    EXPECT_EQ(Status(4), "RE");
    ASSERT_TRUE(PaneShows("SSH Client Disconnected...", 0, 15000)) << PaneText();
    const std::string original = ReadWholeFile(sent);
    EXPECT_EQ(original.size(), 3000u);
    EXPECT_TRUE(ReadWholeFile(back) == original) << "returned " << ReadWholeFile(back).size();
    std::remove(sent.c_str());
    std::remove(back.c_str());
}

TEST_F(SshWindowTest, FailedConnectsShowTheLibrarysErrorAndLeaveNoSession) {
    struct Case {
        const char* name;
        int port;
        std::string password;
        std::string error;
    };
    const Case cases[] = {
        {"refused", FreePort(), peers::PasswordAccount().password,
         "The connection was refused by the remote host"},
        {"wrong password", Port(), "not-the-password", "Unable to authenticate the specified user"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t from = PaneText().size();
        SshAnswers(c.port, c.password);
        Key(Qt::Key_F9);
        EXPECT_TRUE(PaneEndsWith("\r\nAttempting SSH Client Connection...\r\nSecurity credentials "
                                 "created...\r\nSSH Client FAILED to open!\r\n   IP/URL = "
                                 "127.0.0.1\r\n   Port   = " +
                                 Text(c.port) + "\r\n" + c.error))
            << PaneText().substr(from);
        EXPECT_EQ(PaneText().find("SSH Client Connected...", from), std::string::npos);
        EXPECT_EQ(controller_.Settings().state, ConnectionState::Disconnected);
        EXPECT_EQ(controller_.Settings().type, SessionType::None);
        EXPECT_EQ(Status(0), "No Active Session...");
    }
}

// A host that presents another key than the one remembered is refused before the password
// leaves, each time, with both fingerprints named; Session > Forget Host Key accepts the new
// key at the next connect.
TEST_F(SshWindowTest, AHostPresentingAnotherKeyIsRefusedUntilItsKeyIsForgotten) {
    auto first = std::make_unique<peers::SshdPeer>();
    ASSERT_TRUE(first->Start(peers::QuickSshdOptions())) << first->Error();
    const int port = first->Port();
    Connect(port);
    const std::string remembered = ShownFingerprints();
    Key(Qt::Key_F12);
    first.reset();

    // Another server on the same port with another host key.
    peers::SshdOptions options = peers::QuickSshdOptions();
    options.hostKeyAlgorithms = "ssh-dss";
    options.extra = "ListenAddress 127.0.0.1:" + Text(port) + "\nLogLevel DEBUG1\n";
    peers::SshdPeer second;
    ASSERT_TRUE(second.Start(options)) << second.Error();
    for (int round = 0; round < 2; ++round) {
        const std::size_t from = PaneText().size();
        SshAnswers(port);
        Key(Qt::Key_F9);
        const std::string warning = "\r\nWARNING: the host key of 127.0.0.1 port " + Text(port) +
                                    " has CHANGED since the last connection! The password was "
                                    "not sent.\r\n   Remembered fingerprint: " +
                                    remembered + "\r\n   Presented fingerprint:  ";
        ASSERT_TRUE(PaneShows(warning, from)) << PaneText().substr(from);
        EXPECT_EQ(ColourOf("WARNING: the host key"), colours_[ColourSlot::Status]);
        const std::size_t presentedAt = PaneText().find(warning, from) + warning.size();
        const std::string presented =
            PaneText().substr(presentedAt, PaneText().find("\r\n", presentedAt) - presentedAt);
        EXPECT_NE(presented, remembered);
        EXPECT_NE(presented.find(" SHA256:"), std::string::npos) << presented;
        EXPECT_NE(PaneText().find("Forget Host Key", presentedAt), std::string::npos);
        EXPECT_FALSE(Connected(port));
        EXPECT_EQ(controller_.Settings().type, SessionType::None);
    }
    EXPECT_EQ(second.Log().find("method password"), std::string::npos) << second.Log();
    EXPECT_NE(HostKeyFile().find(" " + Text(port) + " " + remembered + "\n"), std::string::npos);

    window_.Action(CommandId::SessionForgetHostKey)->trigger();
    EXPECT_TRUE(PaneShows("The host key of 127.0.0.1 port " + Text(port) + " is forgotten"))
        << PaneText();
    Connect(port);
    const std::string accepted = ShownFingerprints();
    EXPECT_NE(accepted, remembered);
    EXPECT_NE(HostKeyFile().find(" " + Text(port) + " " + accepted + "\n"), std::string::npos);
    EXPECT_EQ(HostKeyFile().find(remembered), std::string::npos);
    Key(Qt::Key_F12);
}

// A server that accepts the connection and never answers: the window keeps working during the
// connect's wait, Close ends the wait, and a session asked for during a wait starts after it.
TEST_F(SshWindowTest, TheWindowKeepsWorkingWhileAConnectWaitsAndCloseEndsTheWait) {
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const int silentPort = ntohs(address.sin_port);

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    int ticksAtClose = -1;
    std::string statusDuringWait;
    QTimer::singleShot(600, [&] {
        ticksAtClose = ticks;
        statusDuringWait = Status(0);
        Key(Qt::Key_F12);
    });
    std::size_t from = PaneText().size();
    SshAnswers(silentPort);
    QElapsedTimer clock;
    clock.start();
    Key(Qt::Key_F9);  // returns once the connect has ended
    EXPECT_LT(clock.elapsed(), 3000) << "the five-second wait was not ended by Close";
    EXPECT_GE(ticksAtClose, 10);
    EXPECT_EQ(statusDuringWait, "SSH Client Connecting at:127.0.0.1:" + Text(silentPort));
    EXPECT_EQ(Status(0), "No Active Session...");
    EXPECT_TRUE(PaneEndsWith("\r\nAttempting SSH Client Connection...\r\nSecurity credentials "
                             "created..."))
        << PaneText().substr(from);

    // F9 during the wait: the waiting connect ends and the new session opens after it.
    from = PaneText().size();
    QTimer::singleShot(600, [&] {
        SshAnswers(Port());
        Key(Qt::Key_F9);
    });
    SshAnswers(silentPort);
    Key(Qt::Key_F9);
    ASSERT_TRUE(WaitUntil([&] { return Connected(Port()); }, 10000)) << PaneText().substr(from);
    EXPECT_EQ(PaneText().find("FAILED", from), std::string::npos);
    const std::size_t connected = PaneText().find("SSH Client Connected...", from);
    EXPECT_NE(connected, std::string::npos);
    EXPECT_EQ(PaneText().find("SSH Client Connected...", connected + 1), std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return PaneEndsWith("$ "); }));
    Type("echo after-the-wait");
    EXPECT_TRUE(PaneShows("\r\nafter-the-wait\r\n")) << PaneText().substr(from);

    // Quit during a wait: the program shuts down and the wait ends with it.
    QTimer::singleShot(600, [&] { controller_.Dispatch(CommandId::Quit); });
    SshAnswers(silentPort);
    clock.restart();
    Key(Qt::Key_F9);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(controller_.ShutDown());
    ::close(silent);
}

}  // namespace
}  // namespace ostrel
