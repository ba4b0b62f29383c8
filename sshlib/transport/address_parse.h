// Numeric IPv4 address text, as accepted before any name lookup.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tessan {

// Parses dotted address text: leading white space is skipped; one to four parts separated by
// dots, each decimal or hexadecimal after "0x"/"0X"; one part is the whole 32-bit address, two
// are 8.24 bits, three 8.8.16, four 8.8.8.8 (the last part may not exceed the bits left, the
// others not 255). The text must end there or at a space, tab, carriage return or line feed;
// anything else (a port after a colon, an IPv6 address, a sixth dot) makes it invalid.
// Returns the address in host byte order, or nothing when the text is not such an address.
std::optional<uint32_t> ParseNumericAddress(std::string_view text);

}  // namespace tessan
