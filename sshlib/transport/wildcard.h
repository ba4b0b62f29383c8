// The wildcard patterns of the peer quirk table.
#pragma once

#include <string_view>

namespace tessan::transport {

// True when `pattern` matches the whole of `text`. "*" matches any run of characters (also
// none), "?" any one character, "[...]" one character of a set ("^" first negates it; "a-z" is
// a range and may be written either way round, "z-a"), and a backslash makes the next pattern
// character literal, also inside brackets. A malformed pattern (an unclosed bracket, a range
// that ends in "]", a trailing backslash) matches nothing.
bool WildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace tessan::transport
