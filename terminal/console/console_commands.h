// The console's "/" commands: each line typed or read is either a line to send or a menu
// command, which maps onto the window's command identifiers and, for the commands that open a
// session, onto the fields of that session type's dialog. Parsing only; ConsoleApp carries the
// commands out through the application controller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "terminal/app/command_table.h"
#include "terminal/core/core_types.h"
#include "terminal/session/session_settings.h"

namespace ostrel {

// What a session command puts into the fields of its type's dialog before "OK" is pressed.
// Fields a command does not name keep the value the dialog would start with.
struct SessionDialogAnswer {
    SessionType type = SessionType::None;
    std::string host;  // TCP Client, UDP Client, SSH Client
    std::string port;  // every network type, as typed
    // Serial: the dialog starts with 9600 baud, no parity, 8 data bits, 1 stop bit, no flow
    // control whatever the record holds.
    std::string serialPort;
    std::int32_t baud = 9600;
    Parity parity = Parity::None;
    std::uint16_t dataBits = 8;
    StopBits stopBits = StopBits::One;
    FlowControl flow = FlowControl::None;
    // TCP Client: the "Secure (SSL/TLS)" and "Open as HTTP" boxes.
    bool secure = false;
    bool http = false;
    // SSH Client: the login; empty keeps the record's.
    std::string sshUser;
};

struct ConsoleCommand {
    enum class Kind {
        Send,         // text: a line for the input box and SendLine
        Dispatch,     // id: a menu command without a dialog
        OpenSession,  // id and answer: a Session menu item whose dialog is answered
        OpenFile,     // text: File > Open Session with the file chosen
        SaveFile,     // text: File > Save Session with the file chosen
        LogFile,      // text: File > Log with the file chosen (logging on, or onto this file)
        LogOff,       // File > Log while logging is on
        PollOn,       // Session > Polling, its dialog confirmed as it stands
        PollOff,      // Session > Polling while polling is on
        Help,
        Status,       // the status bar's parts
        RemoteOpen,   // text: a remote panel file to open
        RemoteClose,  // the remote panel's window closed
        Press,        // text: a button's number or caption; milliseconds: how long it is held
        Invalid,      // text: what is wrong with the command
    };
    Kind kind = Kind::Send;
    CommandId id = CommandId::Quit;
    SessionDialogAnswer answer;
    std::string text;
    int milliseconds = 0;
};

// /press holds a button at most this long.
inline constexpr int kLongestPress = 3600000;

// The dialog of the answer's type filled in and "OK" pressed: the fields its OK stores, "in use"
// set. A blank host stays blank (the session model puts in 127.0.0.1, as after the window's
// dialog).
void ApplyDialogAnswer(const SessionDialogAnswer& answer, std::string_view password,
                       SessionSettings& settings);

// A line of input: "//" at its start sends the rest after one "/", any other line starting with
// "/" is a command (words separated by blanks or tabs, keywords in any case), everything else is
// sent as it stands.
ConsoleCommand ParseConsoleLine(std::string_view line);

// "[USER@]HOST[:PORT]" of /ssh; HOST may be an IPv6 address in brackets. False when malformed.
bool ParseSshTarget(std::string_view target, std::string* user, std::string* host,
                    std::string* port);

// The command summary shown by /help and --help, one command per line.
std::string ConsoleCommandHelp();

}  // namespace ostrel
