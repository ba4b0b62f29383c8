// The common file dialogs of the File menu, described without a toolkit: the front end shows
// them (the Qt window with its file dialogs, a console by asking for a path).
#pragma once

#include <string>

namespace ostrel {

struct FileChoice {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    std::string title;
    std::string initialName;    // the file name the dialog starts with
    std::string folder;         // the folder it starts in
    std::string filterName;     // "INI Files"
    std::string filterPattern;  // "*.ini"
    std::string defaultSuffix;  // added to a name typed without one
};

// Open Session: "Open Session...", the current session path, INI files.
FileChoice OpenSessionChoice(const std::string& sessionPath, const std::string& folder);
// Save Session: "Save Session...", "Default.ini", INI files; replacing a file is confirmed.
FileChoice SaveSessionChoice(const std::string& folder);
// File > Log: "Save Session..." (sic), "log.txt", TXT files; replacing a file is confirmed.
FileChoice LogFileChoice(const std::string& folder);

// The folder the dialogs start in: the per-user folder (created when missing).
std::string DialogFolder();

}  // namespace ostrel
