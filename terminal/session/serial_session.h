// The Serial session: a device opened with the record's settings, read on every tick of the
// 50 ms timer and written directly.
#pragma once

#include <string>
#include <string_view>

#include "terminal/session/serial_device.h"
#include "terminal/session/session.h"

namespace ostrel {

class SerialSession final : public Session {
public:
    SerialSession(SessionServices& services, SerialDevice& device);

    // Opens the record's port and starts the read timer; on failure shows
    // "Can't open COM<port>!File Handle =<handle>" and the reason, and leaves the record as is.
    void Open() override;
    // Stops the read timer and closes the port; "in use" is left as it is.
    int Close() override;
    // Writes all bytes; the result is not checked.
    long Write(std::string_view data) override;
    bool PortOpen() const override { return device_.IsOpen(); }
    OutputBacklog Backlog() override;
    ErrorSource* Errors() override { return nullptr; }

    // Timer 1004: shows what waits as one incoming chunk and, with remote echo, writes it back.
    void OnReadTimer();

private:
    void OnDeviceLost(const std::string& reason);

    SessionServices& services_;
    SerialDevice& device_;
    std::string openPath_;
};

// The status line shown when the port cannot be opened.
std::string CantOpenLine(std::string_view port, int handle);

}  // namespace ostrel
