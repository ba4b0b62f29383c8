#include "terminal/persist/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "platform/profile.h"
#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

constexpr std::string_view kEmptyLine = "$Empty";
constexpr std::string_view kSpace = "$20";

// The buffer a value is read into may hold an encoded password: cleared before release.
struct WipedBuffer {
    std::vector<char> bytes;
    std::size_t used = 0;  // bytes the value took
    explicit WipedBuffer(std::size_t size) : bytes(size) {}
    ~WipedBuffer() {
        volatile char* data = bytes.data();
        for (std::size_t i = 0; i < used; ++i)
            data[i] = 0;
    }
};

std::string Terminated(std::string_view text) {
    return std::string(text);
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

bool Protect(std::string_view value) {
    if (value.empty()) return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(value.front()) || blank(value.back())) return true;
    return value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
           value.back() == value.front();
}

// The lines of the first section of this name that contain "=" and begin with prefix, trimmed,
// as IniKeyExists sees them in the file's text.
std::vector<std::string> KeyLinesOf(std::string_view text, std::string_view section,
                                    std::string_view prefix) {
    std::vector<std::string> lines;
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
    const std::string header = "[" + std::string(section) + "]";
    bool inside = false;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimSpacesAndTabs(line);
        if (!inside) {
            inside = SameIgnoringCase(line, header);
            continue;
        }
        if (line.starts_with('[') && line.ends_with(']')) break;
        if (line.find('=') != std::string_view::npos && line.starts_with(prefix))
            lines.emplace_back(line);
    }
    return lines;
}

// The numbers i for which a line begins with base + i: every leading part of the digits that
// follow base in a line (without leading zeros), so that a line "Comment12=" counts for 1 and 12.
std::set<std::int64_t> NumberedKeys(const std::vector<std::string>& lines, std::string_view base) {
    std::set<std::int64_t> numbers;
    for (const std::string& line : lines) {
        if (!line.starts_with(base)) continue;
        std::int64_t value = 0;
        for (std::size_t i = base.size(); i < line.size() && i < base.size() + 10; ++i) {
            const char c = line[i];
            if (c < '0' || c > '9') break;
            if (i == base.size() && c == '0') break;
            value = value * 10 + (c - '0');
            numbers.insert(value);
        }
    }
    return numbers;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (true) {
        const std::size_t hit = text.find(from, at);
        if (hit == std::string::npos) break;
        out.append(text, at, hit - at);
        out.append(to);
        at = hit + from.size();
    }
    out.append(text, at);
    text = std::move(out);
}

std::string NumberedKey(std::string_view base, std::int64_t number) {
    return std::string(base) + std::to_string(number);
}

// A value as written: inside one more pair of quotes when readers would strip its ends.
std::string StoredForm(std::string_view value) {
    if (!Protect(value)) return std::string(value);
    std::string stored;
    stored.reserve(value.size() + 2);
    stored += '"';
    stored += value;
    stored += '"';
    return stored;
}

}  // namespace

IniDocument::IniDocument(const std::string& file)
    : profile_(PlatformOpenProfileA(file.c_str())),
      readable_(profile_ != nullptr && PlatformGetLastError() == ERROR_SUCCESS) {}

IniDocument::~IniDocument() {
    PlatformCloseProfile(profile_);
}

std::string IniDocument::Read(std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t capacity) const {
    WipedBuffer buffer(capacity + 1);
    const DWORD n =
        PlatformGetProfileStringA(profile_, Terminated(section).c_str(), Terminated(key).c_str(),
                                  Terminated(defaultValue).c_str(), buffer.bytes.data(),
                                  static_cast<DWORD>(buffer.bytes.size()));
    buffer.used = n + 1;
    return std::string(buffer.bytes.data(), n);
}

bool IniDocument::KeyExists(std::string_view section, std::string_view key) const {
    LPCSTR text = nullptr;
    const DWORD length = PlatformGetProfileText(profile_, &text);
    return !KeyLinesOf(std::string_view(text, length), section, key).empty();
}

bool IniDocument::Write(std::string_view section, std::string_view key, std::string_view value) {
    std::string stored = StoredForm(value);
    const bool ok = PlatformSetProfileStringA(profile_, Terminated(section).c_str(),
                                              Terminated(key).c_str(), stored.c_str()) != FALSE;
    WipeSecret(stored);
    return ok;
}

bool IniDocument::Save(const std::string& file, unsigned newFileMode) const {
    return PlatformSaveProfileA(profile_, file.c_str(), newFileMode) != FALSE;
}

std::string IniStoredValue(std::string_view value) { return StoredForm(value); }

std::string IniRead(const std::string& file, std::string_view section, std::string_view key,
                    std::string_view defaultValue, std::size_t capacity) {
    return IniDocument(file).Read(section, key, defaultValue, capacity);
}

bool IniWrite(const std::string& file, std::string_view section, std::string_view key,
              std::string_view value) {
    std::string stored = StoredForm(value);
    const bool ok =
        PlatformWritePrivateProfileStringA(Terminated(section).c_str(), Terminated(key).c_str(),
                                           stored.c_str(), file.c_str()) != FALSE;
    WipeSecret(stored);
    return ok;
}

bool IniKeyExists(const std::string& file, std::string_view section, std::string_view key) {
    return !file.empty() && IniDocument(file).KeyExists(section, key);
}

std::string EncodeIniLine(std::string_view line) {
    if (line.empty()) return std::string(kEmptyLine);
    std::string stored(line);
    ReplaceAll(stored, " ", kSpace);
    return stored;
}

std::string DecodeIniLine(std::string_view stored) {
    std::string line(stored);
    ReplaceAll(line, kSpace, " ");
    if (line == kEmptyLine) line.clear();
    return line;
}

std::string ExpandLineBreaks(std::string_view value) {
    std::string text(value);
    ReplaceAll(text, "$0D$0A", "\r\n");
    return text;
}

bool IniWriteMultiLine(const std::string& file, std::string_view section, std::string_view baseKey,
                       std::string_view countKey, std::string_view text) {
    IniDocument document(file);
    const bool edited = document.WriteMultiLine(section, baseKey, countKey, text);
    return document.Save(file, kIniNewFileMode) && edited;
}

bool IniDocument::WriteMultiLine(std::string_view section, std::string_view baseKey,
                                 std::string_view countKey, std::string_view text) {
    // The encoding has no room for a lone CR or LF inside a line: they end lines too.
    std::string rest;
    rest.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rest += "\r\n";
            ++i;
        } else if (c == '\r' || c == '\n') {
            rest += "\r\n";
        } else {
            rest += c;
        }
    }
    bool ok = true;
    std::int64_t number = 1;
    std::string_view remaining = rest;
    for (std::size_t br = remaining.find("\r\n"); br != std::string_view::npos;
         br = remaining.find("\r\n"), ++number) {
        ok = Write(section, NumberedKey(baseKey, number), EncodeIniLine(remaining.substr(0, br))) &&
             ok;
        remaining.remove_prefix(br + 2);
    }
    if (!remaining.empty()) {
        std::string last(remaining);
        last.erase(last.find_last_not_of(' ') + 1);
        ReplaceAll(last, " ", kSpace);
        ok = Write(section, NumberedKey(baseKey, number), last) && ok;
    }
    ok = Write(section, countKey, std::to_string(number)) && ok;
    return ok;
}

MultiLineText IniReadMultiLine(const std::string& file, std::string_view section,
                               std::string_view baseKey, std::string_view countKey,
                               std::size_t capacity) {
    return IniDocument(file).ReadMultiLine(section, baseKey, countKey, capacity);
}

MultiLineText IniDocument::ReadMultiLine(std::string_view section, std::string_view baseKey,
                                         std::string_view countKey, std::size_t capacity) const {
    MultiLineText result;
    const std::int64_t count = ReadNumber(Read(section, countKey, "0"));
    if (count <= 0) return result;
    result.found = true;
    // Only the numbers with a line in the file can be read; a huge count costs nothing more.
    LPCSTR text = nullptr;
    const DWORD length = PlatformGetProfileText(profile_, &text);
    const std::vector<std::string> lines =
        KeyLinesOf(std::string_view(text, length), section, baseKey);
    for (std::int64_t number : NumberedKeys(lines, baseKey)) {
        if (number > count) break;
        // Every line read but the last adds at least its CR LF, so the text fills up quickly.
        if (result.text.size() >= capacity) break;
        result.text += DecodeIniLine(Read(section, NumberedKey(baseKey, number), "", capacity));
        if (number != count) result.text += "\r\n";
    }
    if (result.text.size() > capacity) result.text.resize(capacity);
    return result;
}

}  // namespace ostrel
