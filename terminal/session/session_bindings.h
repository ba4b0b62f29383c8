// What the sessions stand on, made by main.cpp for the front end it picks: the socket component,
// the serial device, the SSH library and the platform window the library's events arrive at.
// Qt and the SSH library implement them (bindings/); tests put scripted ones in their place.
#pragma once

#include "terminal/session/platform_events.h"
#include "terminal/session/serial_device.h"
#include "terminal/session/ssh_library.h"
#include "terminal/session/tessnet.h"

namespace ostrel {

class SessionBindings {
public:
    virtual ~SessionBindings() = default;
    virtual Tessnet& Net() = 0;
    virtual SerialDevice& Serial() = 0;
    virtual SshLibrary& Ssh() = 0;
    virtual PlatformEvents& Events() = 0;
};

}  // namespace ostrel
