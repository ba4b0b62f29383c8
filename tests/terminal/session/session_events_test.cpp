// What the session model reports of each session type's life, which the console relies on to
// hold back scripted lines, to set its exit status and to match --expect: a connect that starts
// (TCP, SSH) ends in one outcome, a failure is reported even when it arrives after the open (a
// UDP host that cannot be resolved), and the bytes received are reported once, as read.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "session_fakes.h"
#include "terminal/session/session_model.h"
#include "terminal/session/ssh_client_session.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;
using Strings = std::vector<std::string>;

// Public: the cases are lambdas that take the fixture.
class SessionEventsTest : public ::testing::Test {
public:
    SessionEventsTest() {
        model_.RegisterSession(SessionType::SshClient, ssh_);
        host_.dialog = [](SessionType type, SessionSettings& s) {
            s.host = "10.0.0.5";
            s.port = "4998";
            s.serialPort = "/dev/ttyUSB0";
            if (type == SessionType::Serial) s.type = type;
            s.inUse = true;
            return DialogResult::Confirmed;
        };
    }
    ~SessionEventsTest() override { std::filesystem::remove(keys_.File()); }

    int Handle() const { return settings_.handle; }

    SessionSettings settings_;
    ScriptedTessnet net_;
    FakeSerialDevice serial_;
    RecordingHost host_;
    SessionModel model_{settings_, net_, serial_, host_};
    ScriptedSsh library_;
    HostKeyStore keys_{std::filesystem::temp_directory_path() /
                       ("ostrel-session-events-" + std::to_string(::getpid()) + ".txt")};
    SshClientSession ssh_{model_, library_, keys_, nullptr};
};

TEST_F(SessionEventsTest, EachTypeReportsItsOpeningOutcomeDataAndEnd) {
    struct Case {
        const char* name;
        std::function<void(SessionEventsTest&)> run;
        Strings events;
    };
    const Case cases[] = {
        {"tcp client connects, receives, and the peer closes",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::TcpClient);
             t.net_.Notify(t.Handle(), kInetEventConnect);
             t.net_.incoming[t.Handle()] = {"PWR=", "ON"};
             t.net_.Notify(t.Handle(), kInetEventRead);
             t.net_.Notify(t.Handle(), kInetEventRead);  // nothing waits: nothing reported
             t.net_.Notify(t.Handle(), kInetEventDisconnect);
         },
         {"opening", "opened", "received PWR=ON", "closed"}},
        {"tcp client refused",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::TcpClient);
             t.net_.Notify(t.Handle(), kInetEventConnect, kInetErrorConnectionRefused);
         },
         {"opening", "open failed"}},
        {"tcp client that cannot start",
         [](SessionEventsTest& t) {
             t.net_.failNextOpen = true;
             t.model_.OpenFromMenu(SessionType::TcpClient);
         },
         {"open failed"}},
        {"secure client without credentials",
         [](SessionEventsTest& t) {
             t.settings_.secure = true;
             t.net_.credentialsOk = false;
             t.model_.OpenFromMenu(SessionType::TcpClient);
         },
         {"open failed"}},
        {"tcp client closed here ends with its disconnect notification",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::TcpClient);
             t.model_.Close();
             t.net_.Notify(t.Handle(), kInetEventDisconnect);
         },
         {"opening", "closed"}},
        {"tcp server listens, a client sends, closed here",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::TcpServer);
             t.net_.incoming[7] = {"hello"};
             t.net_.serverCallback(7, kInetEventRead, 0);
             t.model_.Close();
         },
         {"opened", "received hello", "closed"}},
        {"tcp server on a port in use",
         [](SessionEventsTest& t) {
             t.net_.failNextOpen = true;
             t.model_.OpenFromMenu(SessionType::TcpServer);
         },
         {"open failed"}},
        {"udp client that cannot resolve its host",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::UdpClient);
             t.net_.Notify(t.Handle(), kInetEventConnect, kInetErrorHostNotFound);
         },
         {"opened", "open failed"}},
        {"udp server receives and is closed; a second close reports nothing",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::UdpServer);
             t.net_.incoming[t.Handle()] = {"dgram"};
             t.net_.Notify(t.Handle(), kInetEventRead);
             t.model_.Close();
             t.model_.Close();
         },
         {"opened", "received dgram", "closed"}},
        {"serial port opens, reads, and goes away",
         [](SessionEventsTest& t) {
             t.model_.OpenFromMenu(SessionType::Serial);
             t.serial_.waiting = "OK\r";
             t.model_.OnSerialTimer();
             t.serial_.open = false;
             t.serial_.lost("Resource error");
         },
         {"opened", "received OK\r", "closed"}},
        {"serial port that cannot open; a restart of an open port is no failure",
         [](SessionEventsTest& t) {
             t.serial_.openOk = false;
             t.model_.OpenFromMenu(SessionType::Serial);
             t.serial_.openOk = true;
             t.model_.Restart();
             t.model_.Restart();
             t.model_.Close();
         },
         {"open failed", "opened", "closed"}},
        {"ssh connects, receives, and is closed here",
         [](SessionEventsTest& t) {
             t.library_.onConnect = [&t] {
                 t.ssh_.OnEvent(9, kSshEventConnect);
                 return 9;
             };
             t.model_.OpenFromMenu(SessionType::SshClient);
             t.library_.reads = {"$ ", ""};
             t.ssh_.OnEvent(9, kSshEventRead);
             t.model_.Close();
         },
         {"opening", "opened", "received $ ", "closed"}},
        {"ssh login refused",
         [](SessionEventsTest& t) {
             t.library_.onConnect = [&t] {
                 t.ssh_.OnEvent(9, kSshEventConnect | 10u << 16);
                 return -1;
             };
             t.model_.OpenFromMenu(SessionType::SshClient);
         },
         {"opening", "open failed"}},
        {"ssh connect ended by close while it waits",
         [](SessionEventsTest& t) {
             t.library_.onConnect = [&t] {
                 t.model_.Close();
                 return -1;
             };
             t.model_.OpenFromMenu(SessionType::SshClient);
         },
         {"opening", "closed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionEventsTest& t = *this;
        model_.Close();
        settings_ = SessionSettings{};
        net_.failNextOpen = false;
        net_.credentialsOk = true;
        serial_.openOk = true;
        library_.onConnect = nullptr;
        host_.events.clear();
        c.run(t);
        EXPECT_EQ(host_.events, c.events);
    }
}

}  // namespace
}  // namespace ostrel
