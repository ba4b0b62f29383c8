#include "terminal/core/transmit.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace ostrel {
namespace {

using testing::RecordingOutput;
using testing::RecordingSession;
using testing::Shown;
using S = SessionType;
using C = ConnectionState;

struct Case {
    const char* name;
    S type;
    C state;
    bool portOpen;
    std::size_t length;  // of the data before the terminator
    LineTerminator terminator;
    TransmitOutcome outcome;
    bool written;
    std::string_view statusLine;  // empty: none
};

TEST(TransmitData, DispatchByTypeAndState) {
    const auto CRLF = LineTerminator::CrLf, CR = LineTerminator::Cr;
    const auto W = TransmitOutcome::Written, N = TransmitOutcome::NotOpen,
               L = TransmitOutcome::TooLong;
    const std::string_view tooLong = kTooLongLine;
    const Case cases[] = {
        {"serial sends any length", S::Serial, C::Disconnected, true, 1023, CRLF, W, true, {}},
        {"serial 2000 bytes", S::Serial, C::Disconnected, true, 2000, CRLF, W, true, {}},
        {"serial closed is silent", S::Serial, C::Connected, false, 5, CRLF, N, false, {}},
        {"tcp 1025 refused", S::TcpClient, C::Connected, false, 1023, CRLF, L, false, tooLong},
        {"tcp 1024 sent", S::TcpClient, C::Connected, false, 1023, CR, W, true, {}},
        {"tcp not connected", S::TcpClient, C::Connecting, true, 3, CR, N, false,
         "TCP Client: Cannot send - port not open..."},
        {"server listening", S::TcpServer, C::Listening, false, 3, CR, W, true, {}},
        {"server needs listening", S::TcpServer, C::Connected, false, 3, CR, N, false,
         "TCP Server: Cannot send - port not open..."},
        {"server too long", S::TcpServer, C::Listening, false, 1025, LineTerminator::None, L, false,
         tooLong},
        {"udp client", S::UdpClient, C::Connected, false, 1024, LineTerminator::None, W, true, {}},
        {"udp client closed", S::UdpClient, C::Disconnected, false, 3, CR, N, false,
         "UDP Client: Cannot send - port not open..."},
        {"udp server", S::UdpServer, C::Connected, false, 3, CR, W, true, {}},
        {"udp server closed", S::UdpServer, C::Listening, false, 3, CR, N, false,
         "UDP Server: Cannot send - port not open..."},
        {"ssh", S::SshClient, C::Connected, false, 3, CRLF, W, true, {}},
        {"ssh too long", S::SshClient, C::Connected, false, 1023, CRLF, L, false, tooLong},
        {"ssh closed", S::SshClient, C::Disconnected, false, 3, CRLF, N, false,
         "SSH Client: Cannot send - port not open..."},
        {"not open wins over too long", S::UdpClient, C::Disconnected, false, 5000, CR, N, false,
         "UDP Client: Cannot send - port not open..."},
        {"no session", S::None, C::Connected, true, 3, CR, TransmitOutcome::NoSession, false, {}},
        {"unknown type",
         static_cast<S>(9),
         C::Connected,
         true,
         3,
         CR,
         TransmitOutcome::NoSession,
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSession session;
        session.type = c.type;
        session.state = c.state;
        session.portOpen = c.portOpen;
        RecordingOutput output;
        std::string data(c.length, 'q');
        const std::string expected = data + std::string(TerminatorBytes(c.terminator));

        EXPECT_EQ(TransmitData(data, c.terminator, session, output), c.outcome);
        EXPECT_EQ(data, expected);  // the caller holds the bytes meant for the wire
        if (c.written) {
            EXPECT_EQ(session.writes, std::vector<std::string>{expected});
        } else {
            EXPECT_TRUE(session.writes.empty());
        }
        if (c.statusLine.empty()) {
            EXPECT_TRUE(output.shown.empty());
        } else {
            EXPECT_EQ(output.shown,
                      (std::vector<Shown>{{std::string(c.statusLine), DisplayCategory::Status}}));
        }
        EXPECT_TRUE(session.restarts.empty());
    }
}

TEST(TransmitData, FailedWritesShowTheErrorTextExceptOnSerial) {
    for (S type : {S::TcpClient, S::UdpClient, S::UdpServer, S::SshClient, S::TcpServer}) {
        RecordingSession session;
        session.type = type;
        session.state = type == S::TcpServer ? C::Listening : C::Connected;
        session.writeResult = -1;
        RecordingOutput output;
        std::string data = "x";
        EXPECT_EQ(TransmitData(data, LineTerminator::None, session, output),
                  TransmitOutcome::WriteFailed);
        EXPECT_EQ(session.errorTextsShown, 1);
        EXPECT_EQ(session.writes.size(), 1u);  // never retried
    }
    RecordingSession serial;
    serial.type = S::Serial;
    serial.portOpen = true;
    serial.writeResult = -1;
    RecordingOutput output;
    std::string data = "x";
    EXPECT_EQ(TransmitData(data, LineTerminator::None, serial, output), TransmitOutcome::Written);
    EXPECT_EQ(serial.errorTextsShown, 0);
}

TEST(TransmitData, HttpModeKeepsTheLineAndRestarts) {
    struct HttpCase {
        std::string data;
        LineTerminator terminator;
        std::optional<std::string> pending;  // nullopt: nothing happens
    };
    const HttpCase cases[] = {
        {"  GET /  ", LineTerminator::CrLf, "GET /  \r\n"},
        {"GET /", LineTerminator::None, "GET /"},
        {"", LineTerminator::CrLf, std::nullopt},
        {"   ", LineTerminator::Cr, std::nullopt},
        {"", LineTerminator::Lf, std::nullopt},
        {"  ", LineTerminator::None, std::nullopt},
        {"\n\r", LineTerminator::None, "\n\r"},
        {std::string(20000, 'g'), LineTerminator::CrLf, std::string(9999, 'g')},
    };
    for (const HttpCase& c : cases) {
        RecordingSession session;
        session.type = S::TcpClient;
        session.httpMode = true;
        RecordingOutput output;
        std::string data = c.data;
        const auto outcome = TransmitData(data, c.terminator, session, output);
        EXPECT_TRUE(output.shown.empty());
        EXPECT_TRUE(session.writes.empty());
        if (c.pending) {
            EXPECT_EQ(outcome, TransmitOutcome::HttpRestarted);
            EXPECT_EQ(session.restarts, std::vector<std::string>{*c.pending});
        } else {
            EXPECT_EQ(outcome, TransmitOutcome::NothingToSend);
            EXPECT_TRUE(session.restarts.empty());
        }
    }

    // Connected, HTTP mode changes nothing about the write.
    RecordingSession session;
    session.type = S::TcpClient;
    session.httpMode = true;
    session.state = C::Connected;
    RecordingOutput output;
    std::string data = "GET /";
    EXPECT_EQ(TransmitData(data, LineTerminator::CrLf, session, output), TransmitOutcome::Written);
    EXPECT_EQ(session.writes, std::vector<std::string>{"GET /\r\n"});
}

}  // namespace
}  // namespace ostrel
