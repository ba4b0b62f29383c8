// The session log: a copy of the received data shown in the terminal, in a text file with a
// date-time stamp in front of each entry, continued in a new file (log_1.txt, log_2.txt ...) each
// time the current one has taken the roll-over size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/core/date_time.h"
#include "terminal/core/text_output.h"
#include "terminal/persist/session_file.h"

namespace ostrel {

// A part of the log takes this many characters before the next part begins (1 GiB).
inline constexpr std::int64_t kLogRollOverBytes = 0x40000000;

// The file of a part: part 0 is the log file itself; part n is the path trimmed of blanks with
// "_" and n inserted before its last four characters ("log.txt" gives "log_1.txt"), or in front
// of a name shorter than four characters.
std::string LogPartPath(std::string_view file, std::int32_t part);

class SessionLog final : public LogSink {
public:
    // The clock must outlive the log.
    explicit SessionLog(const Clock& clock, std::int64_t rollOverBytes = kLogRollOverBytes);

    bool On() const { return settings_.on; }
    void SetOn(bool on) { settings_.on = on; }
    const LogSettings& Settings() const { return settings_; }
    // Loading a session file: the four settings as stored; no file is created or emptied.
    void Load(const LogSettings& settings) { settings_ = settings; }

    // A file was chosen: logging continues there from part 0, and the file is created empty (an
    // existing one is emptied). False when it could not be created; the settings change anyway,
    // and entries are then lost until the file can be written.
    bool StartFile(const std::string& path);

    // Adds the text's length to the count of the current part; when the count reaches the
    // roll-over size the next part begins (with this text) and the count starts again at 0.
    // Then appends "mm-dd-yyyy hh:mm:ss>>" and the text to the part's file, creating it when
    // missing. An entry that cannot be written is dropped.
    void LogAppend(std::string_view text) override;

    void SetRollOverBytes(std::int64_t bytes) { rollOverBytes_ = bytes; }

private:
    const Clock& clock_;
    std::int64_t rollOverBytes_;
    LogSettings settings_;
};

}  // namespace ostrel
