#include "sshlib/api/text_convert.h"

#include <algorithm>
#include <cstdint>

namespace tessan {

std::string WideToUtf8(LPCWSTR text) {
    if (!text) return {};
    return WideToUtf8(std::u16string_view(text));
}

std::string WideToUtf8(std::u16string_view text) {
    std::string out;
    // Room for the longest result (three bytes per unit) up front: the text may be a password,
    // and a string that grows would leave partial copies in the blocks it gives back.
    out.reserve(3 * text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8ToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
        uint8_t lead = byte(i);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        uint32_t c = 0xFFFD;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) valid = (byte(i + k) & 0xC0) == 0x80;
        if (valid) {
            static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
            c = length == 1 ? lead : lead & (0x7F >> length);
            for (size_t k = 1; k < length; ++k) c = (c << 6) | (byte(i + k) & 0x3F);
            if (c < kMin[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
            i += length;
        } else {
            ++i;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

void CopyUtf8ToWide(std::string_view text, LPWSTR out, size_t capacity) {
    if (!out || capacity < 1) return;
    std::u16string wide = Utf8ToWide(text);
    size_t count = std::min(wide.size(), capacity - 1);
    if (count > 0 && count < wide.size() && wide[count - 1] >= 0xD800 && wide[count - 1] <= 0xDBFF)
        --count;
    wide.copy(out, count);
    out[count] = 0;
}

}  // namespace tessan
