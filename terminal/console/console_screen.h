// Where the console writes: the pane's text to standard output, its own messages to standard
// error, and, when the input line is edited on a terminal, that line below the output. Writes
// to a terminal that shows the input line take the line away first and draw it again after,
// so that output and typing never mix.
#pragma once

#include <string>
#include <string_view>

#include "terminal/console/line_editor.h"
#include "terminal/console/terminal_text.h"

namespace ostrel {

class ConsoleScreen {
public:
    struct Setup {
        int outFd = 1;
        int errFd = 2;
        bool outTerminal = false;  // standard output is a terminal
        bool colour = false;       // colours on that terminal
        // The terminal the input line is drawn on (-1: no input line); standard output or
        // standard error.
        int editFd = -1;
    };

    explicit ConsoleScreen(const Setup& setup);

    // One append of the output pane.
    void WritePane(std::string_view text, Colour colour, Colour background);
    // A line of the console's own (help, command errors, notices) on standard error. An
    // unfinished line of standard output is ended first (EndOutputLine).
    void WriteMessage(std::string_view line);
    // Ends standard output's unfinished line; the pane's next line break is then left out, so
    // the output holds no extra empty line.
    void EndOutputLine();
    // Writes what is buffered; the input line is drawn again when it was taken away.
    void Flush();

    // The input line: drawn from the editor with the prompt, below the output.
    void AttachEditor(const LineEditor* editor) { editor_ = editor; }
    void RedrawInput();
    // A password is typed: the prompt says so and the typed characters are not shown. Off
    // again with the normal prompt.
    void SetSecretInput(bool secret);
    // Takes the input line away and ends an unfinished output line, so that what follows (the
    // shell's prompt, or whatever is written after the program) starts on a line of its own.
    void End();

    bool OutputFailed() const { return outFailed_; }

private:
    void Write(int fd, std::string_view bytes);
    void TakeInputAway();
    void DrawInput();
    // The terminal the bytes go to shows the input line.
    bool SharesInputLine(int fd) const;
    std::size_t TerminalWidth() const;

    Setup setup_;
    TerminalText text_;
    std::string buffer_;
    const LineEditor* editor_ = nullptr;
    bool inputShown_ = false;
    bool secretInput_ = false;
    // The output on the input line's terminal ended in the middle of a line; its end was saved
    // (DECSC) before the input line was drawn on the row below.
    bool inputBelowOutput_ = false;
    // The output ends at the start of a line.
    bool outputAtLineStart_ = true;
    // EndOutputLine wrote a line break the pane did not: its next one is dropped.
    bool lineEndedEarly_ = false;
    bool outFailed_ = false;
    bool errFailed_ = false;
};

inline constexpr std::string_view kInputPrompt = "> ";
inline constexpr std::string_view kPasswordPrompt = "Password: ";

}  // namespace ostrel
