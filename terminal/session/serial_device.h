// A serial port as the serial session uses it. QtSerialDevice (qt_serial_device.h) implements it
// with QSerialPort; tests put a scripted device in its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/session/session_settings.h"

namespace ostrel {

struct SerialConfig {
    std::int32_t baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the device (a path such as /dev/ttyUSB0) for reading and writing, exclusively.
    // On failure returns false with a short reason.
    virtual bool Open(std::string_view path, std::string* reason) = 0;
    // Applies the settings in the order baud, data bits, parity, stop bits, flow. Returns the
    // names of the settings the device refused (for example "1.5 stop bits"); the others apply.
    virtual std::vector<std::string> Configure(const SerialConfig& config) = 0;
    virtual bool IsOpen() const = 0;
    // The system's number for the open device (its file descriptor); -1 when closed.
    virtual int Handle() const = 0;
    // Bytes received and waiting to be read.
    virtual std::size_t BytesWaiting() = 0;
    // Reads up to max waiting bytes.
    virtual std::string Read(std::size_t max) = 0;
    // Queues all bytes for sending.
    virtual void Write(std::string_view data) = 0;
    // Bytes queued by Write that the device has not taken yet.
    virtual std::size_t PendingBytes() = 0;
    virtual void Close() = 0;
    // Called once, later on the same thread, when an open device fails for good (unplugged);
    // the device is closed by then. reason describes the failure.
    virtual void SetLostHandler(std::function<void(const std::string& reason)> handler) = 0;
};

}  // namespace ostrel
