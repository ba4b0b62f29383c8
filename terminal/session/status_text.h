// The session's texts in the status bar.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "terminal/session/session_settings.h"

namespace ostrel {

// Status-bar part 0 for the record: "No Active Session..." while not in use, otherwise
// the type's text with host and port (or the serial settings). nullopt for combinations that
// leave the part as it is (for example a TCP Server that is connected rather than listening).
std::optional<std::string> SessionStatusText(const SessionSettings& settings);

// Status-bar part 4: "LE RE", "LE", "RE" or empty.
std::string_view EchoStatusText(bool localEcho, bool remoteEcho);

// "None", "Odd", "Even", "Mark", "Space"; "1", "1.5", "2"; "None", "Hard", "Soft".
// Values outside the ranges give an empty text.
std::string_view ParityName(Parity parity);
std::string_view StopBitsName(StopBits stopBits);
std::string_view FlowName(FlowControl flow);

}  // namespace ostrel
