#include "terminal/remote/panel_runtime.h"

#include <algorithm>
#include <limits>

#include "terminal/core/text_util.h"

namespace ostrel {

int PanelTimerPeriod(std::int64_t milliseconds) {
    return static_cast<int>(std::clamp<std::int64_t>(milliseconds, kShortestPanelTimer,
                                                     std::numeric_limits<int>::max()));
}

PanelRuntime::PanelRuntime(RemoteDefinition& panel, PanelHost& host, TimerId holdTimer,
                           TimerId repeatTimer)
    : panel_(panel), host_(host), holdTimer_(holdTimer), repeatTimer_(repeatTimer) {}

void PanelRuntime::StopTimers() {
    host_.StopTimer(holdTimer_);
    host_.StopTimer(repeatTimer_);
}

void PanelRuntime::Stop() {
    StopTimers();
    current_ = -1;
}

const RemoteButton* PanelRuntime::Current() const {
    if (current_ < 0 || current_ >= kRemoteButtonControls) return nullptr;
    return &panel_.buttons[static_cast<std::size_t>(current_)];
}

void PanelRuntime::Send(std::string_view s) {
    if (TrimBlanks(s).empty()) return;
    host_.SendPanelLine(ButtonLine(panel_, s));
}

void PanelRuntime::Press(int index) {
    if (index < 0 || index >= kRemoteButtonControls) return;
    current_ = index;
    StopTimers();
    RemoteButton& button = panel_.buttons[static_cast<std::size_t>(index)];
    if (button.toggle != 0) {
        // Toggle buttons send on the press only and use no timer.
        button.toggled = !button.toggled;
        host_.PanelButtonToggled(index);
        Send(button.toggled ? button.pushString : button.releaseString);
        return;
    }
    if (TrimBlanks(button.caption).empty()) return;
    if (button.hold != 0)
        host_.StartTimer(holdTimer_, PanelTimerPeriod(std::int64_t{button.holdTime} * 100));
    else
        host_.StartTimer(repeatTimer_, PanelTimerPeriod(panel_.timerRate));
    Send(button.pushString);
}

void PanelRuntime::Release(int index) {
    if (index < 0 || index >= kRemoteButtonControls) return;
    StopTimers();
    const RemoteButton& button = panel_.buttons[static_cast<std::size_t>(index)];
    if (button.toggle != 0) return;
    current_ = -1;
    if (!TrimBlanks(button.caption).empty()) Send(button.releaseString);
}

void PanelRuntime::OnRepeatTimer() {
    const RemoteButton* button = Current();
    if (button == nullptr) {
        host_.StopTimer(repeatTimer_);
        return;
    }
    if (button->hold == 0) Send(TrimBlanks(button->repeatString));
}

void PanelRuntime::OnHoldTimer() {
    const RemoteButton* button = Current();
    // The hold timer fires once, whatever the button.
    host_.StopTimer(holdTimer_);
    if (button == nullptr || button->hold == 0) return;
    host_.Beep();
    if (!TrimBlanks(button->caption).empty()) Send(TrimBlanks(button->repeatString));
}

}  // namespace ostrel
