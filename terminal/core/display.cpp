#include "terminal/core/display.h"

#include <algorithm>

#include "terminal/core/code_page.h"
#include "terminal/core/incoming_render.h"

namespace ostrel {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

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
    auto appendLine = [&](ColourSlot slot, std::string_view shown) {
        std::string line;
        line.reserve(shown.size() + 2);
        line += "\r\n";
        line += shown;
        pane_.AppendColored(line, colours_[slot]);
    };
    switch (category) {
        case DisplayCategory::Status:
            // The program's own words, in UTF-8 (paths and names included): shown in the
            // pane's character set.
            appendLine(ColourSlot::Status,
                       IsAscii(text) ? std::string(text) : PaneTextOfUtf8(text));
            break;
        case DisplayCategory::Echo:
            appendLine(ColourSlot::LocalEcho, text);
            break;
        case DisplayCategory::Informational:
            appendLine(ColourSlot::Informational, text);
            break;
        case DisplayCategory::Incoming:
            ShowIncoming(text);
            break;
    }

    std::string report;
    if (logSink_ != nullptr) {
        logSink_->LogAppend(log_);
        report = logSink_->TakeReport();
    }

    if (pane_.Length() > kPaneLimit) {
        pane_.KeepTail(kPaneKeep);
        pane_.SetCaret(kCaretAfterCut);
    }

    if (--freezeDepth_ == 0) pane_.Unfreeze();
    previous_ = category;
    // Shown once this call is complete: it reuses the log buffer, and what follows it starts a
    // line of its own.
    if (!report.empty()) ShowText(report, DisplayCategory::Status);
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
