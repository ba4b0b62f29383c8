#include "terminal/console/expectations.h"

#include <algorithm>

namespace ostrel {

std::optional<Expectations> Expectations::Compile(const std::vector<std::string>& patterns,
                                                  std::string* error) {
    Expectations expectations;
    for (const std::string& text : patterns) {
        QRegularExpression expression(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
        if (!expression.isValid()) {
            *error = "--expect '" + text + "' is not a valid pattern: " +
                     expression.errorString().toStdString() + " at offset " +
                     std::to_string(expression.patternErrorOffset());
            return std::nullopt;
        }
        expression.optimize();
        expectations.patterns_.push_back({text, std::move(expression), false});
    }
    return expectations;
}

void Expectations::Feed(std::string_view data) {
    if (data.empty() || AllMatched()) return;
    window_.append(data);
    const QString text =
        QString::fromLatin1(window_.data(), static_cast<qsizetype>(window_.size()));
    for (Pattern& pattern : patterns_)
        if (!pattern.matched) pattern.matched = pattern.expression.match(text).hasMatch();
    if (window_.size() > kExpectWindow) window_.erase(0, window_.size() - kExpectWindow);
}

bool Expectations::AllMatched() const {
    return std::all_of(patterns_.begin(), patterns_.end(),
                       [](const Pattern& pattern) { return pattern.matched; });
}

std::vector<std::string> Expectations::Unmatched() const {
    std::vector<std::string> unmatched;
    for (const Pattern& pattern : patterns_)
        if (!pattern.matched) unmatched.push_back(pattern.text);
    return unmatched;
}

}  // namespace ostrel
