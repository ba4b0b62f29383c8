#include "terminal/console/line_editor.h"

#include <algorithm>

#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

constexpr char kEscape = 0x1B;
// Parameters of a sequence are short; a longer one is garbage and is dropped at this length.
constexpr std::size_t kLongestParameters = 16;

constexpr unsigned char Ctrl(char letter) {
    return static_cast<unsigned char>(letter & 0x1F);
}

// Characters (not bytes) in text.
std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

}  // namespace

void LineEditor::SetText(std::string_view text) {
    text_ = std::string(text.substr(0, kLongestEditedLine));
    // A cut in the middle of a UTF-8 character (at most four bytes) leaves none of it behind.
    for (int i = 0; i < 3 && !text_.empty() && text_.size() < text.size() &&
                    IsContinuation(text[text_.size()]);
         ++i)
        text_.pop_back();
    cursor_ = text_.size();
}

void LineEditor::SetCursor(std::size_t position) {
    position = std::min(position, text_.size());
    while (position > 0 && position < text_.size() && IsContinuation(text_[position]))
        --position;
    cursor_ = position;
}

void LineEditor::Wipe() {
    // Bytes erased while typing (Backspace, Ctrl+U, Ctrl+C) stay behind the line's end in its
    // buffer: the whole buffer is overwritten, not only the line.
    text_.resize(text_.capacity());
    WipeSecret(text_);
    // Room for a password, so that typing it does not leave copies in released memory.
    text_.reserve(kSecretRoom);
    cursor_ = 0;
}

std::size_t LineEditor::PreviousCharacter(std::size_t position) const {
    if (position == 0) return 0;
    --position;
    while (position > 0 && IsContinuation(text_[position]))
        --position;
    return position;
}

std::size_t LineEditor::NextCharacter(std::size_t position) const {
    if (position >= text_.size()) return text_.size();
    ++position;
    while (position < text_.size() && IsContinuation(text_[position]))
        ++position;
    return position;
}

LineEditor::Action LineEditor::Move(std::size_t position) {
    if (position == cursor_) return Action::None;
    cursor_ = position;
    return Action::Changed;
}

LineEditor::Action LineEditor::Erase(std::size_t from, std::size_t to) {
    if (from >= to) return Action::None;
    text_.erase(from, to - from);
    cursor_ = from;
    return Action::Changed;
}

LineEditor::Action LineEditor::Feed(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    switch (escape_) {
        case Escape::Start:
            if (byte == '[') {
                escape_ = Escape::Csi;
                parameters_.clear();
                return Action::None;
            }
            if (byte == 'O') {
                escape_ = Escape::Ss3;
                return Action::None;
            }
            // Alt+key: ignored, the key with it. A second Escape starts a sequence again.
            escape_ = byte == kEscape ? Escape::Start : Escape::None;
            return Action::None;
        case Escape::Ss3:
            escape_ = Escape::None;
            return Sequence(byte, {});
        case Escape::Csi:
            if (b >= 0x40 && b <= 0x7E) {
                escape_ = Escape::None;
                return Sequence(byte, parameters_);
            }
            if (b < 0x20 || b > 0x3F) {
                // Not part of a sequence after all: the sequence is dropped with it.
                escape_ = Escape::None;
                return Action::None;
            }
            if (parameters_.size() < kLongestParameters) parameters_ += byte;
            return Action::None;
        case Escape::None:
            break;
    }
    if (byte == kEscape) {
        escape_ = Escape::Start;
        return Action::None;
    }
    if (b < 0x20 || b == 0x7F) return Control(b);
    if (text_.size() >= kLongestEditedLine) return Action::None;
    text_.insert(cursor_, 1, byte);
    ++cursor_;
    return Action::Changed;
}

LineEditor::Action LineEditor::Control(unsigned char byte) {
    switch (byte) {
        case '\r':
        case '\n':
            return Action::Submit;
        case 0x7F:
        case Ctrl('H'):
            return Erase(PreviousCharacter(cursor_), cursor_);
        case Ctrl('D'):
            if (text_.empty()) return Action::EndOfInput;
            return Erase(cursor_, NextCharacter(cursor_));
        case Ctrl('C'):
            if (text_.empty()) return Action::Interrupt;
            text_.clear();
            cursor_ = 0;
            return Action::Changed;
        case Ctrl('A'):
            return Move(0);
        case Ctrl('E'):
            return Move(text_.size());
        case Ctrl('B'):
            return Move(PreviousCharacter(cursor_));
        case Ctrl('F'):
            return Move(NextCharacter(cursor_));
        case Ctrl('K'):
            return Erase(cursor_, text_.size());
        case Ctrl('U'):
            return Erase(0, cursor_);
        case Ctrl('W'): {
            std::size_t from = cursor_;
            while (from > 0 && text_[from - 1] == ' ')
                --from;
            while (from > 0 && text_[from - 1] != ' ')
                --from;
            return Erase(from, cursor_);
        }
        case Ctrl('P'):
            return Action::Older;
        case Ctrl('N'):
            return Action::Newer;
        default:
            return Action::None;
    }
}

LineEditor::Action LineEditor::Sequence(char final, std::string_view parameters) {
    switch (final) {
        case 'A':
            return Action::Older;
        case 'B':
            return Action::Newer;
        case 'C':
            return Move(NextCharacter(cursor_));
        case 'D':
            return Move(PreviousCharacter(cursor_));
        case 'H':
            return Move(0);
        case 'F':
            return Move(text_.size());
        case '~': {
            // "1~" and "7~" Home, "4~" and "8~" End, "3~" Delete; modifiers after ";" ignored.
            const std::string_view key = parameters.substr(0, parameters.find(';'));
            if (key == "1" || key == "7") return Move(0);
            if (key == "4" || key == "8") return Move(text_.size());
            if (key == "3") return Erase(cursor_, NextCharacter(cursor_));
            return Action::None;
        }
        default:
            return Action::None;
    }
}

LineEditor::View LineEditor::Render(std::string_view prompt, std::size_t width) const {
    View view;
    view.text = std::string(prompt);
    const std::size_t promptColumns = CharacterCount(prompt);
    // One column stays free so that the cursor after the last character does not wrap.
    const std::size_t room = width > promptColumns + 1 ? width - promptColumns - 1 : 1;
    // The visible part starts early enough that the cursor lies within room characters.
    std::size_t start = 0;
    std::size_t before = CharacterCount(std::string_view(text_).substr(0, cursor_));
    while (before >= room) {
        start = NextCharacter(start);
        --before;
    }
    std::size_t end = start;
    for (std::size_t shown = 0; end < text_.size() && shown < room; ++shown)
        end = NextCharacter(end);
    // Lines from the command list may hold control bytes; they must not reach the terminal.
    for (std::size_t i = start; i < end; ++i) {
        const auto b = static_cast<unsigned char>(text_[i]);
        view.text += b < 0x20 || b == 0x7F ? '?' : text_[i];
    }
    view.cursorColumn = promptColumns + before;
    return view;
}

}  // namespace ostrel
