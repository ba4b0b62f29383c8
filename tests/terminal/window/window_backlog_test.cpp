// A device that stops taking data, through the real main window: a TCP peer that reads nothing
// and a serial pseudo-terminal nobody reads. Lines beyond the bound are refused with a Status
// line; every line accepted reaches the device once it reads again.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <regex>

#include "../bindings/pty_pair.h"
#include "terminal/session/output_backlog.h"
#include "window_fixture.h"

namespace ostrel {
namespace {

using namespace ostrel::testing;

// A TCP listener with a small receive buffer whose connection is neither accepted nor read until
// the test says so.
class StalledPeer {
public:
    StalledPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        int size = 4096;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            ::listen(listener_, 1) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~StalledPeer() {
        if (peer_ >= 0) ::close(peer_);
        ::close(listener_);
    }
    int Port() const { return port_; }
    // Starts reading: everything that arrives until count bytes are there or the time is up.
    std::string Read(std::size_t count) {
        if (peer_ < 0) {
            peer_ = ::accept(listener_, nullptr, nullptr);
            ::fcntl(peer_, F_SETFL, O_NONBLOCK);
        }
        std::string data;
        WaitUntil(
            [&] {
                char buffer[65536];
                ssize_t n = 0;
                while ((n = ::read(peer_, buffer, sizeof buffer)) > 0)
                    data.append(buffer, static_cast<std::size_t>(n));
                return data.size() >= count;
            },
            30000);
        return data;
    }

private:
    int listener_ = -1;
    int peer_ = -1;
    int port_ = 0;
};

class BacklogTest : public WindowTest {
protected:
    static constexpr std::size_t kLine = 1000;  // bytes typed; the terminator adds two

    // Sends lines of kLine bytes, letting the event loop run now and then as it would between
    // keystrokes, until the window refuses one. Returns the number of lines accepted; the
    // refusal's backlog count goes to *backlog.
    std::size_t SendUntilRefused(std::size_t* backlog) {
        const std::regex refusal(
            "The device is not accepting data: ([0-9]+) bytes wait to be "
            "sent, so the line was not sent\\.\\.\\.");
        const std::string line(kLine, 'x');
        for (std::size_t sent = 0; sent < 40000; ++sent) {
            const std::size_t from = PaneText().size();
            window_.InputView().SetText(line);
            controller_.OnSend();
            std::smatch match;
            const std::string shown = PaneText().substr(from);
            if (std::regex_search(shown, match, refusal)) {
                *backlog = std::stoul(match[1]);
                return sent;
            }
            EXPECT_EQ(shown, "") << "after " << sent << " lines";
            if (sent % 32 == 0) QCoreApplication::processEvents();
        }
        ADD_FAILURE() << "never refused";
        return 0;
    }

    // The bound holds, the refusal is said, and every line accepted arrives; afterwards the
    // session sends again.
    void Check(const std::function<std::string(std::size_t)>& read) {
        std::size_t backlog = 0;
        const std::size_t accepted = SendUntilRefused(&backlog);
        EXPECT_LE(backlog, kMaxPendingOutput);
        EXPECT_GT(backlog + kLine + 2, kMaxPendingOutput);
        const std::size_t sent = accepted * (kLine + 2);
        std::string expected;
        for (std::size_t i = 0; i < accepted; ++i)
            expected += std::string(kLine, 'x') + "\r\n";
        const std::string arrived = read(sent);
        EXPECT_EQ(arrived.size(), sent);
        EXPECT_TRUE(arrived == expected);
        Type("after");
        EXPECT_EQ(read(7), "after\r\n");
    }
};

TEST_F(BacklogTest, TcpPeerThatStopsReading) {
    StalledPeer peer;
    ASSERT_GT(peer.Port(), 0);
    DialogAnswers("127.0.0.1", std::to_string(peer.Port()));
    Key(Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return Status(0).starts_with("TCP Client Connected at:"); }));
    Check([&](std::size_t count) { return peer.Read(count); });
}

TEST_F(BacklogTest, SerialPortNobodyReads) {
    PtyPair pair;
    ASSERT_TRUE(pair.Ready());
    window_.SetSessionDialogHook([&](SessionType, SessionSettings& s) {
        s.serialPort = pair.TerminalEnd();
        s.baud = 9600;
        s.dataBits = 8;
        s.inUse = true;
        return DialogResult::Confirmed;
    });
    Key(Qt::Key_F4);
    ASSERT_TRUE(window_.TimerActive(TimerId::SerialRead));
    Check([&](std::size_t count) { return pair.Receive(count, 30000); });
}

}  // namespace
}  // namespace ostrel
