#include "terminal/persist/session_file.h"

#include <array>
#include <cstdio>
#include <fstream>

#include "platform/profile.h"
#include "terminal/core/text_util.h"
#include "terminal/persist/base64.h"
#include "terminal/persist/ini_file.h"
#include "terminal/persist/polling.h"

namespace ostrel {
namespace {

constexpr std::string_view kConnection = "Connection Settings";
constexpr std::string_view kDisplay = "Display Settings";
constexpr std::string_view kSend = "Send Settings";
constexpr std::string_view kControl = "Control System";
constexpr std::string_view kSerial = "Serial Settings";
constexpr std::string_view kColors = "Colors";
constexpr std::string_view kLogging = "Logging";
constexpr std::string_view kPolling = "Polling";

// The older single-line forms are longer than the text they stand for.
constexpr std::size_t kOldFormCapacity = 4 * kPollTextCapacity;
// Base64 of the longest password, with room for line breaks other tools add.
constexpr std::size_t kPasswordTextCapacity = 1023;
constexpr std::int32_t kLongestTimeout = 10;
constexpr std::int32_t kTimeoutInstead = 5;

struct ColourKey {
    ColourSlot slot;
    std::string_view key;
    Colour fallback;
};
constexpr std::array<ColourKey, kColourSlotCount> kColourKeys = {{
    {ColourSlot::Background, "Background", 0},
    {ColourSlot::Incoming, "Incoming", 16777215},
    {ColourSlot::LocalEcho, "Local Echo", 65280},
    {ColourSlot::Status, "Status", 65535},
    {ColourSlot::Informational, "Informational", 10468863},
}};

std::string Cut(std::string text, std::size_t capacity) {
    if (text.size() > capacity) text.resize(capacity);
    return text;
}

std::string Text(std::string_view text) {
    return std::string(TrimBlanks(text));
}

std::string Flag(bool on) {
    return on ? "1" : "0";
}

template <typename Enum>
std::string Number(Enum value) {
    return std::to_string(static_cast<long long>(value));
}

// Reads one file, read once; each Number/Text call is one key with its default.
class Reader {
public:
    explicit Reader(const std::string& path) : document_(path) {}
    std::int32_t Number(std::string_view section, std::string_view key,
                        std::string_view fallback = "0") const {
        return ReadNumber(document_.Read(section, key, fallback));
    }
    bool Flag(std::string_view section, std::string_view key) const {
        return Number(section, key) != 0;
    }
    std::string Text(std::string_view section, std::string_view key, std::size_t capacity,
                     std::string_view fallback = {}) const {
        return Cut(std::string(TrimBlanks(document_.Read(section, key, fallback, capacity))),
                   capacity);
    }
    std::string Raw(std::string_view section, std::string_view key, std::size_t capacity) const {
        return document_.Read(section, key, "", capacity);
    }
    bool KeyExists(std::string_view section, std::string_view key) const {
        return document_.KeyExists(section, key);
    }
    // A multi-line text, or its older single-line form when useOld says so.
    std::string MultiLine(std::string_view section, std::string_view base, std::string_view count,
                          std::string_view oldKey, bool useOld, std::size_t capacity) const {
        if (useOld) return Cut(ExpandLineBreaks(Raw(section, oldKey, kOldFormCapacity)), capacity);
        return document_.ReadMultiLine(section, base, count, capacity).text;
    }
    MultiLineText Lines(std::string_view section, std::string_view base, std::string_view count,
                        std::size_t capacity) const {
        return document_.ReadMultiLine(section, base, count, capacity);
    }
    bool Readable() const { return document_.Readable(); }

private:
    IniDocument document_;
};

void ReadConnection(const Reader& in, const std::string& path, SessionFile& file) {
    SessionSettings& s = file.session;
    file.runAsRemote = in.Flag(kConnection, "runAsRemote");
    s.type = static_cast<SessionType>(in.Number(kConnection, "Type"));
    file.remotePanel = in.Text(kConnection, "RemoteControl", kPathCapacity);
    s.inUse = in.Flag(kConnection, "In Use");
    const bool oldComment = !in.KeyExists(kConnection, "CommentCount");
    s.comment = in.MultiLine(kConnection, "Comment", "CommentCount", "Comment", oldComment,
                             kCommentCapacity);
    s.name = in.Text(kConnection, "Name", kSessionNameCapacity);
    file.fileSpec = in.Text(kConnection, "FileSpec", kPathCapacity, path);
    s.host = in.Text(kConnection, "URL", kHostCapacity);
    const bool oldRequest = in.KeyExists(kConnection, "HTTP Request");
    s.httpRequest = in.MultiLine(kConnection, "HTTPRequest", "HTTPRequestCount", "HTTP Request",
                                 oldRequest, kHttpTextCapacity);
    s.port = in.Text(kConnection, "TCP UDP Port", kPortCapacity);
    s.secure = in.Flag(kConnection, "Secure");
    s.state = static_cast<ConnectionState>(in.Number(kConnection, "Connected"));
    s.timeout = in.Number(kConnection, "Timeout");
    if (s.timeout > kLongestTimeout) s.timeout = kTimeoutInstead;
    s.sshUser = in.Text(kConnection, "Login", kSshFieldCapacity);
    std::string encoded = in.Text(kConnection, "Password", kPasswordTextCapacity);
    if (std::optional<std::string> password = Base64Decode(encoded)) {
        s.sshPassword = Cut(*password, kSshFieldCapacity);
        WipeSecret(*password);
    }
    WipeSecret(encoded);
    s.httpMode = in.Flag(kConnection, "Send Http");
    s.remotePort = in.Number(kConnection, "Remote Port");
    file.localEcho = in.Flag(kConnection, "Local Echo");
    file.remoteEcho = in.Flag(kConnection, "Remote Echo");
}

void ReadSerial(const Reader& in, SessionSettings& s) {
    s.serialPort = in.Text(kSerial, "COM Port", kSerialPortCapacity);
    s.baud = in.Number(kSerial, "Baud");
    s.parity = static_cast<Parity>(in.Number(kSerial, "Parity"));
    s.dataBits = static_cast<std::uint16_t>(in.Number(kSerial, "Data"));
    s.stopBits = static_cast<StopBits>(in.Number(kSerial, "Stop"));
    s.flow = static_cast<FlowControl>(in.Number(kSerial, "Flow"));
}

void ReadLogAndPolling(const Reader& in, SessionFile& file) {
    file.log.on = in.Flag(kLogging, "Log All");
    file.log.file = in.Text(kLogging, "Log File", kPathCapacity);
    file.log.part = in.Number(kLogging, "Log Count");
    file.log.bytes = in.Number(kLogging, "Log Bytes");

    PollSettings& poll = file.poll;
    poll.on = in.Flag(kPolling, "Polling");
    poll.position = in.Number(kPolling, "Poll Position");
    poll.period = in.Number(kPolling, "Poll Period");
    poll.count = in.Number(kPolling, "Poll Count");
    if (in.KeyExists(kPolling, "PollData")) {
        poll.text = Cut(ExpandLineBreaks(in.Raw(kPolling, "PollData", kOldFormCapacity)),
                        kPollTextCapacity);
    } else if (MultiLineText lines =
                   in.Lines(kPolling, "PollStrings", "PollStringsCount", kPollTextCapacity);
               lines.found) {
        poll.text = std::move(lines.text);
    }
}

std::string ProfileErrorText(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED: return "permission denied";
        case ERROR_PATH_NOT_FOUND: return "the folder does not exist";
        case ERROR_INVALID_PARAMETER: return "a value holds a line break";
        case ERROR_FILE_TOO_LARGE: return "the file is too large";
        default: return "the file could not be written";
    }
}

// Puts the keys into a document in their order; stops at the first that cannot be written.
class Writer {
public:
    void Put(std::string_view section, std::string_view key, std::string_view value) {
        if (ok_ && !document_.Write(section, key, value)) Fail(key);
    }
    void PutLines(std::string_view section, std::string_view base, std::string_view count,
                  std::string_view text) {
        if (ok_ && !document_.WriteMultiLine(section, base, count, text)) Fail(count);
    }
    bool Ok() const { return ok_; }
    const std::string& Reason() const { return reason_; }
    const IniDocument& Document() const { return document_; }

private:
    void Fail(std::string_view key) {
        ok_ = false;
        reason_ = ProfileErrorText(PlatformGetLastError()) + " (key \"" + std::string(key) + "\")";
    }
    IniDocument document_;
    bool ok_ = true;
    std::string reason_;
};

void WriteKeys(Writer& out, const SessionFile& file) {
    const SessionSettings& s = file.session;
    out.Put(kConnection, "RemoteControl", Text(file.remotePanel));
    out.Put(kConnection, "Type", Number(s.type));
    out.Put(kDisplay, "Display Type", Number(file.displayType));
    out.Put(kSend, "Line Terminator", Number(file.terminator));
    out.Put(kConnection, "In Use", Flag(s.inUse));
    out.Put(kControl, "Mode", Number(file.mode));
    out.Put(kConnection, "Name", Text(s.name));
    out.Put(kConnection, "FileSpec", Text(file.fileSpec));
    out.PutLines(kConnection, "Comment", "CommentCount", s.comment);
    out.Put(kConnection, "URL", Text(s.host));
    out.PutLines(kConnection, "HTTPRequest", "HTTPRequestCount", s.httpRequest);
    out.Put(kConnection, "TCP UDP Port", Text(s.port));
    out.Put(kConnection, "Secure", Flag(s.secure));
    out.Put(kConnection, "Login", Text(s.sshUser));
    std::string password = Base64Encode(TrimBlanks(s.sshPassword));
    out.Put(kConnection, "Password", password);
    WipeSecret(password);
    out.Put(kSerial, "COM Port", Text(s.serialPort));
    out.Put(kSerial, "Baud", Number(s.baud));
    out.Put(kSerial, "Parity", Number(s.parity));
    out.Put(kSerial, "Data", Number(s.dataBits));
    out.Put(kSerial, "Stop", Number(s.stopBits));
    out.Put(kSerial, "Flow", Number(s.flow));
    out.Put(kConnection, "Connected", Number(s.state));
    out.Put(kConnection, "Timeout", Number(s.timeout));
    out.Put(kConnection, "Send Http", Flag(s.httpMode));
    out.Put(kConnection, "Remote Port", Number(s.remotePort));
    out.Put(kConnection, "Local Echo", Flag(file.localEcho));
    out.Put(kConnection, "Remote Echo", Flag(file.remoteEcho));
    for (const ColourKey& colour : kColourKeys)
        out.Put(kColors, colour.key, Number(file.colours[colour.slot]));
    out.Put(kLogging, "Log All", Flag(file.log.on));
    out.Put(kLogging, "Log File", Text(file.log.file));
    out.Put(kLogging, "Log Count", Number(file.log.part));
    out.Put(kLogging, "Log Bytes", Number(file.log.bytes));
    out.Put(kPolling, "Polling", Flag(file.poll.on));
    out.PutLines(kPolling, "PollStrings", "PollStringsCount", file.poll.text.value_or(""));
    out.Put(kPolling, "Poll Period", Number(file.poll.period));
    out.Put(kPolling, "Poll Count", Number(file.poll.count));
    out.Put(kPolling, "Poll Position", Number(file.poll.position));
}

bool WritePollFile(const std::string& path, const PollSettings& poll, std::string* error) {
    const std::vector<std::string> list = SplitPollText(poll.text.value_or(""));
    std::string text;
    for (std::int64_t i = 0; i <= poll.count && i < static_cast<std::int64_t>(list.size()); ++i) {
        text += list[static_cast<std::size_t>(i)];
        text += "\r\n";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    if (error != nullptr) *error = "the poll file " + path + " could not be written";
    return false;
}

}  // namespace

ColourTable SessionFileDefaultColours() {
    ColourTable colours;
    for (const ColourKey& colour : kColourKeys)
        colours[colour.slot] = colour.fallback;
    return colours;
}

SessionFile ReadSessionFile(const std::string& path) {
    SessionFile file;
    const Reader in(path);
    file.readable = in.Readable();
    ReadConnection(in, path, file);
    file.displayType = static_cast<DisplayType>(in.Number(kDisplay, "Display Type"));
    file.terminator = static_cast<LineTerminator>(in.Number(kSend, "Line Terminator"));
    file.mode = static_cast<ConversionMode>(in.Number(kControl, "Mode", "3"));
    ReadSerial(in, file.session);
    for (const ColourKey& colour : kColourKeys)
        file.colours[colour.slot] = static_cast<Colour>(
            in.Number(kColors, colour.key, std::to_string(colour.fallback)));
    ReadLogAndPolling(in, file);
    return file;
}

bool WriteSessionFile(const std::string& path, const SessionFile& file, std::string* error) {
    // Every key into one text, written in one go: the file holds the password, so a new one is
    // readable by its owner only; one that exists keeps the permissions its owner gave it.
    Writer out;
    WriteKeys(out, file);
    if (!out.Ok()) {
        if (error != nullptr) *error = out.Reason();
        return false;
    }
    if (!out.Document().Save(path, kPrivateFileMode)) {
        if (error != nullptr) *error = ProfileErrorText(PlatformGetLastError());
        return false;
    }
    if (file.poll.text && !TrimBlanks(*file.poll.text).empty())
        return WritePollFile(PollFilePath(path), file.poll, error);
    return true;
}

void ApplySessionFields(const SessionSettings& from, SessionSettings& to) {
    to.type = from.type;
    to.inUse = from.inUse;
    to.state = from.state;
    to.host = from.host;
    to.port = from.port;
    to.serialPort = from.serialPort;
    to.baud = from.baud;
    to.parity = from.parity;
    to.dataBits = from.dataBits;
    to.stopBits = from.stopBits;
    to.flow = from.flow;
    to.timeout = from.timeout;
    to.httpMode = from.httpMode;
    to.httpRequest = from.httpRequest;
    to.secure = from.secure;
    to.sshUser = from.sshUser;
    WipeSecret(to.sshPassword);
    to.sshPassword = from.sshPassword;
    to.name = from.name;
    to.comment = from.comment;
    to.remotePort = from.remotePort;
}

std::string PollFilePath(const std::string& path) {
    const std::size_t keep = path.size() >= 3 ? path.size() - 3 : 0;
    return path.substr(0, keep) + "pol";
}

}  // namespace ostrel
