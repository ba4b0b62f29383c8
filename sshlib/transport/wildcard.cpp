#include "sshlib/transport/wildcard.h"

#include <cstddef>
#include <utility>

namespace tessan::transport {
namespace {

enum class Outcome { kMatch, kNoMatch, kMalformed };

// Reads one (possibly escaped) character of a bracket expression at `i`; false when the
// pattern ends first.
bool ReadSetChar(std::string_view pattern, size_t& i, char& c, bool& escaped) {
    if (i >= pattern.size()) return false;
    escaped = false;
    if (pattern[i] == '\\') {
        if (i + 1 >= pattern.size()) return false;
        escaped = true;
        ++i;
    }
    c = pattern[i++];
    return true;
}

// Matches the bracket expression starting after its "[" at `i` against `c`; leaves `i` just
// past the closing "]".
Outcome MatchSet(std::string_view pattern, size_t& i, char c) {
    bool negate = false;
    if (i < pattern.size() && pattern[i] == '^') {
        negate = true;
        ++i;
    }
    bool found = false;
    bool first = true;
    for (;;) {
        if (i >= pattern.size()) return Outcome::kMalformed;
        if (pattern[i] == ']' && !first) {
            ++i;
            break;
        }
        first = false;
        char low;
        bool escaped;
        if (!ReadSetChar(pattern, i, low, escaped)) return Outcome::kMalformed;
        char high = low;
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            ++i;
            if (!ReadSetChar(pattern, i, high, escaped)) return Outcome::kMalformed;
        } else if (i + 1 >= pattern.size() && i < pattern.size() && pattern[i] == '-') {
            return Outcome::kMalformed;
        } else if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] == ']') {
            return Outcome::kMalformed;  // a range with no end before the closing bracket
        }
        unsigned char a = static_cast<unsigned char>(low);
        unsigned char b = static_cast<unsigned char>(high);
        if (a > b) std::swap(a, b);
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= a && u <= b) found = true;
    }
    return found != negate ? Outcome::kMatch : Outcome::kNoMatch;
}

// Checks that the rest of the pattern is well formed (so that a malformed pattern never
// matches, whichever way the text runs).
bool WellFormed(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        if (c == '\\') {
            if (i + 1 >= pattern.size()) return false;
            i += 2;
        } else if (c == '[') {
            ++i;
            if (MatchSet(pattern, i, 'a') == Outcome::kMalformed) return false;
        } else {
            ++i;
        }
    }
    return true;
}

bool MatchFrom(std::string_view pattern, size_t p, std::string_view text, size_t t) {
    while (p < pattern.size()) {
        char c = pattern[p];
        if (c == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size()) return true;
            for (size_t start = t; start <= text.size(); ++start) {
                if (MatchFrom(pattern, p, text, start)) return true;
            }
            return false;
        }
        if (t >= text.size()) return false;
        if (c == '?') {
            ++p;
        } else if (c == '[') {
            ++p;
            if (MatchSet(pattern, p, text[t]) != Outcome::kMatch) return false;
        } else {
            if (c == '\\') ++p;  // well formed: a character follows
            if (pattern[p] != text[t]) return false;
            ++p;
        }
        ++t;
    }
    return t == text.size();
}

}  // namespace

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    if (!WellFormed(pattern)) return false;
    return MatchFrom(pattern, 0, text, 0);
}

}  // namespace tessan::transport
