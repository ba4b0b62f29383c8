// The system clipboard as the terminal core uses it: it only ever places 8-bit text there.
#pragma once

#include <string_view>

namespace ostrel {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with the 8-bit text (never empty). Returns false when the
    // clipboard could not be opened; nothing changes then.
    virtual bool SetText(std::string_view text) = 0;
};

// Places the text on the clipboard; an empty text leaves the clipboard alone. Returns whether the
// clipboard now holds the text.
bool CopyToClipboard(Clipboard& clipboard, std::string_view text);

}  // namespace ostrel
