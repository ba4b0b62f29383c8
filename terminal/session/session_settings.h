// The one program-wide record of the current session: what kind it is, whether the user has it
// open, its connection state and everything needed to open it again. The dialogs edit it, the
// session model and the session types read and update it, session files store it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/session/tessnet.h"

namespace ostrel {

// Capacities of the text fields; dialogs and files cut longer values to these.
inline constexpr std::size_t kHostCapacity = 255;
inline constexpr std::size_t kPortCapacity = 5;
// Serial ports are device paths here ("/dev/ttyUSB0"), not the five characters of "COM12".
inline constexpr std::size_t kSerialPortCapacity = 255;
inline constexpr std::size_t kHttpTextCapacity = 9999;
inline constexpr std::size_t kSshFieldCapacity = 255;
inline constexpr std::size_t kCommentCapacity = 9999;

// Blank hosts become this address when a client or server dialog is confirmed.
inline constexpr std::string_view kLoopbackHost = "127.0.0.1";

enum class Parity : std::uint16_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : std::uint16_t { One = 0, OneAndHalf = 1, Two = 2 };
enum class FlowControl : std::uint16_t { None = 0, Hardware = 1, Software = 2 };

// The secure-protocol choice of the TCP Client dialog.
enum class TlsChoice : std::uint32_t { Auto = 0, Ssl2Ssl3 = 1, Tls10 = 2 };

// The socket library's security-protocol set for a TLS choice: 10, 3 or 8.
unsigned ProtocolSetOf(TlsChoice choice);

struct SessionSettings {
    SessionSettings() = default;
    SessionSettings(const SessionSettings&) = default;
    SessionSettings& operator=(const SessionSettings&) = default;
    // The SSH password is wiped from memory when the record goes away.
    ~SessionSettings();

    SessionType type = SessionType::None;
    bool inUse = false;  // the session counts as opened by the user
    ConnectionState state = ConnectionState::Disconnected;
    int handle = 0;      // serial marker, socket-library or SSH-library handle; -1 after a failed open
    int lastHandle = 0;  // copy after a successful network open; -1 once a TCP client closes

    std::string host;  // IP address or host name of the peer
    std::string port;  // as typed; its leading number is used

    std::string serialPort;
    std::int32_t baud = 0;
    Parity parity = Parity::None;
    std::uint16_t dataBits = 0;
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;

    std::int32_t timeout = 0;  // seconds, for the connect calls

    bool httpMode = false;
    std::string httpRequest;
    std::string pendingHttpLine;  // a line sent while an HTTP-mode client was not connected
    bool secure = false;
    TlsChoice tlsChoice = TlsChoice::Auto;

    std::string sshUser;
    std::string sshPassword;
    InetCredentials credentials = 0;

    InetAddress lastDatagramSource;
    unsigned lastDatagramPort = 0;

    std::string name;     // kept as loaded; no dialog edits it
    std::string comment;  // the "Session Meta Data" text
    std::int32_t remotePort = 0;  // a session file's "Remote Port", kept as loaded
};

// Whether a port field's text names a port: decimal digits only (blanks around them aside), a
// number from 1 to 65535. What a dialog's OK and a console command accept.
bool IsPortNumber(std::string_view text);
inline constexpr std::string_view kPortRule = "The port is a number from 1 to 65535.";

// Numbers typed into text fields are read leniently: optional blanks, an optional sign, then
// decimal digits up to the first other character. Text that does not start with a number reads
// as 0; values beyond the 32-bit range are clamped.
std::int32_t ReadNumber(std::string_view text);

// Overwrites a secret's bytes before it is released, in a way the compiler keeps.
void WipeSecret(std::string& secret);

}  // namespace ostrel
