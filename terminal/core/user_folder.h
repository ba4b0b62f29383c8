// Where the terminal keeps its per-user files ("cmnds.txt", "default.ini", "Ostrel.sp").
//
// Files are read from the per-user folder and, for a portable install, from the folder of the
// executable; they are written to the per-user folder only.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace ostrel {

// $OSTREL_HOME when set and not empty, else $XDG_CONFIG_HOME/ostrel when XDG_CONFIG_HOME is an
// absolute path, else $HOME/.config/ostrel (the home folder of the password database when HOME
// is unset). The folder is not created here.
std::filesystem::path UserFolder();

// The folder holding the running executable; empty when it cannot be determined.
std::filesystem::path ExecutableFolder();

// The first existing regular file named name in the per-user folder, then in the executable's
// folder; nullopt when neither has one.
std::optional<std::filesystem::path> FindReadableFile(std::string_view name);

}  // namespace ostrel
