#include "terminal/core/paste_rule.h"

namespace ostrel {

std::string DollarPasteText(std::string_view clipboard) {
    std::string out;
    out.reserve(clipboard.size());
    for (std::size_t i = 0; i < clipboard.size(); ++i) {
        const char c = clipboard[i];
        if (c == '\r' || c == '\n') {
            out += "$0D$0A";
            if (c == '\r' && i + 1 < clipboard.size() && clipboard[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace ostrel
