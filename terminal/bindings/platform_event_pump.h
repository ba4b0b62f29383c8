// PlatformEvents on a Qt event loop (QtCore only, so that the console front end can use it as
// well as the main window):
//  - one platform message window whose messages go to the handler (the SSH library's events are
//    sent to it);
//  - a QSocketNotifier on the thread's queue descriptor that dispatches the queue's messages
//    whenever it has work;
//  - Qt's event processing registered as the thread's pump step, so that while the SSH library
//    waits inside a call (a connect takes up to five seconds) the program's windows, timers,
//    menus and keys keep working.
// Created and destroyed on the thread whose queue it drives; normally one per thread (the pump
// step stays registered while any of them exists).
#pragma once

#include <QObject>

#include <cstdint>

#include "terminal/session/platform_events.h"

class QSocketNotifier;

namespace ostrel {

class PlatformEventPump final : public QObject, public PlatformEvents {
public:
    explicit PlatformEventPump(QObject* parent = nullptr);
    // Destroys the window and removes the pump step.
    ~PlatformEventPump() override;
    PlatformEventPump(const PlatformEventPump&) = delete;
    PlatformEventPump& operator=(const PlatformEventPump&) = delete;

    void* Window() const override { return window_; }
    void SetHandler(Handler handler) override { handler_ = std::move(handler); }

    // Dispatches what the queue holds now (what the notifier does when the queue has work).
    static void PumpQueue();

    // How often the pump step runs during a wait, in milliseconds.
    static constexpr unsigned kPumpStepInterval = 10;

    // The handler, for the window procedure.
    void Deliver(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) const;

private:
    Handler handler_;
    void* window_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ostrel
