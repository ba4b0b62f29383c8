// Small byte-string helpers shared by the terminal core.
#pragma once

#include <string_view>

namespace ostrel {

// Removes leading and trailing blanks (character 32 only; tabs and other bytes stay).
std::string_view TrimBlanks(std::string_view text);

}  // namespace ostrel
