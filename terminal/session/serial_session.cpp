#include "terminal/session/serial_session.h"

#include "terminal/core/text_util.h"

namespace ostrel {

std::string CantOpenLine(std::string_view port, int handle) {
    std::string line = "Can't open COM";
    line += port;
    line += "!File Handle =";
    line += std::to_string(handle);
    return line;
}

SerialSession::SerialSession(SessionServices& services, SerialDevice& device)
    : services_(services), device_(device) {
    device_.SetLostHandler([this](const std::string& reason) { OnDeviceLost(reason); });
}

void SerialSession::Open() {
    SessionSettings& s = services_.Settings();
    const std::string_view port = TrimBlanks(s.serialPort);
    if (!s.inUse || port.empty()) return;

    // Restart without a close finds the port still ours: opening it again fails the way an
    // exclusive open does, and the open port keeps working.
    const bool alreadyOpen = device_.IsOpen();
    std::string reason = alreadyOpen ? "The port is already open." : "";
    if (alreadyOpen || !device_.Open(port, &reason)) {
        if (!alreadyOpen) s.handle = -1;
        services_.Show(CantOpenLine(port, -1));
        if (!reason.empty()) services_.Show("   " + reason);
        // A port that is ours already stays open and working: that open did not fail.
        if (!alreadyOpen) services_.Host().OnSessionOpenFailed();
        return;
    }

    SerialConfig config;
    config.baud = s.baud;
    config.dataBits = s.dataBits;
    config.parity = s.parity;
    config.stopBits = s.stopBits;
    config.flow = s.flow;
    for (const std::string& refused : device_.Configure(config))
        services_.Show("The serial port does not support " + refused + "...");

    openPath_ = std::string(port);
    s.handle = device_.Handle();
    s.type = SessionType::Serial;
    services_.Host().StartTimer(TimerId::SerialRead, kSerialReadPeriod);
    services_.Host().RefreshStatus();
    services_.Host().OnSessionOpened();
}

int SerialSession::Close() {
    services_.Host().StopTimer(TimerId::SerialRead);
    const bool wasOpen = device_.IsOpen();
    device_.Close();
    if (wasOpen) services_.Host().OnSessionClosed();
    return 0;
}

long SerialSession::Write(std::string_view data) {
    if (device_.IsOpen()) device_.Write(data);
    return static_cast<long>(data.size());
}

OutputBacklog SerialSession::Backlog() {
    return {device_.IsOpen() ? device_.PendingBytes() : 0, false};
}

void SerialSession::OnReadTimer() {
    const SessionSettings& s = services_.Settings();
    if (s.type != SessionType::Serial || !s.inUse || !device_.IsOpen()) return;
    const std::size_t waiting = device_.BytesWaiting();
    if (waiting == 0) return;
    const std::string data = device_.Read(waiting);
    if (!data.empty()) services_.Host().OnSessionReceived(data);
    services_.Show(data, DisplayCategory::Incoming);
    if (services_.RemoteEcho() && !data.empty() && device_.IsOpen() &&
        AcceptsOutput(services_, Backlog(), data.size(), kRefusedEcho))
        device_.Write(data);
}

void SerialSession::OnDeviceLost(const std::string& reason) {
    SessionSettings& s = services_.Settings();
    services_.Host().StopTimer(TimerId::SerialRead);
    services_.Show("The serial port " + openPath_ + " is no longer available: " + reason);
    if (s.type == SessionType::Serial) {
        s.inUse = false;
        s.handle = -1;
    }
    services_.Host().RefreshStatus();
    services_.Host().OnSessionClosed();
}

}  // namespace ostrel
