// The session bindings of the program: the socket component on QtNetwork, the serial device on
// QtSerialPort, the SSH library and the platform event pump. Made after the front end's Qt
// application object, on its thread.
#pragma once

#include "terminal/bindings/platform_event_pump.h"
#include "terminal/bindings/qt_serial_device.h"
#include "terminal/bindings/qt_tessnet.h"
#include "terminal/bindings/tessan_library.h"
#include "terminal/session/session_bindings.h"

namespace ostrel {

class QtBindings final : public SessionBindings {
public:
    QtBindings() = default;
    QtBindings(const QtBindings&) = delete;
    QtBindings& operator=(const QtBindings&) = delete;

    Tessnet& Net() override { return net_; }
    SerialDevice& Serial() override { return serial_; }
    SshLibrary& Ssh() override { return ssh_; }
    PlatformEvents& Events() override { return events_; }

private:
    QtTessnet net_;
    QtSerialDevice serial_;
    TessanLibrary ssh_;
    PlatformEventPump events_;
};

}  // namespace ostrel
