// The start-up colours: the preferences file "qzprefs.ini" decides only by being there.
#pragma once

#include <filesystem>
#include <string_view>

#include "terminal/core/colour_table.h"

namespace ostrel {

inline constexpr std::string_view kPreferencesFileName = "qzprefs.ini";

// When folder has no "qzprefs.ini", sets the table to DefaultColourTable() and returns true.
// When it has one, the table is left as it is (the session file loaded at start-up then sets
// it) and the result is false. The file's content is not read.
bool ApplyStartupColours(ColourTable& colours, const std::filesystem::path& folder);
// The same for the current folder (a current folder that no longer exists has no file).
bool ApplyStartupColours(ColourTable& colours);

}  // namespace ostrel
