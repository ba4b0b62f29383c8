// Texts and arguments of start-up and of the Help and File menus: the version line, the About
// box, the command line of a new instance and the session file named on the command line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "terminal/app/front_end.h"

namespace ostrel {

// The program's version in four parts, "0.1.0.0".
std::string_view ProgramVersion();
// "Ostrel v0.1.0.0" followed by CR LF.
std::string VersionLine();
// The About box text: "Ostrel v" and the version, two line breaks, the credit lines and a
// description of the operating system.
std::string AboutText(std::string_view systemDescription);
// The running system, for example "Linux 6.1.0-18-amd64 (x86_64)".
std::string SystemDescription();

// The four placement words of a new instance, over this window and offset by 30 pixels:
// "/top:", "/height:", "/left:", "/width:".
std::vector<std::string> NewInstanceArguments(const WindowRect& window);

// The session or remote-panel file named on the command line: when the arguments, joined by
// blanks, contain ".ini" or ".qzr", that text trimmed of blanks and of one pair of surrounding
// double quotes; otherwise nullopt.
std::optional<std::string> SessionFileArgument(const std::vector<std::string>& arguments);

// Whether a start-up file is a remote panel file (it ends in ".qzr", in any case) rather than a
// session file.
bool IsRemotePanelFile(std::string_view path);

// The help page: next to the executable in a build or a portable folder, in the documentation
// folder of an installed copy (PREFIX/bin/ostrel, PREFIX/share/doc/ostrel/Ostrel.html).
inline constexpr std::string_view kHelpFileName = "Ostrel.html";
inline constexpr std::string_view kInstalledHelpFolder = "../share/doc/ostrel";
// Where the help page is looked for, given the executable's folder, in order.
std::vector<std::filesystem::path> HelpPageCandidates(const std::filesystem::path& programFolder);

}  // namespace ostrel
