#include "terminal/session/status_text.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

using T = SessionType;
using S = ConnectionState;

TEST(StatusText, EveryTypeAndState) {
    struct Case {
        T type;
        S state;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        {T::None, S::Disconnected, "No Session Active"},
        {T::TcpClient, S::Disconnected, "TCP Client Disconnected at: 10.0.0.5:23"},
        {T::TcpClient, S::Connecting, "TCP Client Connecting at: 10.0.0.5:23"},
        {T::TcpClient, S::Connected, "TCP Client Connected at: 10.0.0.5:23"},
        {T::TcpClient, S::Listening, std::nullopt},
        {T::TcpServer, S::Disconnected, "TCP Server Disconnected at: 10.0.0.5:23"},
        {T::TcpServer, S::Connecting, "TCP Server Active on Port: 23"},
        {T::TcpServer, S::Listening, "TCP Server Active on Port: 23"},
        {T::TcpServer, S::Connected, std::nullopt},
        {T::UdpClient, S::Connected, "UDP Client Ready - 10.0.0.5:23"},
        {T::UdpServer, S::Connected, "UDP Server Ready - Port:23"},
        {T::SshClient, S::Disconnected, "SSH Client Disconnected at:10.0.0.5:23"},
        {T::SshClient, S::Connecting, "SSH Client Connecting at:10.0.0.5:23"},
        {T::SshClient, S::Connected, "SSH Client Connected at:10.0.0.5:23"},
        {static_cast<T>(9), S::Connected, std::nullopt},
    };
    for (const Case& c : cases) {
        SessionSettings s;
        s.inUse = true;
        s.type = c.type;
        s.state = c.state;
        s.host = "  10.0.0.5 ";  // shown trimmed
        s.port = "23 ";
        EXPECT_EQ(SessionStatusText(s), c.text) << static_cast<int>(c.type) << "/"
                                                << static_cast<int>(c.state);
        s.inUse = false;
        EXPECT_EQ(SessionStatusText(s), "No Active Session...");
    }
}

TEST(StatusText, SerialSettings) {
    SessionSettings s;
    s.inUse = true;
    s.type = T::Serial;
    s.serialPort = "COM1";
    s.baud = 9600;
    s.dataBits = 8;
    EXPECT_EQ(SessionStatusText(s), "COM1 - 9600, None, 8, 1  Flow:None");
    const std::tuple<Parity, StopBits, FlowControl, std::string> cases[] = {
        {Parity::Odd, StopBits::OneAndHalf, FlowControl::Hardware, "Odd, 8, 1.5  Flow:Hard"},
        {Parity::Even, StopBits::Two, FlowControl::Software, "Even, 8, 2  Flow:Soft"},
        {Parity::Mark, StopBits::One, FlowControl::None, "Mark, 8, 1  Flow:None"},
        {Parity::Space, StopBits::One, FlowControl::None, "Space, 8, 1  Flow:None"},
        {static_cast<Parity>(7), static_cast<StopBits>(5), static_cast<FlowControl>(9),
         ", 8,   Flow:"},
    };
    for (const auto& [parity, stop, flow, tail] : cases) {
        s.parity = parity;
        s.stopBits = stop;
        s.flow = flow;
        EXPECT_EQ(SessionStatusText(s), "COM1 - 9600, " + tail);
    }
}

TEST(StatusText, EchoPart) {
    EXPECT_EQ(EchoStatusText(true, true), "LE RE");
    EXPECT_EQ(EchoStatusText(true, false), "LE");
    EXPECT_EQ(EchoStatusText(false, true), "RE");
    EXPECT_EQ(EchoStatusText(false, false), "");
}

TEST(SessionSettings, NumbersAreReadLeniently) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"23", 23},           {" 8080 ", 8080},     {"5x", 5},
        {"x5", 0},            {"", 0},              {"-7", -7},
        {"+12", 12},          {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX}, {"99999999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-99999999999999", INT32_MIN},
        {"\t42", 42},         {"0x1F", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadNumber(text), value) << text;
}

TEST(SessionSettings, SecretsAreWiped) {
    std::string secret = "hunter2";
    const char* bytes = secret.data();
    WipeSecret(secret);
    EXPECT_TRUE(secret.empty());
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(bytes[i], '\0');  // same buffer: clear() keeps the small-string storage
}

}  // namespace
}  // namespace ostrel
