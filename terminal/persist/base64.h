// Base64 (RFC 4648 alphabet, "=" padding, no line breaks): how session files store the SSH
// password. An encoding, not a protection.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

std::string Base64Encode(std::string_view bytes);

// Decodes text written by Base64Encode or by other tools: blanks, tabs and line breaks are
// skipped, padding may be missing. nullopt for any other character, for "=" in the middle, or
// for a length that no encoding has (one character left over).
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace ostrel
