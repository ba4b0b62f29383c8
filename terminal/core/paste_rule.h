// The terminal's paste rule: text pasted into a one-line box becomes one line in the dollar
// syntax, so that a multi-line clipboard is sent as the device expects it.
#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// Every line break of the clipboard text (CR LF, a lone CR, or a lone LF as Linux programs write
// it) becomes "$0D$0A"; every other byte stays as it is.
std::string DollarPasteText(std::string_view clipboard);

}  // namespace ostrel
