// The input line of the console on a terminal: the bytes typed so far, the cursor, and the keys
// that edit them. Pure state: the console feeds it the bytes read from the terminal and draws
// what Render gives. History is not kept here: Up and Down ask for the command list's older and
// newer lines, as the window's input box does.
//
// Keys: printable bytes insert (UTF-8 sequences move and delete as one character); Enter (CR or
// LF) submits; Backspace; Delete; Left, Right, Home, End (also Ctrl+B, Ctrl+F, Ctrl+A,
// Ctrl+E); Ctrl+K and Ctrl+U delete to the end and to the start; Ctrl+W deletes the word
// before the cursor; Up and Down (also Ctrl+P, Ctrl+N) browse; Ctrl+D deletes under the cursor
// or, on an empty line, ends the input; Ctrl+C empties the line or, on an empty line,
// interrupts. Escape sequences the editor does not know are read whole and ignored.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

// Longest line the editor keeps; typing beyond it is ignored (a pasted flood cannot grow the
// line without bound).
inline constexpr std::size_t kLongestEditedLine = 65536;

class LineEditor {
public:
    enum class Action {
        None,        // nothing visible changed
        Changed,     // the line or the cursor changed: draw it again
        Submit,      // Enter: Text() is the line
        EndOfInput,  // Ctrl+D on an empty line
        Interrupt,   // Ctrl+C on an empty line
        Older,       // Up
        Newer,       // Down
    };

    Action Feed(char byte);

    const std::string& Text() const { return text_; }
    // Cursor position in bytes, always at the start of a character.
    std::size_t Cursor() const { return cursor_; }
    // Replaces the line (from the command list, or emptied after Enter); the cursor goes to its
    // end.
    void SetText(std::string_view text);
    // Moves the cursor to position (bytes), or to the start of the character it falls in.
    void SetCursor(std::size_t position);
    // Empties the line, overwriting what it held (a password), and keeps room for a password.
    void Wipe();
    static constexpr std::size_t kSecretRoom = 1024;

    // What fits into width columns after the prompt, scrolled so the cursor is visible, and the
    // cursor's column counted from the start of the prompt. Each character takes one column.
    struct View {
        std::string text;  // prompt and the visible part of the line
        std::size_t cursorColumn = 0;
    };
    View Render(std::string_view prompt, std::size_t width) const;

private:
    enum class Escape { None, Start, Csi, Ss3 };

    Action Control(unsigned char byte);
    Action Sequence(char final, std::string_view parameters);
    std::size_t PreviousCharacter(std::size_t position) const;
    std::size_t NextCharacter(std::size_t position) const;
    Action Move(std::size_t position);
    Action Erase(std::size_t from, std::size_t to);

    std::string text_;
    std::size_t cursor_ = 0;
    Escape escape_ = Escape::None;
    std::string parameters_;
};

}  // namespace ostrel
