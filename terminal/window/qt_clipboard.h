// The system clipboard for the terminal core: 8-bit text placed one byte per character.
#pragma once

#include "terminal/core/clipboard.h"

namespace ostrel {

class QtClipboard final : public Clipboard {
public:
    bool SetText(std::string_view text) override;
};

}  // namespace ostrel
