// Session files: everything needed to reopen one terminal session, in a Windows INI file that
// the Windows tool this program replaces reads and writes too.
//
// Sections and keys, in the order they are written (defaults in brackets):
//   [Connection Settings] "RemoteControl" (""), "Type" (0), then after the next two sections
//       "In Use" (0), "Name" (""), "FileSpec" (the path loaded), "Comment1".."CommentCount"
//       (multi-line, ""), "URL" (""), "HTTPRequest1".."HTTPRequestCount" (multi-line, ""),
//       "TCP UDP Port" (""), "Secure" (0), "Login" (""), "Password" (Base64, ""), and after the
//       serial section "Connected" (0), "Timeout" (0), "Send Http" (0), "Remote Port" (0),
//       "Local Echo" (0), "Remote Echo" (0). Read only: "runAsRemote" (0), and the older
//       single-line "Comment" and "HTTP Request" with "$0D$0A" for line breaks.
//   [Display Settings] "Display Type" (0)      [Send Settings] "Line Terminator" (0)
//   [Control System] "Mode" (3)
//   [Serial Settings] "COM Port" (""), "Baud", "Parity", "Data", "Stop", "Flow" (0)
//   [Colors] "Background" (0), "Incoming" (16777215), "Local Echo" (65280), "Status" (65535),
//       "Informational" (10468863), each a 0x00BBGGRR value in decimal
//   [Logging] "Log All" (0), "Log File" (""), "Log Count" (0), "Log Bytes" (0)
//   [Polling] "Polling" (0), "PollStrings1".."PollStringsCount" (multi-line), "Poll Period",
//       "Poll Count", "Poll Position" (0); read only: the older single-line "PollData".
// Numbers are decimal and read leniently; text is trimmed of blanks; values longer than their
// field are cut. A missing or unreadable file reads as all defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "terminal/core/colour_table.h"
#include "terminal/core/core_types.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

// Paths (session file, remote panel, log file) are kept up to this many bytes.
inline constexpr std::size_t kPathCapacity = 4095;
inline constexpr std::size_t kSessionNameCapacity = 20;
inline constexpr std::size_t kPollTextCapacity = 9999;

struct LogSettings {
    bool on = false;
    std::string file;
    std::int32_t part = 0;    // 0: the file itself; n: the file with "_n" before its extension
    std::int64_t bytes = 0;   // characters logged into the current part
};

struct PollSettings {
    bool on = false;
    std::int32_t position = 0;  // the next poll string to send
    std::int32_t period = 0;    // milliseconds
    std::int32_t count = 0;     // index of the last poll string
    // The poll strings, one per line with CR LF between them. Reading: nullopt when the file has
    // neither "PollData" nor a poll count above zero.
    std::optional<std::string> text;
};

// The colours a session file gives when it has none.
ColourTable SessionFileDefaultColours();

struct SessionFile {
    // The fields of the record that the file holds: type, in use, state ("Connected"), host,
    // port, the serial settings, timeout, HTTP mode and request, secure, login and password,
    // name, comment, remote port. The rest keeps its default.
    SessionSettings session;
    bool runAsRemote = false;
    std::string remotePanel;  // "RemoteControl"
    std::string fileSpec;
    DisplayType displayType = DisplayType::Text;
    LineTerminator terminator = LineTerminator::None;
    ConversionMode mode = ConversionMode::NoConversion;
    bool localEcho = false;
    bool remoteEcho = false;
    ColourTable colours = SessionFileDefaultColours();
    LogSettings log;
    PollSettings poll;
    bool readable = false;  // reading: the file existed and could be read
};

// Reads every key of the file; "Timeout" above 10 reads as 5.
SessionFile ReadSessionFile(const std::string& path);

// Writes the file anew with every key in order (the password as Base64; poll.text with the
// multi-line keys), in one write. A file that exists is replaced by a new one renamed over it,
// so a failure leaves it untouched, and keeps its permissions; a new file is readable and
// writable by its owner only, since it holds the password. When the poll text is not blank, the
// companion poll file (PollFilePath) is written too, the poll strings 0 to poll.count one per line
// with CR LF. Returns false with a reason in *error when either file could not be written.
bool WriteSessionFile(const std::string& path, const SessionFile& file, std::string* error);

// Copies the fields of the record that a session file holds (see SessionFile::session) and
// leaves the rest (handles, credentials, TLS choice, pending line ...) as it is.
void ApplySessionFields(const SessionSettings& from, SessionSettings& to);

// The companion poll file: the path with its last three characters replaced by "pol".
std::string PollFilePath(const std::string& path);

}  // namespace ostrel
