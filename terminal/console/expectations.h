// The --expect patterns: regular expressions (Perl syntax, QRegularExpression) matched against
// the bytes received, byte for byte (a pattern's bytes and the data's bytes are compared as
// Latin-1 characters, so a UTF-8 character in a pattern matches its UTF-8 bytes). A pattern
// that matched once stays matched.
#pragma once

#include <QRegularExpression>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// Received bytes kept for patterns that span reads: a match must lie within the last
// kExpectWindow bytes plus the newest read.
inline constexpr std::size_t kExpectWindow = 64 * 1024;

class Expectations {
public:
    // nullopt with the reason when a pattern is not a valid expression.
    static std::optional<Expectations> Compile(const std::vector<std::string>& patterns,
                                               std::string* error);

    void Feed(std::string_view data);
    bool Empty() const { return patterns_.empty(); }
    bool AllMatched() const;
    std::vector<std::string> Unmatched() const;

private:
    struct Pattern {
        std::string text;
        QRegularExpression expression;
        bool matched = false;
    };
    std::vector<Pattern> patterns_;
    std::string window_;
};

}  // namespace ostrel
