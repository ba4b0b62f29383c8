// Texts of the socket library: error messages and address formatting. Pure functions, shared by
// every implementation of Tessnet.
#pragma once

#include <string>
#include <string_view>

#include "terminal/session/tessnet.h"

namespace ostrel {

// The message of an error number, or an empty text when the library has none.
std::string_view InetErrorText(int code);

// Dotted decimal for IPv4, the usual compressed form for IPv6, empty for no address.
std::string FormatInetAddress(const InetAddress& address);

// Copies text into a C buffer with a terminating zero, cut to fit. Returns the length copied
// without the zero (0 for an empty buffer).
int CopyToBuffer(std::string_view text, std::span<char> buffer);

}  // namespace ostrel
