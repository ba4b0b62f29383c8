#include "terminal/reports/report_text.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace ostrel {
namespace {

constexpr const char* kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

std::string RightAligned(std::string_view text) {
    return text.size() >= 15 ? std::string(text)
                             : std::string(15 - text.size(), ' ') + std::string(text);
}

}  // namespace

std::string Column15(std::uint64_t number) {
    return RightAligned(std::to_string(number));
}

std::string Column15(const std::optional<std::uint64_t>& number) {
    return number ? Column15(*number) : RightAligned(kNotAvailable);
}

std::optional<std::uint64_t> Percent(std::uint64_t part, std::uint64_t whole) {
    // More available than there is in all comes only from damaged system files; no percentage
    // of it means anything.
    if (whole == 0 || part > whole) return std::nullopt;
    // 100 × part overflows for counts past 2^57 bytes; long double keeps every realistic count
    // exact enough for a whole percentage.
    const long double ratio =
        100.0L * static_cast<long double>(part) / static_cast<long double>(whole);
    return static_cast<std::uint64_t>(ratio + 0.5L);
}

std::string Hex(std::uint64_t number) {
    char text[17];
    std::snprintf(text, sizeof text, "%" PRIX64, number);
    return text;
}

std::string FormatReportTime(std::int64_t unixSeconds, int milliseconds) {
    if (unixSeconds < 0) unixSeconds = 0;
    const auto seconds = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    if (milliseconds < 0 || milliseconds > 999) milliseconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d (%03d milliseconds)%s",
                  utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                  utc.tm_sec, milliseconds, kWeekdays[utc.tm_wday % 7]);
    return text;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += "\r\n";
        text += lines[i];
    }
    return text;
}

std::string_view TrimSpace(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace ostrel
