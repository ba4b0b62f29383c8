#include "terminal/core/memory_pane.h"

#include <algorithm>
#include <cassert>

namespace ostrel {

void MemoryPane::Freeze() {
    assert(!frozen_ && "the display model never nests freezes");
    frozen_ = true;
    ++freezeCount_;
}

void MemoryPane::Unfreeze() {
    assert(frozen_);
    frozen_ = false;
}

void MemoryPane::AppendColored(std::string_view text, Colour colour) {
    if (!frozen_) ++changesWhileUnfrozen_;
    if (!text.empty()) {
        if (runs_.empty() || runs_.back().colour != colour) runs_.push_back({text_.size(), colour});
        text_.append(text);
    }
    caret_ = text_.size();
}

void MemoryPane::KeepTail(std::size_t count) {
    if (!frozen_) ++changesWhileUnfrozen_;
    if (count >= text_.size()) return;
    const std::size_t cut = text_.size() - count;
    text_.erase(0, cut);
    // The run holding the first kept character starts the new text.
    auto first = std::upper_bound(runs_.begin(), runs_.end(), cut,
                                  [](std::size_t pos, const Run& r) { return pos < r.start; });
    if (first != runs_.begin()) --first;
    runs_.erase(runs_.begin(), first);
    for (Run& r : runs_)
        r.start = r.start > cut ? r.start - cut : 0;
    if (text_.empty()) runs_.clear();
    caret_ = caret_ > cut ? caret_ - cut : 0;
}

void MemoryPane::SetCaret(std::size_t position) {
    caret_ = std::min(position, text_.size());
}

Colour MemoryPane::ColourAt(std::size_t position) const {
    assert(position < text_.size());
    auto it = std::upper_bound(runs_.begin(), runs_.end(), position,
                               [](std::size_t pos, const Run& r) { return pos < r.start; });
    return std::prev(it)->colour;
}

void MemoryPane::Clear() {
    text_.clear();
    runs_.clear();
    caret_ = 0;
}

}  // namespace ostrel
