#include "terminal/core/code_page.h"

#include <array>
#include <cstdint>

#include "terminal/core/dollar_hex.h"

namespace ostrel {
namespace {

// The characters of bytes 80-9F hex.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The byte of a character, or -1 when the set lacks it.
int ByteOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
    return -1;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes the UTF-8 character at text[at]: its code point and length, or length 0 when the
// bytes there are not a valid character (overlong forms and surrogates included).
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t* c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *c = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *c = value;
    return length;
}

}  // namespace

char32_t Windows1252Character(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte;
}

void AppendWindows1252AsUtf8(std::string& out, std::string_view bytes) {
    for (const char b : bytes)
        AppendUtf8(out, Windows1252Character(static_cast<unsigned char>(b)));
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    AppendWindows1252AsUtf8(out, bytes);
    return out;
}

std::optional<std::string> Utf8ToWindows1252(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    std::optional<std::string> lacking;
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(text, at, &c);
        if (length == 0) {
            out += text[at++];
            continue;
        }
        const int byte = ByteOf(c);
        if (byte >= 0) {
            out += static_cast<char>(byte);
        } else {
            out += '?';
            if (!lacking) lacking = std::string(text.substr(at, length));
        }
        at += length;
    }
    return lacking;
}

std::string PaneTextOfUtf8(std::string_view text) {
    std::string out;
    Utf8ToWindows1252(text, out);
    return out;
}

std::string UnsendableCharacterLine(std::string_view character) {
    // Named by its number: the pane could not show it either.
    char32_t c = 0;
    std::string name = "U+";
    if (!character.empty() && DecodeUtf8(character, 0, &c) > 0)
        for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4)
            name += HexDigit(static_cast<unsigned>(c >> shift));
    return "The character " + name +
           " cannot be sent: it is not in the Windows-1252 character set. Nothing was sent; "
           "write the bytes the device expects as $XX...";
}

}  // namespace ostrel
