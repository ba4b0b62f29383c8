// Polling: a list of strings sent one per tick of the poll timer, round and round, so that a
// device is queried at a steady rate. This is the state and its rules; the application
// controller runs the timer and sends each string through SendLine, the "Polling" dialog edits
// the text and the period as they are typed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/persist/session_file.h"

namespace ostrel {

// The poll text after loading a session that has polling on but no poll strings.
inline constexpr std::string_view kNoPollData = "No Poll Data Recovered!\r\n";

// The period the dialog shows when none is set.
inline constexpr std::int32_t kDefaultPollPeriod = 100;

// The poll text split at every CR LF; a trailing CR LF gives a last, empty string, and an empty
// text one empty string.
std::vector<std::string> SplitPollText(std::string_view text);

class Polling {
public:
    bool On() const { return on_; }
    void SetOn(bool on) { on_ = on; }

    const std::string& Text() const { return text_; }
    const std::vector<std::string>& List() const { return list_; }
    std::int32_t Count() const { return count_; }
    std::int32_t Position() const { return position_; }
    std::int32_t Period() const { return period_; }
    void SetPeriod(std::int32_t period) { period_ = period; }

    // A change in the dialog's text box: the text (blanks trimmed, cut to kPollTextCapacity)
    // becomes the poll text, the list is split again and the count follows it.
    void SetText(std::string_view text);
    // A change in the dialog's delay box: the number the text starts with (0 when none).
    void SetPeriodText(std::string_view text);
    // Opening the dialog: the text it shows is the poll text trimmed (which splits the list
    // again), and a period of 0 or less becomes kDefaultPollPeriod.
    void PrepareForDialog();

    // One tick: the string to send now, or nullopt when the poll text is blank. The position
    // wraps to 0 when it is past the count (or outside the list), and moves on by one either way.
    std::optional<std::string> NextString();

    // Loading a session file: the flag, position, period and count; with polling on, also the
    // text (its list and count then follow the text). Polling on without a text keeps polling on
    // with the text kNoPollData, whose list is one empty string (no earlier session's strings are
    // sent); returns false then.
    bool Load(const PollSettings& settings);
    // What a session file stores.
    PollSettings Saved() const;

private:
    void AssignText(std::string_view text);

    bool on_ = false;
    std::string text_;
    std::vector<std::string> list_ = {std::string()};
    std::int32_t count_ = 0;
    std::int32_t position_ = 0;
    std::int32_t period_ = 0;
};

}  // namespace ostrel
