#include "sshlib/transport/proxy_telnet.h"

#include <string>

#include "crypto/secure_memory.h"

namespace tessan {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string ExpandTelnetCommand(std::string_view pattern, const TelnetCommandFields& fields) {
    struct Field {
        std::string_view name;
        std::string value;
    } kFields[] = {{"host", std::string(fields.host)},
                   {"port", std::to_string(fields.port)},
                   {"user", std::string(fields.user)},
                   {"pass", std::string(fields.password)},
                   {"proxyhost", std::string(fields.proxyHost)},
                   {"proxyport", std::to_string(fields.proxyPort)}};
    std::string out;
    size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c == '%') {
            std::string_view rest = pattern.substr(i + 1);
            if (!rest.empty() && rest[0] == '%') {
                out += '%';
                i += 2;
                continue;
            }
            bool replaced = false;
            for (const auto& field : kFields) {
                if (rest.substr(0, field.name.size()) == field.name) {
                    out += field.value;
                    i += 1 + field.name.size();
                    replaced = true;
                    break;
                }
            }
            if (!replaced) {
                out += '%';
                ++i;
            }
            continue;
        }
        if (c != '\\' || i + 1 >= pattern.size()) {
            out += c;
            ++i;
            continue;
        }
        char next = pattern[i + 1];
        switch (next) {
            case '\\': out += '\\'; i += 2; break;
            case '%': out += '%'; i += 2; break;
            case 'n': out += '\n'; i += 2; break;
            case 'r': out += '\r'; i += 2; break;
            case 't': out += '\t'; i += 2; break;
            case 'x':
            case 'X': {
                int high = i + 2 < pattern.size() ? HexDigit(pattern[i + 2]) : -1;
                int low = i + 3 < pattern.size() ? HexDigit(pattern[i + 3]) : -1;
                if (high < 0 || low < 0) {
                    out += '\\';
                    ++i;  // go on from the letter
                } else {
                    out += static_cast<char>(high * 16 + low);
                    i += 4;
                }
                break;
            }
            default:
                out += '\\';
                out += next;
                i += 2;
                break;
        }
    }
    for (Field& field : kFields) SecureWipe(field.value);
    return out;
}

}  // namespace tessan
