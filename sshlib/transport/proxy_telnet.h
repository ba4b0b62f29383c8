// The telnet-style proxy command: a template with "%" fields and "\" escapes.
#pragma once

#include <string>
#include <string_view>

namespace tessan {

inline constexpr std::string_view kDefaultTelnetCommand = "connect %host %port\n";

struct TelnetCommandFields {
    std::string_view host;  // target host
    int port = 0;           // target port
    std::string_view user;  // proxy user name
    std::string_view password;
    std::string_view proxyHost;
    int proxyPort = 0;
};

// Expands the template: "%host", "%port", "%user", "%pass", "%proxyhost" and "%proxyport" are
// replaced by the fields (ports in decimal), "%%" gives "%", any other "%" is copied. After a
// backslash: "\\" a backslash, "\%" a percent sign, "\n" line feed, "\r" carriage return, "\t"
// tab, "\x" or "\X" and two hexadecimal digits that byte (with a digit missing, the backslash
// is copied and copying goes on from the letter); any other pair is copied as it is. The
// result may hold the password: wipe it after sending.
std::string ExpandTelnetCommand(std::string_view pattern, const TelnetCommandFields& fields);

}  // namespace tessan
