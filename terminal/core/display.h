// The display model behind the output pane: ShowText turns status lines, echoes, informational
// texts and received bytes into coloured runs in an OutputPane (whose bytes are characters of the
// terminal's 8-bit set, Windows-1252), keeps the pane within its size
// rule, and hands the log text to a LogSink while logging is on.
#pragma once

#include <string>
#include <string_view>

#include "terminal/core/colour_table.h"
#include "terminal/core/core_types.h"
#include "terminal/core/date_time.h"
#include "terminal/core/output_pane.h"
#include "terminal/core/text_output.h"

namespace ostrel {

// When the pane passes kPaneLimit characters it is cut to its last kPaneKeep characters and the
// caret is put at kCaretAfterCut, so the pane never grows without bound.
inline constexpr std::size_t kPaneLimit = 850000;
inline constexpr std::size_t kPaneKeep = 550000;
inline constexpr std::size_t kCaretAfterCut = 65536;

// Shown (category Status) after received data from which the text view dropped bytes.
inline constexpr std::string_view kNonPrintableNotice =
    "Non-printable characters were found in the above data...\r\n";

class Display final : public TextOutput {
public:
    // The pane, colour table and clock must outlive the display. The colour table is read on
    // every call, so edits to it apply to the next text shown.
    Display(OutputPane& pane, const ColourTable& colours, const Clock& clock);

    // Appends the text in the colour of its category, after a line break when the category
    // differs from the previous call's:
    //  - Status, Echo, Informational: CR LF and the text. Status texts are the program's own, in
    //    UTF-8, and are shown in the pane's 8-bit character set (code_page.h); Echo and
    //    Informational texts are 8-bit already.
    //  - Incoming: the text or hex rendering of the bytes by the display type; nothing for
    //    any other display type. Dropped bytes in text view add the non-printable notice.
    //  - any other value: nothing.
    void ShowText(std::string_view text, DisplayCategory category) override;

    DisplayType GetDisplayType() const { return displayType_; }
    void SetDisplayType(DisplayType type) { displayType_ = type; }

    // Logging is on while a sink is set; nullptr turns it off. The sink must outlive its use.
    void SetLogSink(LogSink* sink) { logSink_ = sink; }
    bool LoggingOn() const { return logSink_ != nullptr; }

    // Paints the pane's background in the table's Background colour.
    void ApplyBackground();

    DisplayCategory PreviousCategory() const { return previous_; }

private:
    // Renders received bytes into the pane and, while logging, their log text into log_.
    void ShowIncoming(std::string_view data);
    std::string LogStamp() const;

    OutputPane& pane_;
    const ColourTable& colours_;
    const Clock& clock_;
    LogSink* logSink_ = nullptr;
    DisplayType displayType_ = DisplayType::Text;
    DisplayCategory previous_ = DisplayCategory::Status;
    int freezeDepth_ = 0;
    // Reused from one incoming chunk to the next.
    std::string rendered_;
    std::string log_;
};

}  // namespace ostrel
