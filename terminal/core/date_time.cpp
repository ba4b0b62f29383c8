#include "terminal/core/date_time.h"

#include <algorithm>
#include <ctime>

namespace ostrel {
namespace {

void AppendDigits(std::string& out, int value, int width, int low, int high) {
    value = std::clamp(value, low, high);
    char buf[4];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(buf, static_cast<std::size_t>(width));
}

}  // namespace

LocalDateTime SystemClock::Now() const {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    return LocalDateTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                         parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string FormatDateTime(const LocalDateTime& when) {
    std::string out;
    out.reserve(19);
    AppendDigits(out, when.month, 2, 1, 12);
    out += '-';
    AppendDigits(out, when.day, 2, 1, 31);
    out += '-';
    AppendDigits(out, when.year, 4, 0, 9999);
    out += ' ';
    AppendDigits(out, when.hour, 2, 0, 23);
    out += ':';
    AppendDigits(out, when.minute, 2, 0, 59);
    out += ':';
    AppendDigits(out, when.second, 2, 0, 60);
    return out;
}

}  // namespace ostrel
