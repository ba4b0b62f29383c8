// The small value types every part of the terminal shares: session kind and state, the
// conversion mode, the line terminator, the display type and the display categories.
// Their numeric values are stored in session files, so they never change.
#pragma once

#include <cstdint>
#include <string_view>

namespace ostrel {

enum class SessionType : std::uint16_t {
    None = 0,
    Serial = 1,
    TcpClient = 2,
    TcpServer = 3,
    UdpClient = 4,
    UdpServer = 5,
    SshClient = 6,
};

enum class ConnectionState : std::uint16_t {
    Disconnected = 0,
    Connecting = 1,
    Listening = 2,  // TCP Server only
    Connected = 4,
};

enum class ConversionMode : std::uint16_t {
    Amx = 0,
    Crestron = 1,
    Extron = 2,
    NoConversion = 3,
};

enum class LineTerminator : std::uint16_t {
    None = 0,
    CrLf = 1,
    Cr = 2,
    Lf = 3,
};

enum class DisplayType : std::uint16_t {
    Text = 0,
    Hex = 1,
    Mixed = 2,  // can be loaded from a session file; shows no incoming data
};

// The second argument of ShowText. Values other than these four are accepted and show nothing.
enum class DisplayCategory : std::uint16_t {
    Status = 0,
    Incoming = 1,
    Echo = 6,
    Informational = 10,
};

// Mode menu Toggle: steps 3, 0, 1, 2, 3 ...
ConversionMode NextConversionMode(ConversionMode mode);
// Line menu Toggle: steps 0, 1, 2, 3, 0 ...
LineTerminator NextLineTerminator(LineTerminator terminator);
// View menu Toggle: Text becomes Hex, every other type becomes Text.
DisplayType ToggleDisplayType(DisplayType type);

// Status-bar texts. Values outside the defined range give an empty text.
std::string_view ConversionModeText(ConversionMode mode);        // "AMX(tm)" ... "No Conversion"
std::string_view LineTerminatorText(LineTerminator terminator);  // "None", "CRLF", "CR", "LF"
std::string_view DisplayTypeText(DisplayType type);              // "Text", "Hex", "Mixed"

// The bytes a terminator appends: "\r\n", "\r", "\n" or nothing.
std::string_view TerminatorBytes(LineTerminator terminator);
// The terminator written the way a user types it: "$0D$0A", "$0D", "$0A" or nothing.
std::string_view TerminatorDollarText(LineTerminator terminator);

}  // namespace ostrel
