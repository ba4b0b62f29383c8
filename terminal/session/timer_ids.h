// The window timers of the program, with their identifiers and periods in milliseconds. The
// front end runs them; the application controller and the serial session start and stop them.
#pragma once

namespace ostrel {

enum class TimerId : int {
    Poll = 1003,        // polling, 1000 ms until a poll period is set
    SerialRead = 1004,  // serial read, 50 ms
    CapsLock = 1005,    // the Caps Lock part of the status bar, 200 ms
    // A remote panel's hold and repeat timers, and those of the panel editor's preview button:
    // periods from the panel's definition.
    RemoteHold = 1006,
    RemoteRepeat = 1007,
    PreviewHold = 1008,
    PreviewRepeat = 1009,
};
inline constexpr int kPollTimerPeriod = 1000;
inline constexpr int kSerialReadPeriod = 50;
inline constexpr int kCapsLockPeriod = 200;

}  // namespace ostrel
