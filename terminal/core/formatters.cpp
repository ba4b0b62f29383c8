#include "terminal/core/formatters.h"

#include <array>

#include "terminal/core/dollar_hex.h"
#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

bool IsPrintable(unsigned char b) {
    return b >= 32 && b <= 126;
}

void AppendHexPair(std::string& out, unsigned char b) {
    out += HexDigit(b >> 4);
    out += HexDigit(b);
}

// One entry per byte value, built once on first use.
const std::array<std::string, 256>& CrestronTable() {
    static const std::array<std::string, 256> table = [] {
        std::array<std::string, 256> t;
        for (unsigned b = 0; b < 256; ++b) {
            std::string& e = t[b];
            switch (b) {
                case 7:
                    e = "\\a";
                    break;
                case 8:
                    e = "\\b";
                    break;
                case 9:
                    e = "\\t";
                    break;
                case 12:
                    e = "\\f";
                    break;
                case 13:
                    e = "\\r";
                    break;
                case 92:
                    e = "\\\\";
                    break;
                default:
                    if (b >= 33 && b <= 126) {
                        e = std::string(1, static_cast<char>(b));
                    } else {
                        e = "\\x";
                        AppendHexPair(e, static_cast<unsigned char>(b));
                    }
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

std::string FormatAmx(std::string_view bytes) {
    enum class State { Start, Quoted, Hex };
    State state = State::Start;
    std::string out;
    out.reserve(bytes.size() * 2 + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (IsPrintable(b)) {
            switch (state) {
                case State::Start:
                    out += "\" '";
                    break;
                case State::Quoted:
                    break;
                case State::Hex:
                    out += ", '";
                    break;
            }
            out += c;
            state = State::Quoted;
        } else {
            switch (state) {
                case State::Start:
                    out += "\" ";
                    break;
                case State::Quoted:
                    out += "', ";
                    break;
                case State::Hex:
                    out += ", ";
                    break;
            }
            out += '$';
            AppendHexPair(out, b);
            state = State::Hex;
        }
    }
    switch (state) {
        case State::Start:
            break;
        case State::Quoted:
            out += "' \"";
            break;
        case State::Hex:
            out += " \"";
            break;
    }
    return out;
}

std::string FormatCrestron(std::string_view bytes) {
    const auto& table = CrestronTable();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        // The pairing is decided on the bytes, not on the rendered text, so that an escaped
        // backslash followed by "r" and an LF can never be mistaken for a CR LF pair.
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else {
            out += table[b];
        }
    }
    return out;
}

std::string FormatExtron(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (IsPrintable(b)) {
            out += c;
        } else {
            out += '%';
            AppendHexPair(out, b);
        }
    }
    return out;
}

std::optional<std::string> FormatForMode(ConversionMode mode, std::string_view bytes) {
    switch (mode) {
        case ConversionMode::Amx:
            return FormatAmx(bytes);
        case ConversionMode::Crestron:
            return FormatCrestron(bytes);
        case ConversionMode::Extron:
            return FormatExtron(bytes);
        case ConversionMode::NoConversion:
            break;
    }
    return std::nullopt;
}

std::optional<std::string> BuildNetLinxPassThrough(std::string_view buttonString,
                                                   std::string_view device) {
    constexpr std::size_t kDeviceCapacity = 40;
    if (TrimBlanks(buttonString).empty()) return std::nullopt;
    const std::string decoded = DecodeDollarHex(buttonString);
    const std::string amx = FormatAmx(TrimBlanks(decoded));
    std::string line = "||send_string ";
    line += TrimBlanks(device.substr(0, kDeviceCapacity));
    line += ", ";
    line += TrimBlanks(amx);
    return line;
}

}  // namespace ostrel
