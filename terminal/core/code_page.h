// Windows-1252, the terminal's 8-bit character set: typed text becomes these bytes in both front
// ends (as in the Windows tool), the output pane shows its bytes as these characters, and the
// program's own texts (UTF-8: paths, names, error texts) are turned into them to be shown.
//
// Every byte has a character: the five bytes Windows-1252 leaves undefined (81, 8D, 8F, 90 and
// 9D hex) stand for the C1 controls of the same number, as Windows converts them, so bytes to
// text and back gives the same bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

// The character of one byte.
char32_t Windows1252Character(unsigned char byte);

// The UTF-8 text of 8-bit bytes (each byte one character).
std::string Windows1252ToUtf8(std::string_view bytes);
void AppendWindows1252AsUtf8(std::string& out, std::string_view bytes);

// The bytes of UTF-8 text, into out. A character the set lacks becomes "?" in out, and the first
// such character is returned (its UTF-8 text); nullopt when every character has a byte. A byte
// that is not part of valid UTF-8 (a script written in an 8-bit set) is taken as the byte it is.
std::optional<std::string> Utf8ToWindows1252(std::string_view text, std::string& out);

// The program's own UTF-8 text as the pane shows it: characters the set lacks become "?", and
// bytes that are not valid UTF-8 are kept as they are (they are 8-bit text already).
std::string PaneTextOfUtf8(std::string_view text);

// The Status line when typed text holds a character that cannot be sent; the character is
// named by its number ("U+0416"), since the pane cannot show it.
std::string UnsendableCharacterLine(std::string_view character);

}  // namespace ostrel
