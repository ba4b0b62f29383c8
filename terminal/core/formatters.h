// Renderings of sent bytes in the string notation of a control system, so that an integrator can
// paste exactly the string that was tested into a control program. Pure functions; empty input
// gives empty text. "Printable" means 32-126 for all three.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"

namespace ostrel {

// NetLinx string expression: quoted runs of printable bytes and $XX items, comma-separated,
// inside double quotes. "Hello\r\n" gives `" 'Hello', $0D, $0A "`. Quotes in the data are not
// escaped.
std::string FormatAmx(std::string_view bytes);

// Crestron backslash notation: \a \b \t \f \r, "\\" for a backslash, the character itself for
// 33-126, \xHH for everything else (blank included), and \n for a CR byte directly followed by an
// LF byte. "Vol 50%\r" gives `Vol\x2050%\r`.
std::string FormatCrestron(std::string_view bytes);

// Extron notation: printable bytes (blank included) as themselves, every other byte as %HH.
// A percent sign in the data is not escaped.
std::string FormatExtron(std::string_view bytes);

// The formatter of a mode; nullopt for NoConversion (and for values outside the four modes).
std::optional<std::string> FormatForMode(ConversionMode mode, std::string_view bytes);

// The NetLinx pass-through line a remote-panel button sends through an AMX controller:
// "||send_string " + device + ", " + the AMX form of the decoded button string.
// The device text is cut to its 40-character capacity and trimmed of blanks; the decoded string
// and its AMX form are trimmed of blanks. Gives nullopt when the button string is blank.
std::optional<std::string> BuildNetLinxPassThrough(std::string_view buttonString,
                                                   std::string_view device);

}  // namespace ostrel
