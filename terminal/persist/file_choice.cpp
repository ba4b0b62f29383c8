#include "terminal/persist/file_choice.h"

#include <system_error>

#include "terminal/core/text_util.h"
#include "terminal/core/user_folder.h"

namespace ostrel {

FileChoice OpenSessionChoice(const std::string& sessionPath, const std::string& folder) {
    return {FileChoice::Kind::Open, "Open Session...", std::string(TrimBlanks(sessionPath)),
            folder, "INI Files", "*.ini", "ini"};
}

FileChoice SaveSessionChoice(const std::string& folder) {
    return {FileChoice::Kind::Save, "Save Session...", "Default.ini", folder, "INI Files",
            "*.ini", "ini"};
}

FileChoice LogFileChoice(const std::string& folder) {
    return {FileChoice::Kind::Save, "Save Session...", "log.txt", folder, "TXT Files", "*.txt",
            "txt"};
}

std::string DialogFolder() {
    std::error_code ec;
    std::filesystem::create_directories(UserFolder(), ec);
    return UserFolder().string();
}

}  // namespace ostrel
