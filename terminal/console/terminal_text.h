// The output pane's text as a text terminal shows it. On a pipe or in a file the pane's bytes
// are written unchanged, so scripts see byte for byte what the window's pane holds. On a
// terminal the same text is shown the way the pane draws it:
//  - CR LF, a lone LF and a lone CR each end a line (written as CR LF, so a lone CR does not
//    overwrite the line it ends);
//  - control bytes other than TAB, CR and LF, and DEL, are shown in caret notation ("^[" for
//    ESC), so that text from a device (a session comment, a file name) cannot drive the
//    terminal; the pane shows them as boxes;
//  - the pane's 8-bit characters (Windows-1252) are written in UTF-8, the C1 controls among
//    them as the replacement character;
//  - with colour, each line's text is set in its colour on the pane's background as 24-bit
//    SGR sequences, reset before every line break so that no colour bleeds into empty space.
#pragma once

#include <string>
#include <string_view>

#include "terminal/core/colour_table.h"

namespace ostrel {

class TerminalText {
public:
    // terminal: the text goes to a terminal (otherwise it is written unchanged, colour or not).
    TerminalText(bool terminal, bool colour);

    // Appends the terminal form of one pane append in the text colour on the background.
    void Append(std::string_view text, Colour colour, Colour background, std::string& out);

    // Whether the last byte appended ended a line.
    bool AtLineStart() const { return atLineStart_; }

private:
    void AppendSegment(std::string_view segment, Colour colour, Colour background,
                       std::string& out) const;

    bool terminal_;
    bool colour_;
    // A CR ended the previous append and was written as a line break: an LF that starts the
    // next one belongs to it.
    bool crPending_ = false;
    bool atLineStart_ = true;
};

// "\x1b[38;2;R;G;B;48;2;R;G;Bm": text colour and background as 24-bit SGR.
std::string ColourSequence(Colour colour, Colour background);
inline constexpr std::string_view kResetSequence = "\x1b[0m";

}  // namespace ostrel
