// The "$XX" byte notation of typed lines and of the hex view.
//
// All text here is 8-bit bytes held in std::string; no code-page conversion happens anywhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// An escape that is not "$" and two hex digits, and what was sent for it.
struct MalformedEscape {
    std::string written;  // "$ZZ", "$4G", "$4" or "$" as it stood in the line
    std::string sent;     // "$00", "$04" ..., or empty when nothing was sent for it
};

// Turns a typed line into the bytes it stands for.
//  - "$$" stands for one literal "$" (it is read as "$24").
//  - "$" and the next two characters form one byte: the two characters are read as a hexadecimal
//    number from the left up to the first character that is not a hex digit (either case); no
//    digit at all gives 0. So "$0d" is 13, "$4G" is 4 (the G is consumed) and "$G1" is 0.
//  - A "$" followed by fewer than two characters is dropped together with what follows it.
// Every other byte passes through unchanged. Never fails. Escapes that are not "$" and two hex
// digits are added to *malformed when it is given.
std::string DecodeDollarHex(std::string_view text,
                            std::vector<MalformedEscape>* malformed = nullptr);

// "`$ZZ` is not a hex escape: sent as $00", or "...: nothing was sent for it".
std::string MalformedEscapeLine(const MalformedEscape& escape);

// Writes each byte as "$" and two upper-case hex digits, items separated by one blank:
// {72, 105, 13} gives "$48 $69 $0D"; empty input gives empty text.
std::string EncodeDollarHex(std::string_view bytes);

// Appends EncodeDollarHex(bytes) to out without any separator before the first item.
void AppendDollarHex(std::string& out, std::string_view bytes);

// Upper-case hex digit of a nibble (0-15).
inline char HexDigit(unsigned nibble) {
    return "0123456789ABCDEF"[nibble & 0x0F];
}

}  // namespace ostrel
