// A platform message window on the calling thread whose messages reach a handler, with the
// thread's message queue pumped from the front end's event loop (and while the SSH library waits
// inside a call). The SSH library sends its events to such a window.
#pragma once

#include <cstdint>
#include <functional>

namespace ostrel {

class PlatformEvents {
public:
    using Handler =
        std::function<void(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;

    virtual ~PlatformEvents() = default;
    // The window (an HWND); nullptr when the platform layer could not create it.
    virtual void* Window() const = 0;
    // The window's messages go to handler from now on; an empty handler drops them.
    virtual void SetHandler(Handler handler) = 0;
};

}  // namespace ostrel
