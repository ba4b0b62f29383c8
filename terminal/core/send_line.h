// SendLine: the one road from a line of text to the bytes a session sends. Typed lines, poll
// strings and remote-panel strings all go through it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "terminal/core/clipboard.h"
#include "terminal/core/command_list.h"
#include "terminal/core/core_types.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/session_port.h"
#include "terminal/core/text_output.h"
#include "terminal/core/transmit.h"

namespace ostrel {

// The single-line input box of the main window (or of a console front end). Its text is typed
// characters; Text and SetText give and take it as 8-bit bytes of the terminal's character set
// (code_page.h). Offsets count bytes of Text().
class InputBox {
public:
    virtual ~InputBox() = default;
    virtual std::string Text() const = 0;
    // The first character of the box that the 8-bit character set lacks (its UTF-8 text), or
    // nullopt when the whole text can be sent.
    virtual std::optional<std::string> UnsendableCharacter() const { return std::nullopt; }
    // The selection; start == end when nothing is selected.
    virtual std::size_t SelectionStart() const = 0;
    virtual std::size_t SelectionEnd() const = 0;
    // Replaces the text, with the caret at the start and nothing selected.
    virtual void SetText(std::string_view text) = 0;

    // What the user has in the box (text, caret and selection in the box's own form, whatever
    // characters it holds), to be put back after a line from elsewhere went through the box.
    struct State {
        std::string text;
        std::size_t selectionStart = 0;
        std::size_t selectionEnd = 0;
    };
    virtual State SaveState() const { return {Text(), SelectionStart(), SelectionEnd()}; }
    virtual void RestoreState(const State& state) { SetText(state.text); }
};

// The settings that shape what a sent line becomes.
struct SendOptions {
    LineTerminator terminator = LineTerminator::None;
    ConversionMode mode = ConversionMode::NoConversion;
    bool localEcho = false;
    bool polling = false;  // while polling, the converted echo also goes to the clipboard
};

// The collaborators of the send path; all must outlive the call.
struct SendContext {
    InputBox& input;
    CommandList& commands;
    SessionPort& session;
    TextOutput& output;
    Clipboard& clipboard;
};

// A line starting with these two characters is sent as typed, without "$" decoding.
inline constexpr std::string_view kRawPrefix = "||";

// The line to send from the input box's text: blanks (character 32) trimmed at both ends, and
// the selected characters, if any, cut out. The selection is given in offsets of the untrimmed
// text and is moved along with the trimmed leading blanks.
std::string TakeInputLine(std::string_view boxText, std::size_t selectionStart,
                          std::size_t selectionEnd);

// The bytes of a line: a raw line without its prefix, any other line through DecodeDollarHex
// (whose malformed escapes go to *malformed when given).
std::string LineBytes(std::string_view line, std::vector<MalformedEscape>* malformed = nullptr);

inline constexpr std::size_t kMaxEscapeLines = 4;

// The local echo of a line in NoConversion mode: the line as typed (a raw line without its
// prefix) and the terminator in "$" notation.
std::string PlainEcho(std::string_view line, LineTerminator terminator);

// Sends one line as if typed: records it in the command list, transmits its bytes with the
// terminator, names each malformed "$" escape in a Status line (at most kMaxEscapeLines of
// them, then how many more), shows the echo and, while polling, puts the converted echo on the
// clipboard.
TransmitOutcome SendText(std::string_view line, const SendOptions& options,
                         const SendContext& context);

// Enter in the input box, the poll timer and remote-panel buttons: reads the input box, sends its
// line with SendText, then empties the box and resets command-list browsing. A box holding a
// character the 8-bit character set lacks sends nothing: a Status line names the character and
// the box keeps its text.
TransmitOutcome SendLine(const SendOptions& options, const SendContext& context);

}  // namespace ostrel
