#include "terminal/remote/remote_definition.h"

#include <optional>

#include "terminal/core/formatters.h"
#include "terminal/core/text_util.h"

namespace ostrel {

std::string StoredText(std::string_view text, std::size_t capacity) {
    text = TrimBlanks(text);
    // A cut can leave a blank at the end, which the next save would trim away.
    return std::string(TrimBlanks(text.substr(0, capacity)));
}

std::string ButtonLabel(const RemoteButton& button) {
    const bool second = button.toggle != 0 && button.toggled;
    return std::string(TrimBlanks(second ? button.altCaption : button.caption));
}

bool PassesThroughNetLinx(const RemoteDefinition& panel) {
    return panel.netlinxPassThrough != 0 && !TrimBlanks(panel.netlinxDevice).empty();
}

std::string ButtonLine(const RemoteDefinition& panel, std::string_view s) {
    if (PassesThroughNetLinx(panel)) {
        if (std::optional<std::string> line = BuildNetLinxPassThrough(s, panel.netlinxDevice))
            return *line;
    }
    return std::string(s);
}

LineTerminator PanelTerminator(const RemoteDefinition& panel) {
    return panel.netlinxPassThrough != 0 ? LineTerminator::CrLf : LineTerminator::None;
}

}  // namespace ostrel
