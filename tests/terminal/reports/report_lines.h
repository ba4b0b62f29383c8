// A report's CR LF separated lines, for comparing with expected lines.
#pragma once

#include <string>
#include <vector>

namespace ostrel::testing {

inline std::vector<std::string> ReportLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (true) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        if (end == std::string::npos) return lines;
        at = end + 2;
    }
}

}  // namespace ostrel::testing
