#include "terminal/console/console_commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "terminal/console/console_reports.h"
#include "terminal/core/text_util.h"

namespace ostrel {
namespace {

using Kind = ConsoleCommand::Kind;

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i]))
            ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

// The rest of the line after the command word (a view into line), blanks trimmed.
std::string_view AfterWord(std::string_view line, std::string_view word) {
    std::string_view rest =
        line.substr(static_cast<std::size_t>(word.data() - line.data()) + word.size());
    while (!rest.empty() && IsBlank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && IsBlank(rest.back()))
        rest.remove_suffix(1);
    return rest;
}

// The rest of the line after the command word, blanks trimmed and one pair of surrounding
// double quotes removed, so that a path may hold blanks.
std::string RestOfLine(std::string_view line, std::string_view word) {
    std::string_view rest = AfterWord(line, word);
    if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
        rest = rest.substr(1, rest.size() - 2);
    return std::string(rest);
}

ConsoleCommand Invalid(std::string text) {
    ConsoleCommand command;
    command.kind = Kind::Invalid;
    command.text = std::move(text);
    return command;
}

ConsoleCommand Dispatch(CommandId id) {
    ConsoleCommand command;
    command.kind = Kind::Dispatch;
    command.id = id;
    return command;
}

ConsoleCommand WithText(Kind kind, std::string text) {
    ConsoleCommand command;
    command.kind = kind;
    command.text = std::move(text);
    return command;
}

struct Keyword {
    std::string_view word;
    CommandId id;
};

// One keyword argument chosen from a table: "/mode amx", "/view hex" ...
ConsoleCommand Choice(std::string_view name, const std::vector<std::string_view>& args,
                      std::initializer_list<Keyword> choices) {
    std::string allowed;
    for (const Keyword& choice : choices)
        allowed += (allowed.empty() ? "" : "|") + std::string(choice.word);
    if (args.size() == 1) {
        const std::string word = Lower(args[0]);
        for (const Keyword& choice : choices)
            if (word == choice.word) return Dispatch(choice.id);
    }
    return Invalid("usage: /" + std::string(name) + " " + allowed);
}

// A port as the dialogs take it.
bool ValidPort(std::string_view port) {
    return IsPortNumber(port);
}

bool ValidHost(std::string_view host) {
    return !host.empty() && host.size() <= kHostCapacity;
}

ConsoleCommand OpenSession(CommandId id, SessionDialogAnswer answer) {
    ConsoleCommand command;
    command.kind = Kind::OpenSession;
    command.id = id;
    command.answer = std::move(answer);
    return command;
}

ConsoleCommand Tcp(const std::vector<std::string_view>& args) {
    const std::string usage = "usage: /tcp HOST PORT [tls] [http]";
    if (args.size() < 2 || args.size() > 4) return Invalid(usage);
    SessionDialogAnswer answer;
    answer.type = SessionType::TcpClient;
    answer.host = std::string(args[0]);
    answer.port = std::string(args[1]);
    if (!ValidHost(answer.host)) return Invalid(usage + " (HOST has at most 255 characters)");
    if (!ValidPort(answer.port)) return Invalid(usage + " (PORT is a number from 1 to 65535)");
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string word = Lower(args[i]);
        bool& flag = word == "tls" ? answer.secure : answer.http;
        if ((word != "tls" && word != "http") || flag) return Invalid(usage);
        flag = true;
    }
    return OpenSession(CommandId::SessionTcpClient, std::move(answer));
}

ConsoleCommand Udp(const std::vector<std::string_view>& args) {
    const std::string usage = "usage: /udp HOST PORT";
    if (args.size() != 2) return Invalid(usage);
    SessionDialogAnswer answer;
    answer.type = SessionType::UdpClient;
    answer.host = std::string(args[0]);
    answer.port = std::string(args[1]);
    if (!ValidHost(answer.host)) return Invalid(usage + " (HOST has at most 255 characters)");
    if (!ValidPort(answer.port)) return Invalid(usage + " (PORT is a number from 1 to 65535)");
    return OpenSession(CommandId::SessionUdpClient, std::move(answer));
}

ConsoleCommand Server(SessionType type, const std::vector<std::string_view>& args) {
    const bool tcp = type == SessionType::TcpServer;
    const std::string usage = tcp ? "usage: /tcp-server PORT" : "usage: /udp-server PORT";
    if (args.size() != 1 || !ValidPort(args[0]))
        return Invalid(usage + " (PORT is a number from 1 to 65535)");
    SessionDialogAnswer answer;
    answer.type = type;
    answer.port = std::string(args[0]);
    return OpenSession(tcp ? CommandId::SessionTcpServer : CommandId::SessionUdpServer,
                       std::move(answer));
}

template <typename T>
bool Pick(std::string_view word, std::initializer_list<std::pair<std::string_view, T>> table,
          T* value) {
    const std::string lower = Lower(word);
    for (const auto& [name, v] : table) {
        if (lower == name) {
            *value = v;
            return true;
        }
    }
    return false;
}

ConsoleCommand Serial(const std::vector<std::string_view>& args) {
    const std::string usage =
        "usage: /serial DEVICE [BAUD [PARITY [DATA [STOP [FLOW]]]]]  (PARITY none|odd|even|mark|"
        "space, DATA 4-8, STOP 1|1.5|2, FLOW none|hardware|software)";
    if (args.empty() || args.size() > 6) return Invalid(usage);
    SessionDialogAnswer answer;
    answer.type = SessionType::Serial;
    answer.serialPort = std::string(args[0]);
    if (answer.serialPort.size() > kSerialPortCapacity) return Invalid(usage);
    if (args.size() > 1) {
        const std::string_view baud = args[1];
        const bool digits = !baud.empty() && baud.size() <= 9 &&
                            std::all_of(baud.begin(), baud.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
        answer.baud = digits ? ReadNumber(baud) : 0;
        if (answer.baud <= 0) return Invalid(usage);
    }
    if (args.size() > 2 &&
        !Pick<Parity>(args[2],
                      {{"none", Parity::None}, {"n", Parity::None}, {"odd", Parity::Odd},
                       {"o", Parity::Odd}, {"even", Parity::Even}, {"e", Parity::Even},
                       {"mark", Parity::Mark}, {"m", Parity::Mark}, {"space", Parity::Space},
                       {"s", Parity::Space}},
                      &answer.parity))
        return Invalid(usage);
    if (args.size() > 3 &&
        !Pick<std::uint16_t>(args[3], {{"4", 4}, {"5", 5}, {"6", 6}, {"7", 7}, {"8", 8}},
                             &answer.dataBits))
        return Invalid(usage);
    if (args.size() > 4 &&
        !Pick<StopBits>(args[4],
                        {{"1", StopBits::One}, {"1.5", StopBits::OneAndHalf}, {"2", StopBits::Two}},
                        &answer.stopBits))
        return Invalid(usage);
    if (args.size() > 5 &&
        !Pick<FlowControl>(args[5],
                           {{"none", FlowControl::None}, {"hardware", FlowControl::Hardware},
                            {"rtscts", FlowControl::Hardware}, {"software", FlowControl::Software},
                            {"xonxoff", FlowControl::Software}},
                           &answer.flow))
        return Invalid(usage);
    return OpenSession(CommandId::SessionSerial, std::move(answer));
}

ConsoleCommand Ssh(const std::vector<std::string_view>& args) {
    const std::string usage = "usage: /ssh [USER@]HOST[:PORT]";
    SessionDialogAnswer answer;
    answer.type = SessionType::SshClient;
    if (args.size() != 1 ||
        !ParseSshTarget(args[0], &answer.sshUser, &answer.host, &answer.port))
        return Invalid(usage);
    if (answer.port.empty()) answer.port = "22";
    if (!ValidPort(answer.port)) return Invalid(usage + " (PORT is a number from 1 to 65535)");
    return OpenSession(CommandId::SessionSshClient, std::move(answer));
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

ConsoleCommand Remote(std::string path) {
    if (path.empty()) return Invalid("usage: /remote FILE|close");
    if (Lower(path) == "close") return WithText(Kind::RemoteClose, {});
    return WithText(Kind::RemoteOpen, std::move(path));
}

// "/press N|CAPTION [MS]": a caption that ends in a number, or holds one on its own, is given in
// double quotes ("/press "Input 2" 500").
ConsoleCommand Press(std::string_view rest) {
    const std::string usage =
        "usage: /press N|CAPTION [MS]  (N from 1 to 50, MS from 0 to 3600000)";
    std::string_view which;
    std::string_view after;
    if (rest.starts_with('"')) {
        const std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) return Invalid(usage);
        which = rest.substr(1, close - 1);
        after = TrimBlanks(rest.substr(close + 1));
    } else {
        const std::vector<std::string_view> words = Words(rest);
        if (words.empty()) return Invalid(usage);
        which = rest;
        if (words.size() > 1 && AllDigits(words.back())) {
            after = words.back();
            which = rest.substr(
                0, static_cast<std::size_t>(words[words.size() - 2].data() - rest.data()) +
                       words[words.size() - 2].size());
        }
    }
    ConsoleCommand command = WithText(Kind::Press, std::string(TrimBlanks(which)));
    if (command.text.empty()) return Invalid(usage);
    if (!after.empty()) {
        if (!AllDigits(after) || after.size() > 7 || ReadNumber(after) > kLongestPress)
            return Invalid(usage);
        command.milliseconds = ReadNumber(after);
    }
    return command;
}

ConsoleCommand FileCommand(Kind kind, std::string_view name, std::string path) {
    if (path.empty()) return Invalid("usage: /" + std::string(name) + " FILE");
    return WithText(kind, std::move(path));
}

}  // namespace

bool ParseSshTarget(std::string_view target, std::string* user, std::string* host,
                    std::string* port) {
    user->clear();
    host->clear();
    port->clear();
    if (const std::size_t at = target.rfind('@'); at != std::string_view::npos) {
        *user = std::string(target.substr(0, at));
        target.remove_prefix(at + 1);
        if (user->empty() || user->size() > kSshFieldCapacity) return false;
    }
    if (!target.empty() && target.front() == '[') {
        const std::size_t close = target.find(']');
        if (close == std::string_view::npos) return false;
        *host = std::string(target.substr(1, close - 1));
        target.remove_prefix(close + 1);
        if (!target.empty()) {
            if (target.front() != ':') return false;
            *port = std::string(target.substr(1));
            if (port->empty()) return false;
        }
    } else if (std::count(target.begin(), target.end(), ':') == 1) {
        const std::size_t colon = target.find(':');
        *host = std::string(target.substr(0, colon));
        *port = std::string(target.substr(colon + 1));
        if (port->empty()) return false;
    } else {
        // No colon, or several: a bare IPv6 address without a port.
        *host = std::string(target);
    }
    return ValidHost(*host);
}

ConsoleCommand ParseConsoleLine(std::string_view line) {
    if (!line.starts_with('/')) return WithText(Kind::Send, std::string(line));
    if (line.starts_with("//")) return WithText(Kind::Send, std::string(line.substr(1)));

    const std::vector<std::string_view> words = Words(line.substr(1));
    if (words.empty()) return Invalid("a command name follows \"/\"; /help lists the commands");
    const std::string name = Lower(words[0]);
    const std::vector<std::string_view> args(words.begin() + 1, words.end());
    using C = CommandId;

    if (name == "help" || name == "?") return WithText(Kind::Help, {});
    if (name == "status" && args.empty()) return WithText(Kind::Status, {});
    if (name == "quit" || name == "exit") {
        if (!args.empty()) return Invalid("usage: /quit");
        return Dispatch(C::Quit);
    }
    if (name == "close" && args.empty()) return Dispatch(C::SessionClose);
    if (name == "restart" && args.empty()) return Dispatch(C::SessionRestart);
    if (name == "forget-host-key" && args.empty()) return Dispatch(C::SessionForgetHostKey);
    if (name == "mode")
        return Choice(name, args,
                      {{"amx", C::ModeAmx}, {"crestron", C::ModeCrestron},
                       {"extron", C::ModeExtron}, {"none", C::ModeNoConversion}});
    if (name == "view") return Choice(name, args, {{"text", C::ViewText}, {"hex", C::ViewHex}});
    if (name == "term")
        return Choice(name, args,
                      {{"none", C::NoTerminator}, {"crlf", C::TerminateCrLf},
                       {"cr", C::TerminateCr}, {"lf", C::TerminateLf}});
    if (name == "echo")
        return Choice(name, args, {{"local", C::EchoLocal}, {"remote", C::EchoRemote}});
    if (name == "open") return FileCommand(Kind::OpenFile, name, RestOfLine(line, words[0]));
    if (name == "save") return FileCommand(Kind::SaveFile, name, RestOfLine(line, words[0]));
    if (name == "log") {
        const std::string path = RestOfLine(line, words[0]);
        if (Lower(path) == "off") return WithText(Kind::LogOff, {});
        if (path.empty()) return Invalid("usage: /log FILE|off");
        return WithText(Kind::LogFile, path);
    }
    if (name == "poll") {
        if (args.size() == 1 && Lower(args[0]) == "on") return WithText(Kind::PollOn, {});
        if (args.size() == 1 && Lower(args[0]) == "off") return WithText(Kind::PollOff, {});
        return Invalid("usage: /poll on|off");
    }
    if (name == "remote") return Remote(RestOfLine(line, words[0]));
    if (name == "press") return Press(AfterWord(line, words[0]));
    if (name == "serial") return Serial(args);
    if (name == "tcp") return Tcp(args);
    if (name == "tcp-server") return Server(SessionType::TcpServer, args);
    if (name == "udp") return Udp(args);
    if (name == "udp-server") return Server(SessionType::UdpServer, args);
    if (name == "ssh") return Ssh(args);
    if (name == "status" || name == "close" || name == "restart" || name == "forget-host-key")
        return Invalid("usage: /" + name);
    return Invalid("unknown command /" + std::string(words[0]) +
                   "; /help lists the commands, // at the start of a line sends a \"/\"");
}

void ApplyDialogAnswer(const SessionDialogAnswer& answer, std::string_view password,
                       SessionSettings& settings) {
    switch (answer.type) {
        case SessionType::Serial:
            settings.type = SessionType::Serial;
            settings.baud = answer.baud;
            settings.parity = answer.parity;
            settings.dataBits = answer.dataBits;
            settings.stopBits = answer.stopBits;
            settings.serialPort = std::string(TrimBlanks(answer.serialPort));
            settings.flow = answer.flow;
            break;
        case SessionType::TcpClient:
            settings.httpMode = answer.http;
            settings.secure = answer.secure;
            settings.host = std::string(TrimBlanks(answer.host));
            settings.port = std::string(TrimBlanks(answer.port));
            break;
        case SessionType::UdpClient:
            settings.host = std::string(TrimBlanks(answer.host));
            settings.port = std::string(TrimBlanks(answer.port));
            break;
        case SessionType::TcpServer:
        case SessionType::UdpServer:
            settings.port = std::string(TrimBlanks(answer.port));
            break;
        case SessionType::SshClient:
            settings.host = std::string(TrimBlanks(answer.host));
            settings.port = std::string(TrimBlanks(answer.port));
            if (!answer.sshUser.empty()) settings.sshUser = std::string(TrimBlanks(answer.sshUser));
            WipeSecret(settings.sshPassword);
            settings.sshPassword.assign(TrimBlanks(password));
            break;
        case SessionType::None:
            return;
    }
    settings.inUse = true;
}

std::string ConsoleCommandHelp() {
    return "Lines are sent as typed in the window's input box ($XX for any byte, || to send as\n"
           "typed). A line starting with / is a command; // sends a line starting with /.\n"
           "  /help                      this list\n"
           "  /status                    the status bar: session, mode, view, terminator, echo\n"
           "  /mode amx|crestron|extron|none   Mode menu: how sent bytes are echoed\n"
           "  /view text|hex             View menu: received data as text or hex rows\n"
           "  /term none|crlf|cr|lf      Line menu: the terminator added to each line\n"
           "  /echo local|remote         Session menu: turn local or remote echo on or off\n"
           "  /open FILE                 File > Open Session\n"
           "  /save FILE                 File > Save Session\n"
           "  /log FILE|off              File > Log: log to FILE, or stop logging\n"
           "  /poll on|off               Session > Polling with the session's poll strings\n"
           "  /close                     Session > Close\n"
           "  /restart                   Session > Restart\n"
           "  /forget-host-key           Session > Forget Host Key: accept the SSH host's new key\n"
           "  /serial DEVICE [BAUD [PARITY [DATA [STOP [FLOW]]]]]   Session > Serial\n"
           "                             (9600 none 8 1 none unless given; PARITY none|odd|even|\n"
           "                             mark|space, STOP 1|1.5|2, FLOW none|hardware|software)\n"
           "  /tcp HOST PORT [tls] [http]   Session > TCP Client (plain, over TLS, as HTTP)\n"
           "  /tcp-server PORT           Session > TCP Server\n"
           "  /udp HOST PORT             Session > UDP Client\n"
           "  /udp-server PORT           Session > UDP Server\n"
           "  /ssh [USER@]HOST[:PORT]    Session > SSH Client (password asked for on a terminal,\n"
           "                             else taken from OSTREL_SSH_PASSWORD)\n"
           "  /remote FILE               Remote > Open: opens the panel file (.qzr) and lists\n"
           "                             its buttons with their numbers\n"
           "  /remote close              closes the remote panel\n"
           "  /press N|CAPTION [MS]      presses button N (1-50) or the one with that caption\n"
           "                             and lets go after MS milliseconds (default 0): push,\n"
           "                             repeat or hold, and release strings as with the mouse\n"
           + ToolCommandHelp() +
           "  /quit                      File > Quit\n";
}

}  // namespace ostrel
