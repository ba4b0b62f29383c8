#include "terminal/core/dollar_hex.h"

namespace ostrel {
namespace {

// Value of a hex digit of either case, or -1.
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "$$" becomes "$24", scanning on after each replacement, so "$$$$" is "$24$24".
std::string ExpandDoubledDollars(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == '$') {
            out += "$24";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string DecodeDollarHex(std::string_view text, std::vector<MalformedEscape>* malformed) {
    const std::string expanded = ExpandDoubledDollars(text);
    std::string_view rest = expanded;
    std::string out;
    out.reserve(rest.size());
    for (;;) {
        const std::size_t dollar = rest.find('$');
        if (dollar == std::string_view::npos) {
            out.append(rest);
            break;
        }
        out.append(rest.substr(0, dollar));
        if (rest.size() - dollar - 1 < 2) {
            // An incomplete escape at the end is dropped.
            if (malformed != nullptr) malformed->push_back({std::string(rest.substr(dollar)), {}});
            break;
        }
        // Both characters are consumed whatever they are; digits count only up to the first
        // non-digit.
        unsigned value = 0;
        std::size_t digits = 0;
        for (std::size_t k = 1; k <= 2; ++k) {
            const int digit = HexValue(rest[dollar + k]);
            if (digit < 0) break;
            value = value * 16 + static_cast<unsigned>(digit);
            ++digits;
        }
        out += static_cast<char>(value);
        if (digits < 2 && malformed != nullptr)
            malformed->push_back({std::string(rest.substr(dollar, 3)),
                                  "$" + std::string{HexDigit(value >> 4), HexDigit(value)}});
        rest.remove_prefix(dollar + 3);
    }
    return out;
}

std::string MalformedEscapeLine(const MalformedEscape& escape) {
    std::string line = "`" + escape.written + "` is not a hex escape: ";
    line += escape.sent.empty() ? "nothing was sent for it" : "sent as " + escape.sent;
    return line;
}

void AppendDollarHex(std::string& out, std::string_view bytes) {
    if (bytes.empty()) return;
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 4 - 1);
    char* p = out.data() + start;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i != 0) *p++ = ' ';
        *p++ = '$';
        *p++ = HexDigit(b >> 4);
        *p++ = HexDigit(b);
    }
}

std::string EncodeDollarHex(std::string_view bytes) {
    std::string out;
    AppendDollarHex(out, bytes);
    return out;
}

}  // namespace ostrel
