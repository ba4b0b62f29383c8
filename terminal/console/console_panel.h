// The remote panel as the console shows it: a list of its buttons, numbered from 1 as the
// panel editor numbers them, and the button a /press names.
#pragma once

#include <string>
#include <string_view>

#include "terminal/remote/remote_definition.h"

namespace ostrel {

// "Remote panel "CAPTION" (/press N or /press CAPTION):" and a line per button with a caption:
// its number, its label, the other caption of a toggle button and "hold" for a hold button.
std::string RemotePanelListing(const RemoteDefinition& panel);

struct PanelButtonChoice {
    int index = -1;     // 0 to 49; -1 when none
    std::string error;  // why none
};

// The button that which names: a number from 1 to 50, or else a caption or alternate caption
// compared without regard to case (the first such button). A button without a caption is
// hidden on the panel and cannot be pressed.
PanelButtonChoice FindPanelButton(const RemoteDefinition& panel, std::string_view which);

}  // namespace ostrel
