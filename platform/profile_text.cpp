#include "platform/profile_text.h"

#include <cstddef>
#include <unordered_set>

namespace platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNone = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

enum class LineKind { Blank, Comment, Section, Entry };

struct Line {
    std::size_t begin = 0;  // offset of the line in the text
    std::size_t next = 0;   // offset of the following line (past the LF)
    LineKind kind = LineKind::Blank;
    std::string_view name;   // section or entry name
    std::string_view value;  // entry value, trimmed, quotes still on
};

std::size_t ContentStart(std::string_view text) {
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

Line ReadLine(std::string_view text, std::size_t at) {
    Line line;
    line.begin = at;
    std::size_t end = text.find('\n', at);
    line.next = end == kNone ? text.size() : end + 1;
    if (end == kNone) end = text.size();
    if (end > at && text[end - 1] == '\r') --end;
    const std::string_view content = Trim(text.substr(at, end - at));
    if (content.empty()) return line;
    if (content.front() == ';') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (content.front() == '[') {
        line.kind = LineKind::Section;
        const std::size_t close = content.find(']');
        line.name = Trim(content.substr(1, close == kNone ? kNone : close - 1));
        return line;
    }
    line.kind = LineKind::Entry;
    const std::size_t equals = content.find('=');
    line.name = Trim(content.substr(0, equals));
    if (equals != kNone) line.value = Trim(content.substr(equals + 1));
    return line;
}

// Calls visit(line) for each line from offset at until it returns false.
template <typename Visit>
void ForEachLine(std::string_view text, std::size_t at, Visit visit) {
    while (at < text.size()) {
        const Line line = ReadLine(text, at);
        if (!visit(line)) return;
        at = line.next;
    }
}

// Where the first section of a name lies. The unnamed section always "exists": it is the
// stretch before the first section line.
struct SectionSpan {
    bool found = false;
    std::size_t begin = 0;           // its section line (the body for the unnamed section)
    std::size_t body = 0;            // the line after the section line
    std::size_t end = 0;             // the next section line, or the end of the text
    std::size_t afterLastEntry = 0;  // where a new entry goes
    bool hasEntry = false;
};

SectionSpan LocateSection(std::string_view text, std::string_view section) {
    section = Trim(section);
    SectionSpan span;
    const std::size_t start = ContentStart(text);
    span.end = text.size();
    bool inside = section.empty();
    if (inside) {
        span.found = true;
        span.begin = span.body = span.afterLastEntry = start;
    }
    ForEachLine(text, start, [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            if (inside) {
                span.end = line.begin;
                return false;
            }
            if (SameName(line.name, section)) {
                inside = span.found = true;
                span.begin = line.begin;
                span.body = span.afterLastEntry = line.next;
            }
            return true;
        }
        if (inside && line.kind == LineKind::Entry) {
            span.afterLastEntry = line.next;
            span.hasEntry = true;
        }
        return true;
    });
    return span;
}

// The first entry named key inside the span.
std::optional<Line> FindEntry(std::string_view text, const SectionSpan& span, std::string_view key) {
    key = Trim(key);
    std::optional<Line> found;
    ForEachLine(text.substr(0, span.end), span.body, [&](const Line& line) {
        if (line.kind == LineKind::Entry && SameName(line.name, key)) {
            found = line;
            return false;
        }
        return true;
    });
    return found;
}

// Appends text[from, to) with its line ends made CR LF.
void AppendNormalized(std::string& out, std::string_view text, std::size_t from, std::size_t to) {
    std::size_t at = from;
    while (at < to) {
        std::size_t lf = text.find('\n', at);
        if (lf == kNone || lf >= to) {
            // A last line without LF: a CR at its very end was its line end.
            std::size_t end = to;
            if (end > at && text[end - 1] == '\r') --end;
            out.append(text.substr(at, end - at));
            out += "\r\n";
            return;
        }
        std::size_t end = lf;
        if (end > at && text[end - 1] == '\r') --end;
        out.append(text.substr(at, end - at));
        out += "\r\n";
        at = lf + 1;
    }
}

std::string Splice(std::string_view text, std::size_t cutFrom, std::size_t cutTo,
                   std::string_view insert) {
    std::string out;
    out.reserve(text.size() + insert.size() + 64);
    AppendNormalized(out, text, 0, cutFrom);
    out.append(insert);
    AppendNormalized(out, text, cutTo, text.size());
    return out;
}

std::string EntryLine(std::string_view name, std::string_view value) {
    std::string line;
    line.reserve(name.size() + value.size() + 3);
    line.append(name);
    line += '=';
    line.append(value);
    line += "\r\n";
    return line;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != kNone;
}

}  // namespace

std::optional<std::string_view> ProfileFind(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const SectionSpan span = LocateSection(text, section);
    if (!span.found) return std::nullopt;
    const std::optional<Line> entry = FindEntry(text, span, key);
    if (!entry) return std::nullopt;
    return Unquote(entry->value);
}

std::vector<std::string_view> ProfileSectionNames(std::string_view text) {
    std::vector<std::string_view> names;
    std::unordered_set<std::string> seen;  // lower-case names listed so far
    bool unnamedHasEntry = false;
    bool beforeFirst = true;
    ForEachLine(text, ContentStart(text), [&](const Line& line) {
        if (line.kind == LineKind::Section) {
            beforeFirst = false;
            std::string lower(line.name);
            for (char& c : lower)
                c = Lower(c);
            if (seen.insert(std::move(lower)).second) names.push_back(line.name);
        } else if (line.kind == LineKind::Entry && beforeFirst) {
            unnamedHasEntry = true;
        }
        return true;
    });
    if (unnamedHasEntry) {
        // A "[]" line names the same section; list it once, first.
        std::erase_if(names, [](std::string_view name) { return name.empty(); });
        names.insert(names.begin(), std::string_view{});
    }
    return names;
}

bool ProfileHasSection(std::string_view text, std::string_view section) {
    const SectionSpan span = LocateSection(text, section);
    return Trim(section).empty() ? span.hasEntry : span.found;
}

std::optional<std::vector<std::string_view>> ProfileKeyNames(std::string_view text,
                                                             std::string_view section) {
    const SectionSpan span = LocateSection(text, section);
    if (!span.found) return std::nullopt;
    std::vector<std::string_view> names;
    ForEachLine(text.substr(0, span.end), span.body, [&](const Line& line) {
        if (line.kind == LineKind::Entry) names.push_back(line.name);
        return true;
    });
    return names;
}

bool ProfileSectionNameWritable(std::string_view section) {
    return !HasLineBreak(section) && section.find(']') == kNone;
}

bool ProfileKeyNameWritable(std::string_view key) {
    const std::string_view name = Trim(key);
    return !name.empty() && !HasLineBreak(key) && key.find('=') == kNone && name.front() != '[' &&
           name.front() != ';';
}

bool ProfileValueWritable(std::string_view value) {
    return !HasLineBreak(value);
}

std::string ProfileWithValue(std::string_view text, std::string_view section,
                             std::string_view key, std::string_view value) {
    const SectionSpan span = LocateSection(text, section);
    if (span.found) {
        if (const std::optional<Line> entry = FindEntry(text, span, key))
            return Splice(text, entry->begin, entry->next, EntryLine(entry->name, value));
        return Splice(text, span.afterLastEntry, span.afterLastEntry,
                      EntryLine(Trim(key), value));
    }
    std::string insert = "[";
    insert.append(Trim(section));
    insert += "]\r\n";
    insert += EntryLine(Trim(key), value);
    return Splice(text, text.size(), text.size(), insert);
}

std::string ProfileWithoutKey(std::string_view text, std::string_view section,
                              std::string_view key) {
    const SectionSpan span = LocateSection(text, section);
    if (!span.found) return ProfileNormalizeLineEnds(text);
    const std::optional<Line> entry = FindEntry(text, span, key);
    if (!entry) return ProfileNormalizeLineEnds(text);
    return Splice(text, entry->begin, entry->next, {});
}

std::string ProfileWithoutSection(std::string_view text, std::string_view section) {
    const SectionSpan span = LocateSection(text, section);
    if (!span.found) return ProfileNormalizeLineEnds(text);
    return Splice(text, span.begin, span.end, {});
}

std::string ProfileNormalizeLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 64);
    AppendNormalized(out, text, 0, text.size());
    return out;
}

}  // namespace platform
