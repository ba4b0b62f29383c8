#include "terminal/console/script_lines.h"

#include <string.h>

#include "terminal/console/line_editor.h"

namespace ostrel {

std::optional<std::string> TakeScriptLine(std::string& pending, bool inputEnded, bool secret) {
    std::size_t length = 0;  // of the line
    std::size_t taken = 0;   // bytes taken out of pending: the line and its line feed
    const std::size_t end = pending.find('\n');
    // The line feed counts only where the line fits the input box (a CR before it aside):
    // the box keeps no more, and what it cuts off would be lost.
    const bool fits = end != std::string::npos &&
                      (end <= kLongestEditedLine ||
                       (end == kLongestEditedLine + 1 && pending[end - 1] == '\r'));
    if (fits) {
        length = end;
        taken = end + 1;
    } else if (pending.size() >= kLongestEditedLine) {
        length = taken = kLongestEditedLine;
    } else if (inputEnded && !pending.empty()) {
        length = taken = pending.size();
    } else {
        return std::nullopt;
    }
    std::string line = pending.substr(0, length);
    if (secret) explicit_bzero(pending.data(), taken);
    pending.erase(0, taken);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace ostrel
