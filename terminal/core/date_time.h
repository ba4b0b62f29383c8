// Local date and time for the stamps of the session log.
#pragma once

#include <string>

namespace ostrel {

struct LocalDateTime {
    int year = 1970;
    int month = 1;  // 1-12
    int day = 1;    // 1-31
    int hour = 0;   // 0-23
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
};

// The computer's local time.
class SystemClock final : public Clock {
public:
    LocalDateTime Now() const override;
};

// "mm-dd-yyyy hh:mm:ss" (24-hour clock), the stamp written in front of logged lines.
// Fields outside their ranges are clamped so that the stamp always has 19 characters.
std::string FormatDateTime(const LocalDateTime& when);

}  // namespace ostrel
