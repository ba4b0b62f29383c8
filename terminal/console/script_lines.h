// The lines of a script: the bytes read from standard input when it is not a terminal (or a
// terminal without line editing), cut into the lines that are carried out one by one.
#pragma once

#include <optional>
#include <string>

namespace ostrel {

// Takes the next line out of `pending`, the bytes read but not yet carried out: the bytes up to
// its line feed, or, for a line longer than the input box holds (kLongestEditedLine), the
// box's worth, the rest following as the next line; the unfinished last line only once the
// input has ended. A CR at the end of the line is not part of it (scripts written on Windows).
// nullopt while no line is complete. With `secret` (the line is a password) the bytes taken
// are overwritten where they were.
std::optional<std::string> TakeScriptLine(std::string& pending, bool inputEnded, bool secret);

}  // namespace ostrel
