#include "terminal/console/console_panel.h"

#include <algorithm>
#include <cctype>

#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const RemoteButton& ButtonAt(const RemoteDefinition& panel, int index) {
    return panel.buttons[static_cast<std::size_t>(index)];
}

}  // namespace

std::string RemotePanelListing(const RemoteDefinition& panel) {
    std::string text = "Remote panel \"" + std::string(TrimBlanks(panel.caption)) +
                       "\" (/press N or /press CAPTION):";
    for (int i = 0; i < kRemoteButtonControls; ++i) {
        const RemoteButton& button = ButtonAt(panel, i);
        if (TrimBlanks(button.caption).empty()) continue;
        std::string number = std::to_string(i + 1);
        text += "\n  " + std::string(3 - number.size(), ' ') + number + "  " +
                std::string(TrimBlanks(button.caption));
        if (button.toggle != 0)
            text += "  (toggle, then \"" + std::string(TrimBlanks(button.altCaption)) + "\")";
        else if (button.hold != 0)
            text += "  (hold " + std::to_string(button.holdTime) + "/10 s)";
    }
    return text;
}

PanelButtonChoice FindPanelButton(const RemoteDefinition& panel, std::string_view which) {
    which = TrimBlanks(which);
    PanelButtonChoice choice;
    const bool number =
        !which.empty() && which.size() <= 3 &&
        std::all_of(which.begin(), which.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (number) {
        const int n = std::stoi(std::string(which));
        if (n < 1 || n > kRemoteButtonControls) {
            choice.error = "the panel's buttons are numbered 1 to 50";
            return choice;
        }
        if (TrimBlanks(ButtonAt(panel, n - 1).caption).empty()) {
            choice.error = "button " + std::to_string(n) + " is empty";
            return choice;
        }
        choice.index = n - 1;
        return choice;
    }
    for (int i = 0; i < kRemoteButtonControls; ++i) {
        const RemoteButton& button = ButtonAt(panel, i);
        if (TrimBlanks(button.caption).empty()) continue;
        if (SameIgnoringCase(TrimBlanks(button.caption), which) ||
            (button.toggle != 0 && SameIgnoringCase(TrimBlanks(button.altCaption), which))) {
            choice.index = i;
            return choice;
        }
    }
    choice.error = "the panel has no button \"" + std::string(which) + "\"";
    return choice;
}

}  // namespace ostrel
