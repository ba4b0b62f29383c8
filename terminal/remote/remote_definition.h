// The one loaded remote panel: its settings and its button records, with the capacities and
// defaults that panel files are read with, and the rules every part of the panel shares (which
// label a button shows, what line a button string becomes, which terminator the panel wants).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"

namespace ostrel {

// A file holds 51 button records; the panel shows the first 50 (record 50 has no button).
inline constexpr int kRemoteButtonRecords = 51;
inline constexpr int kRemoteButtonControls = 50;
inline constexpr int kRemoteButtonsPerRow = 5;

inline constexpr std::size_t kRemotePathCapacity = 1024;
inline constexpr std::size_t kRemoteCaptionCapacity = 255;
inline constexpr std::size_t kRemoteAuthorCapacity = 9999;
inline constexpr std::size_t kRemoteCommentsCapacity = 9999;
inline constexpr std::size_t kNetlinxDeviceCapacity = 40;
inline constexpr std::size_t kRemoteStyleCapacity = 255;
inline constexpr std::size_t kButtonCaptionCapacity = 25;
inline constexpr std::size_t kButtonStringCapacity = 255;

inline constexpr std::string_view kDefaultRemoteFile = "Default.qzr";
inline constexpr std::string_view kNewRemoteCaption = "New Remote";
inline constexpr std::string_view kNoRemoteComment = "No Comment...";
inline constexpr std::string_view kRemoteStyle = "TV1";

struct RemoteButton {
    std::string caption;  // blank: an empty slot, hidden on the panel
    std::string altCaption;
    std::string pushString;  // texts in the "$XX" syntax, decoded only when sent
    std::string repeatString;
    std::string releaseString;
    // Flags are integers as in the file: 0 off, anything else on.
    std::int32_t toggle = 0;
    std::int32_t hold = 0;
    std::int32_t holdTime = 0;  // tenths of a second
    bool toggled = false;       // a toggle button's second state; never stored
};

struct RemoteDefinition {
    std::string path{kDefaultRemoteFile};
    bool loaded = false;  // a panel window exists
    std::string caption{kNewRemoteCaption};
    std::string author;
    std::string comments{kNoRemoteComment};  // lines separated by CR LF
    std::string netlinxDevice;
    std::int32_t netlinxPassThrough = -1;
    float version = 1;  // read and kept, never used
    std::string style{kRemoteStyle};
    std::int32_t buttonCount = 50;  // button sections to read
    std::int32_t buttonWidth = 56;
    std::int32_t timerRate = 200;     // milliseconds between repeat strings
    std::int32_t lineTerminator = 0;  // as a session file's "Line Terminator"
    std::int32_t height = 375;
    std::int32_t width = 355;
    std::array<RemoteButton, kRemoteButtonRecords> buttons{};
};

// Text as a field stores it: trimmed of blanks and cut to the field's capacity (and trimmed
// again where the cut leaves a blank at its end).
std::string StoredText(std::string_view text, std::size_t capacity);

// What button shows: the alternate caption while a toggle button is in its second state, else
// the caption, trimmed.
std::string ButtonLabel(const RemoteButton& button);

// Whether button strings go to an AMX controller as NetLinx send_string commands: the
// pass-through flag is on and a device is named.
bool PassesThroughNetLinx(const RemoteDefinition& panel);

// The line a button string s becomes on its way to SendLine: the NetLinx pass-through line
// when the panel passes through, otherwise s as stored.
std::string ButtonLine(const RemoteDefinition& panel, std::string_view s);

// The line terminator a panel sets while it is used: CR LF with pass-through on (the
// controller reads one command per line), none without.
LineTerminator PanelTerminator(const RemoteDefinition& panel);

}  // namespace ostrel
