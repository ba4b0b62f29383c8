// Formatting shared by the system reports: right-aligned numbers, hexadecimal fields, the report
// time stamp, and the "(not available)" of fields this system has no source for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// What a field says when the machine has no equivalent of it.
inline constexpr std::string_view kNotAvailable = "(not available)";

// The number right-aligned in 15 columns, padded with spaces (longer numbers are not cut).
std::string Column15(std::uint64_t number);
// As Column15, or "(not available)" right-aligned the same way when there is no value.
std::string Column15(const std::optional<std::uint64_t>& number);

// 100 × part ÷ whole rounded to a whole number; nullopt when whole is 0 (nothing to divide by)
// or part exceeds whole (the figures contradict each other).
std::optional<std::uint64_t> Percent(std::uint64_t part, std::uint64_t whole);

// Upper-case hexadecimal without prefix ("1A").
std::string Hex(std::uint64_t number);

// A time as the reports write it, in UTC: "2024-03-05 14:07:09 (042 milliseconds)Tuesday".
// Seconds are counted from 1 January 1970; times before it are written as that day.
std::string FormatReportTime(std::int64_t unixSeconds, int milliseconds = 0);

// Lines joined with CR LF, as one block for the pane.
std::string JoinLines(const std::vector<std::string>& lines);

// Calls fn with each line of the text, without its LF (a CR before it stays).
template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        fn(text.substr(at, end - at));
        at = end + 1;
    }
}

// The text with leading and trailing blanks, tabs and line ends removed.
std::string_view TrimSpace(std::string_view text);

}  // namespace ostrel
