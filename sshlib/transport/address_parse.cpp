#include "sshlib/transport/address_parse.h"

namespace tessan {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool IsTerminator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<uint32_t> ParseNumericAddress(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    uint64_t parts[4];
    int count = 0;
    for (;;) {
        if (count == 4) return std::nullopt;  // a fourth dot
        int base = 10;
        if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
            base = 16;
            pos += 2;
        }
        uint64_t value = 0;
        size_t digits = 0;
        while (pos < text.size()) {
            int digit = HexValue(text[pos]);
            if (digit < 0 || digit >= base) break;
            value = value * base + digit;
            if (value > 0xFFFFFFFFULL) return std::nullopt;
            ++digits;
            ++pos;
        }
        if (digits == 0) return std::nullopt;
        parts[count++] = value;
        if (pos < text.size() && text[pos] == '.') {
            if (value > 255) return std::nullopt;
            ++pos;
            continue;
        }
        break;
    }
    if (pos < text.size() && !IsTerminator(text[pos])) return std::nullopt;

    // The last part fills whatever bits the leading bytes leave.
    static constexpr uint64_t kLastMax[4] = {0xFFFFFFFFULL, 0xFFFFFFULL, 0xFFFFULL, 0xFFULL};
    uint64_t last = parts[count - 1];
    if (last > kLastMax[count - 1]) return std::nullopt;
    uint32_t address = static_cast<uint32_t>(last);
    for (int i = 0; i < count - 1; ++i) address |= static_cast<uint32_t>(parts[i]) << (24 - 8 * i);
    return address;
}

}  // namespace tessan
