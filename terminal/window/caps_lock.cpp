#include "terminal/window/caps_lock.h"

#include <dlfcn.h>

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <filesystem>
#include <fstream>
#include <system_error>

namespace ostrel {
namespace {

// libX11 is loaded when first needed rather than linked: it is there whenever the window runs on
// X11 (Qt's own X11 support uses it), and the program does not depend on it otherwise.
using XkbGetIndicatorStateFn = int (*)(void* display, unsigned device, unsigned* state);
constexpr unsigned kXkbUseCoreKeyboard = 0x0100;

XkbGetIndicatorStateFn LoadIndicatorState() {
    static XkbGetIndicatorStateFn function = [] {
        void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (library == nullptr) return XkbGetIndicatorStateFn{};
        return reinterpret_cast<XkbGetIndicatorStateFn>(dlsym(library, "XkbGetIndicatorState"));
    }();
    return function;
}

bool FromX11(bool* on) {
#if QT_CONFIG(xcb)
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->display() == nullptr) return false;
    const XkbGetIndicatorStateFn indicators = LoadIndicatorState();
    if (indicators == nullptr) return false;
    unsigned state = 0;
    if (indicators(x11->display(), kXkbUseCoreKeyboard, &state) != 0) return false;
    *on = (state & 1u) != 0;  // indicator 0 is Caps Lock
    return true;
#else
    (void)on;
    return false;
#endif
}

bool FromLeds(bool* on) {
    std::error_code ec;
    bool found = false;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/leds", ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.ends_with("::capslock")) continue;
        found = true;
        int brightness = 0;
        std::ifstream(entry.path() / "brightness") >> brightness;
        if (brightness > 0) {
            *on = true;
            return true;
        }
    }
    *on = false;
    return found;
}

}  // namespace

bool CapsLockState() {
    bool on = false;
    if (FromX11(&on)) return on;
    if (FromLeds(&on)) return on;
    return false;
}

}  // namespace ostrel
