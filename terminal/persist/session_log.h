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

// Whether a session file may name this log file. A file from elsewhere could otherwise have
// device data appended to a shell's start-up file: the name must end in ".txt" or ".log" (in any
// case) and no part of the path may be hidden (start with "."; "." and ".." themselves are fine).
bool LogPathAllowed(std::string_view file);
// The Status line when a session file's log file is refused and logging stays off.
std::string LogPathRefusedLine(std::string_view file);

class SessionLog final : public LogSink {
public:
    // The clock must outlive the log.
    explicit SessionLog(const Clock& clock, std::int64_t rollOverBytes = kLogRollOverBytes);
    ~SessionLog() override;
    SessionLog(const SessionLog&) = delete;
    SessionLog& operator=(const SessionLog&) = delete;

    bool On() const { return settings_.on; }
    // Off closes the file; it is opened again with the next entry.
    void SetOn(bool on);
    const LogSettings& Settings() const { return settings_; }
    // Loading a session file: the four settings as stored; no file is created or emptied.
    void Load(const LogSettings& settings);

    // A file was chosen: logging continues there from part 0, and the file is created empty (an
    // existing one is emptied). False when it could not be created; the settings change anyway,
    // and entries are then lost until the file can be written.
    bool StartFile(const std::string& path);

    // Adds the text's length to the count of the current part; when the count reaches the
    // roll-over size the next part begins (with this text) and the count starts again at 0.
    // Then appends "mm-dd-yyyy hh:mm:ss>>" and the text to the part's file, creating it when
    // missing. The file stays open from one entry to the next (checked once a second to still
    // be the file the path names). An entry that cannot be written is dropped, and the first
    // failure is reported through TakeReport; after an entry that is written again, a later failure
    // is reported again.
    void LogAppend(std::string_view text) override;
    std::string TakeReport() override;

    void SetRollOverBytes(std::int64_t bytes) { rollOverBytes_ = bytes; }

private:
    void CloseFile();
    // The open descriptor of path, opening it for appending when another (or none) is open,
    // or (recheck) when the path no longer names the open file; -1 with errno set when it
    // cannot be opened.
    int FileFor(const std::string& path, bool recheck);
    void Failed(const std::string& path, int error);

    const Clock& clock_;
    std::int64_t rollOverBytes_;
    LogSettings settings_;
    int fd_ = -1;
    std::string openPath_;
    std::string entry_;      // reused: the stamp and the text of one entry
    std::string checkedAt_;  // the stamp of the last check of the open file
    bool failing_ = false;   // the last entry was lost, and that was reported
    std::string report_;     // waiting for TakeReport
};

}  // namespace ostrel
