#include "terminal/core/incoming_render.h"

#include <array>
#include <cstring>

namespace ostrel {
namespace {

constexpr std::size_t kRowBytes = 8;

// Per byte value: 1 when the text view keeps it.
constexpr std::array<unsigned char, 256> kKeepInText = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned b = 32; b <= 126; ++b)
        t[b] = 1;
    t['\t'] = t['\n'] = t['\r'] = 1;
    return t;
}();

// Per byte value: "$XX " as four characters.
constexpr std::array<std::array<char, 4>, 256> kHexItem = [] {
    std::array<std::array<char, 4>, 256> t{};
    constexpr char digits[] = "0123456789ABCDEF";
    for (unsigned b = 0; b < 256; ++b)
        t[b] = {'$', digits[b >> 4], digits[b & 15], ' '};
    return t;
}();

char ShownCharacter(unsigned char b) {
    return b >= 32 && b <= 126 ? static_cast<char>(b) : ' ';
}

// Writes one row of count (1-8) bytes without its CR LF; returns the position after it.
char* WriteHexRow(char* p, const unsigned char* bytes, std::size_t count) {
    std::memset(p, ' ', kHexRowPrefixLength);
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(p + 4 * i, kHexItem[bytes[i]].data(), 4);
    p[kHexRowPrefixLength - 2] = '>';
    p[kHexRowPrefixLength - 1] = '>';
    p += kHexRowPrefixLength;
    for (std::size_t i = 0; i < count; ++i)
        *p++ = ShownCharacter(bytes[i]);
    return p;
}

std::size_t RowCount(std::size_t bytes) {
    return (bytes + kRowBytes - 1) / kRowBytes;
}

}  // namespace

bool RenderIncomingText(std::string_view data, std::string& out) {
    out.resize(data.size());
    char* dst = out.data();
    std::size_t kept = 0;
    // Branch-free: every byte is written, only kept ones advance the position.
    for (const char c : data) {
        dst[kept] = c;
        kept += kKeepInText[static_cast<unsigned char>(c)];
    }
    out.resize(kept);
    return kept != data.size();
}

void BuildTextLog(std::string_view kept, std::string_view stamp, std::string& log) {
    log.clear();
    log.reserve(kept.size() + 2 + stamp.size());
    log += "\r\n";
    log += stamp;
    std::size_t from = 0;
    for (;;) {
        const std::size_t cr = kept.find('\r', from);
        if (cr == std::string_view::npos || cr + 1 >= kept.size()) break;
        if (kept[cr + 1] != '\n') {
            log.append(kept.substr(from, cr + 1 - from));
            from = cr + 1;
            continue;
        }
        log.append(kept.substr(from, cr + 2 - from));
        log += stamp;
        from = cr + 2;
    }
    log.append(kept.substr(from));
}

void RenderIncomingHex(std::string_view data, std::string& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t full = data.size() / kRowBytes;
    const std::size_t rest = data.size() % kRowBytes;
    out.resize(2 + full * kHexRowLength + (rest ? kHexRowPrefixLength + rest + 2 : 0));
    char* p = out.data();
    *p++ = '\r';
    *p++ = '\n';
    for (std::size_t row = 0; row < RowCount(data.size()); ++row) {
        const std::size_t count = row < full ? kRowBytes : rest;
        p = WriteHexRow(p, bytes + row * kRowBytes, count);
        *p++ = '\r';
        *p++ = '\n';
    }
}

void BuildHexLog(std::string_view data, std::string_view stamp, std::string& log) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t rows = RowCount(data.size());
    const std::size_t rest = data.size() % kRowBytes;
    const std::size_t perRow = 2 + stamp.size() + kHexRowPrefixLength;
    log.resize(rows * perRow + data.size());
    char* p = log.data();
    for (std::size_t row = 0; row < rows; ++row) {
        const std::size_t count = row + 1 < rows || rest == 0 ? kRowBytes : rest;
        *p++ = '\r';
        *p++ = '\n';
        if (!stamp.empty()) std::memcpy(p, stamp.data(), stamp.size());
        p = WriteHexRow(p + stamp.size(), bytes + row * kRowBytes, count);
    }
}

}  // namespace ostrel
