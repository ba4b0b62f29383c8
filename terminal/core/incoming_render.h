// The text and hex renderings of one chunk of received bytes, and the log text built from them.
// Pure functions writing into caller-owned buffers, so the display can reuse its buffers from
// one chunk to the next.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

// Characters of one complete hex row: 31 of "$XX" items, 5 of "   >>", 8 characters and CR LF.
inline constexpr std::size_t kHexRowLength = 46;
// Where the " >>" column ends in every row, complete or not.
inline constexpr std::size_t kHexRowPrefixLength = 36;

// Text view: replaces out with the bytes of data that are TAB, LF, CR or 32-126, in order.
// Returns true when at least one byte was dropped.
bool RenderIncomingText(std::string_view data, std::string& out);

// Log text of the text view: CR LF followed by the kept bytes, with stamp inserted after every
// CR LF (the leading one included). Replaces log.
void BuildTextLog(std::string_view kept, std::string_view stamp, std::string& log);

// Hex view: replaces out with CR LF followed by one row per 8 bytes. A last row of 1 to 7 bytes
// is padded so that its " >>" column lines up with the complete rows.
//   "$48 $65 $6C $6C $6F $2C $20 $77   >>Hello, w\r\n"
// Bytes outside 32-126 are shown as blanks in the character column.
void RenderIncomingHex(std::string_view data, std::string& out);

// Log text of the hex view: every row of RenderIncomingHex without its own CR LF, preceded by
// CR LF and stamp. Empty data gives an empty log text. Replaces log.
void BuildHexLog(std::string_view data, std::string_view stamp, std::string& log);

}  // namespace ostrel
