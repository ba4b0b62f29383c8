#include "terminal/core/clipboard.h"

namespace ostrel {

bool CopyToClipboard(Clipboard& clipboard, std::string_view text) {
    if (text.empty()) return false;
    return clipboard.SetText(text);
}

}  // namespace ostrel
