#include "terminal/persist/polling.h"

#include "terminal/core/text_util.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

std::vector<std::string> SplitPollText(std::string_view text) {
    std::vector<std::string> list;
    while (true) {
        const std::size_t br = text.find("\r\n");
        if (br == std::string_view::npos) break;
        list.emplace_back(text.substr(0, br));
        text.remove_prefix(br + 2);
    }
    list.emplace_back(text);
    return list;
}

void Polling::SetText(std::string_view text) {
    AssignText(TrimBlanks(text));
}

void Polling::AssignText(std::string_view text) {
    text_.assign(text.substr(0, kPollTextCapacity));
    list_ = SplitPollText(text_);
    count_ = static_cast<std::int32_t>(list_.size()) - 1;
}

void Polling::SetPeriodText(std::string_view text) {
    period_ = ReadNumber(text);
}

void Polling::PrepareForDialog() {
    const std::string shown(TrimBlanks(text_));
    SetText(shown);
    if (period_ <= 0) period_ = kDefaultPollPeriod;
}

std::optional<std::string> Polling::NextString() {
    // A position from a file may lie outside the list; such a position starts over.
    if (position_ > count_ || position_ < 0 ||
        static_cast<std::size_t>(position_) >= list_.size())
        position_ = 0;
    std::optional<std::string> next;
    if (!TrimBlanks(text_).empty()) next = list_[static_cast<std::size_t>(position_)];
    ++position_;
    return next;
}

bool Polling::Load(const PollSettings& settings) {
    on_ = settings.on;
    position_ = settings.position;
    period_ = settings.period;
    count_ = settings.count;
    if (!on_) return true;
    if (settings.text) {
        AssignText(*settings.text);
        return true;
    }
    text_ = kNoPollData;
    list_ = {std::string()};
    count_ = 0;
    return false;
}

PollSettings Polling::Saved() const {
    PollSettings settings;
    settings.on = on_;
    settings.position = position_;
    settings.period = period_;
    settings.count = count_;
    settings.text = text_;
    return settings;
}

}  // namespace ostrel
