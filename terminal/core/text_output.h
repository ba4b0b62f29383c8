// The one way every part of the terminal reports to the user: ShowText. The display model
// implements it; code that only reports (the send path, sessions, tools) depends on this
// interface alone, so its tests can record what it shows.
#pragma once

#include <string>
#include <string_view>

#include "terminal/core/core_types.h"

namespace ostrel {

class TextOutput {
public:
    virtual ~TextOutput() = default;
    // Shows 8-bit text in a category. Status, Echo and Informational texts start a new line.
    virtual void ShowText(std::string_view text, DisplayCategory category) = 0;
};

// Where the display hands its log text while logging is on: once per ShowText call, with the
// date-stamped rendering of incoming data, or an empty text for any other output.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void LogAppend(std::string_view text) = 0;
    // A problem the user should hear of once (the log cannot be written), taken by the display
    // after LogAppend and shown as a Status line; empty when there is none.
    virtual std::string TakeReport() { return {}; }
};

}  // namespace ostrel
