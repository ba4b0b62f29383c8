// What a panel button does when it is pressed, held and released: the push string at once, the
// repeat string on every tick of a repeat timer while a plain button is held, one repeat string
// with a beep once a hold button has been held for its hold time, the release string at the
// end, and toggle buttons that alternate between their two states on each press. The timers,
// the send path and the beep belong to the host, so the timing is tested with a clock of the
// test's own.
#pragma once

#include <string_view>

#include "terminal/remote/remote_definition.h"
#include "terminal/session/timer_ids.h"

namespace ostrel {

// Window timers do not run faster than this (a shorter period, 0 included, is this long).
inline constexpr int kShortestPanelTimer = 10;

class PanelHost {
public:
    virtual ~PanelHost() = default;
    // Starting a running timer restarts it with the new period.
    virtual void StartTimer(TimerId id, int milliseconds) = 0;
    virtual void StopTimer(TimerId id) = 0;
    // A line for SendLine, as if typed into the input box.
    virtual void SendPanelLine(std::string_view line) = 0;
    virtual void Beep() = 0;
    // A toggle button changed state: its label is now the other caption.
    virtual void PanelButtonToggled(int index) = 0;
};

class PanelRuntime {
public:
    // The definition and host must outlive the runtime. The two timers are the host's; their
    // ticks come back through OnHoldTimer and OnRepeatTimer.
    PanelRuntime(RemoteDefinition& panel, PanelHost& host, TimerId holdTimer, TimerId repeatTimer);

    // Left mouse button down and up on button index (0 to 49; others are ignored).
    void Press(int index);
    void Release(int index);
    // The timers' ticks: the repeat timer periodic, the hold timer once.
    void OnRepeatTimer();
    void OnHoldTimer();
    // Stops both timers and forgets the held button (the window goes).
    void Stop();

    int CurrentButton() const { return current_; }
    TimerId HoldTimer() const { return holdTimer_; }
    TimerId RepeatTimer() const { return repeatTimer_; }

private:
    void StopTimers();
    // Sends s (NetLinx-wrapped when the panel passes through) unless it is blank.
    void Send(std::string_view s);
    const RemoteButton* Current() const;

    RemoteDefinition& panel_;
    PanelHost& host_;
    TimerId holdTimer_;
    TimerId repeatTimer_;
    int current_ = -1;
};

// The period of a timer started with this many milliseconds.
int PanelTimerPeriod(std::int64_t milliseconds);

}  // namespace ostrel
