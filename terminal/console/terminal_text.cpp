#include "terminal/console/terminal_text.h"

#include "terminal/core/code_page.h"

namespace ostrel {
namespace {

bool IsControl(unsigned char b) {
    return (b < 32 && b != '\t') || b == 127;
}

void AppendNumber(unsigned value, std::string& out) {
    if (value >= 100) out += static_cast<char>('0' + value / 100);
    if (value >= 10) out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

}  // namespace

std::string ColourSequence(Colour colour, Colour background) {
    std::string sequence = "\x1b[38;2;";
    auto rgb = [&sequence](Colour c) {
        AppendNumber(RedOf(c), sequence);
        sequence += ';';
        AppendNumber(GreenOf(c), sequence);
        sequence += ';';
        AppendNumber(BlueOf(c), sequence);
    };
    rgb(colour);
    sequence += ";48;2;";
    rgb(background);
    sequence += 'm';
    return sequence;
}

TerminalText::TerminalText(bool terminal, bool colour)
    : terminal_(terminal), colour_(terminal && colour) {}

void TerminalText::AppendSegment(std::string_view segment, Colour colour, Colour background,
                                 std::string& out) const {
    if (segment.empty()) return;
    if (colour_) out += ColourSequence(colour, background);
    for (const char c : segment) {
        const auto b = static_cast<unsigned char>(c);
        if (IsControl(b)) {
            out += '^';
            out += static_cast<char>(b ^ 0x40);
        } else if (b < 0x80) {
            out += c;
        } else if (Windows1252Character(b) < 0xA0) {
            out += "\xEF\xBF\xBD";  // a C1 control: never sent to the terminal as one
        } else {
            AppendWindows1252AsUtf8(out, std::string_view(&c, 1));
        }
    }
    if (colour_) out += kResetSequence;
}

void TerminalText::Append(std::string_view text, Colour colour, Colour background,
                          std::string& out) {
    if (text.empty()) return;
    if (!terminal_) {
        out.append(text);
        atLineStart_ = text.back() == '\n' || text.back() == '\r';
        return;
    }
    std::size_t i = 0;
    if (crPending_ && text.front() == '\n') i = 1;
    crPending_ = false;
    std::size_t start = i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        AppendSegment(text.substr(start, i - start), colour, background, out);
        out += "\r\n";
        atLineStart_ = true;
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            else if (i + 1 == text.size())
                crPending_ = true;
        }
        start = i + 1;
    }
    if (start < text.size()) {
        AppendSegment(text.substr(start), colour, background, out);
        atLineStart_ = false;
    }
}

}  // namespace ostrel
