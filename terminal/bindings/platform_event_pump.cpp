#include "terminal/bindings/platform_event_pump.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/messages.h"

namespace ostrel {
namespace {

LRESULT PumpWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto* pump = static_cast<const PlatformEventPump*>(PlatformGetWindowData(window)))
        pump->Deliver(message, wParam, lParam);
    return 0;
}

// Runs while a platform wait of this thread (inside the SSH library) blocks: Qt's own events
// (input, paint, timers, sockets) are handled as if the event loop were running.
void RunQtEvents(void*) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Pumps alive on this thread: the step is registered by the first and removed by the last.
thread_local int pumpsOnThread = 0;

}  // namespace

PlatformEventPump::PlatformEventPump(QObject* parent) : QObject(parent) {
    window_ = PlatformCreateWindow(&PumpWindowProcedure, this);
    const int fd = PlatformGetQueueFd();
    if (fd >= 0) {
        notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [] { PumpQueue(); });
    }
    if (pumpsOnThread++ == 0) PlatformSetPumpStep(&RunQtEvents, nullptr, kPumpStepInterval);
}

PlatformEventPump::~PlatformEventPump() {
    if (--pumpsOnThread == 0) PlatformSetPumpStep(nullptr, nullptr, 0);
    if (window_ != nullptr) {
        // The window's last messages must not reach a handler that is going away.
        PlatformSetWindowData(static_cast<HWND>(window_), nullptr);
        PlatformDestroyWindow(static_cast<HWND>(window_));
    }
}

void PlatformEventPump::PumpQueue() {
    // A quit request is no concern of this queue's users; it stops one round, and the
    // descriptor stays readable for the messages behind it.
    PlatformPumpMessages(nullptr);
}

void PlatformEventPump::Deliver(unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) const {
    if (handler_) handler_(message, wParam, lParam);
}

}  // namespace ostrel
