#include "terminal/core/display.h"

#include "terminal/core/incoming_render.h"

namespace ostrel {

Display::Display(OutputPane& pane, const ColourTable& colours, const Clock& clock)
    : pane_(pane), colours_(colours), clock_(clock) {}

void Display::ApplyBackground() {
    pane_.SetBackground(colours_[ColourSlot::Background]);
}

std::string Display::LogStamp() const {
    return FormatDateTime(clock_.Now()) + ">>";
}

void Display::ShowText(std::string_view text, DisplayCategory category) {
    // The non-printable notice is shown from inside an incoming call; only the outermost call
    // freezes and unfreezes, so the pane repaints once for both.
    if (freezeDepth_++ == 0) pane_.Freeze();

    if (category != previous_) pane_.AppendColored("\r\n", Colour{0});

    log_.clear();
    auto appendLine = [&](ColourSlot slot) {
        std::string line;
        line.reserve(text.size() + 2);
        line += "\r\n";
        line += text;
        pane_.AppendColored(line, colours_[slot]);
    };
    switch (category) {
        case DisplayCategory::Status:
            appendLine(ColourSlot::Status);
            break;
        case DisplayCategory::Echo:
            appendLine(ColourSlot::LocalEcho);
            break;
        case DisplayCategory::Informational:
            appendLine(ColourSlot::Informational);
            break;
        case DisplayCategory::Incoming:
            ShowIncoming(text);
            break;
    }

    if (logSink_ != nullptr) logSink_->LogAppend(log_);

    if (pane_.Length() > kPaneLimit) {
        pane_.KeepTail(kPaneKeep);
        pane_.SetCaret(kCaretAfterCut);
    }

    if (--freezeDepth_ == 0) pane_.Unfreeze();
    previous_ = category;
}

void Display::ShowIncoming(std::string_view data) {
    const Colour colour = colours_[ColourSlot::Incoming];
    if (displayType_ == DisplayType::Text) {
        const bool dropped = RenderIncomingText(data, rendered_);
        if (!rendered_.empty()) pane_.AppendColored(rendered_, colour);
        if (dropped) ShowText(kNonPrintableNotice, DisplayCategory::Status);
        // The nested call above cleared log_; the log text of this call is built after it.
        if (logSink_ != nullptr) BuildTextLog(rendered_, LogStamp(), log_);
    } else if (displayType_ == DisplayType::Hex) {
        RenderIncomingHex(data, rendered_);
        pane_.AppendColored(rendered_, colour);
        if (logSink_ != nullptr) BuildHexLog(data, LogStamp(), log_);
    }
}

}  // namespace ostrel
