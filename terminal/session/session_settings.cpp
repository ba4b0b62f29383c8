#include "terminal/session/session_settings.h"

#include <cstring>
#include <limits>

namespace ostrel {

unsigned ProtocolSetOf(TlsChoice choice) {
    switch (choice) {
        case TlsChoice::Auto:
            return kSecuritySsl3 | kSecurityTls1;
        case TlsChoice::Ssl2Ssl3:
            return kSecuritySsl2 | kSecuritySsl3;
        case TlsChoice::Tls10:
            return kSecurityTls1;
    }
    return kSecuritySsl3 | kSecurityTls1;
}

SessionSettings::~SessionSettings() {
    WipeSecret(sshPassword);
}

bool IsPortNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > kPortCapacity) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    const std::int32_t number = ReadNumber(text);
    return number >= 1 && number <= 65535;
}

std::int32_t ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit) value = kLimit;  // stays bounded however many digits follow
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

void WipeSecret(std::string& secret) {
    if (secret.empty()) return;
    // A volatile pointer keeps the stores from being removed as dead.
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i)
        bytes[i] = 0;
    secret.clear();
}

}  // namespace ostrel
