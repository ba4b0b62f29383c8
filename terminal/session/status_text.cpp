#include "terminal/session/status_text.h"

#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

std::string HostAndPort(const SessionSettings& s) {
    std::string text(TrimBlanks(s.host));
    text += ':';
    text += TrimBlanks(s.port);
    return text;
}

std::string SerialText(const SessionSettings& s) {
    std::string text(TrimBlanks(s.serialPort));
    text += " - " + std::to_string(s.baud);
    text += ", ";
    text += ParityName(s.parity);
    text += ", " + std::to_string(s.dataBits);
    text += ", ";
    text += StopBitsName(s.stopBits);
    text += "  Flow:";
    text += FlowName(s.flow);
    return text;
}

std::optional<std::string> ByState(const SessionSettings& s, std::string_view disconnected,
                                   std::string_view connecting, std::string_view connected) {
    switch (s.state) {
        case ConnectionState::Disconnected:
            return std::string(disconnected) + HostAndPort(s);
        case ConnectionState::Connecting:
            return std::string(connecting) + HostAndPort(s);
        case ConnectionState::Connected:
            return std::string(connected) + HostAndPort(s);
        case ConnectionState::Listening:
            break;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> SessionStatusText(const SessionSettings& s) {
    if (!s.inUse) return "No Active Session...";
    switch (s.type) {
        case SessionType::None:
            return "No Session Active";
        case SessionType::Serial:
            return SerialText(s);
        case SessionType::TcpClient:
            return ByState(s, "TCP Client Disconnected at: ", "TCP Client Connecting at: ",
                           "TCP Client Connected at: ");
        case SessionType::TcpServer:
            if (s.state == ConnectionState::Disconnected)
                return "TCP Server Disconnected at: " + HostAndPort(s);
            if (s.state == ConnectionState::Connecting || s.state == ConnectionState::Listening)
                return "TCP Server Active on Port: " + std::string(TrimBlanks(s.port));
            return std::nullopt;
        case SessionType::UdpClient:
            return "UDP Client Ready - " + HostAndPort(s);
        case SessionType::UdpServer:
            return "UDP Server Ready - Port:" + std::string(TrimBlanks(s.port));
        case SessionType::SshClient:
            return ByState(s, "SSH Client Disconnected at:", "SSH Client Connecting at:",
                           "SSH Client Connected at:");
    }
    return std::nullopt;
}

std::string_view EchoStatusText(bool localEcho, bool remoteEcho) {
    if (localEcho && remoteEcho) return "LE RE";
    if (localEcho) return "LE";
    if (remoteEcho) return "RE";
    return {};
}

std::string_view ParityName(Parity parity) {
    switch (parity) {
        case Parity::None:
            return "None";
        case Parity::Odd:
            return "Odd";
        case Parity::Even:
            return "Even";
        case Parity::Mark:
            return "Mark";
        case Parity::Space:
            return "Space";
    }
    return {};
}

std::string_view StopBitsName(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::One:
            return "1";
        case StopBits::OneAndHalf:
            return "1.5";
        case StopBits::Two:
            return "2";
    }
    return {};
}

std::string_view FlowName(FlowControl flow) {
    switch (flow) {
        case FlowControl::None:
            return "None";
        case FlowControl::Hardware:
            return "Hard";
        case FlowControl::Software:
            return "Soft";
    }
    return {};
}

}  // namespace ostrel
