#include "terminal/remote/remote_file.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "terminal/core/text_util.h"
#include "terminal/persist/ini_file.h"
#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

// The reader asks for the names as the Windows tool does; the profile functions match them
// without regard to case, and the writer spells them as that tool writes them.
constexpr std::string_view kMainRead = "Main";
constexpr std::string_view kMainWritten = "main";
constexpr std::string_view kCommentBase = "Comment";
constexpr std::string_view kCommentCount = "CommentCount";

std::string ButtonSection(int index) {
    return "btn" + std::to_string(index);
}

// A number as the Windows tool reads a single-precision value: leading blanks, a sign, digits
// and a fraction up to the first other character; 0 when the text does not start with one.
float ReadFloat(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (text.starts_with('+')) text.remove_prefix(1);
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() ? value : 0;
}

// Reads a panel file once: a panel has over four hundred keys.
class Reader {
public:
    explicit Reader(const std::string& path) : file_(path) {}
    std::int32_t Number(std::string_view section, std::string_view key,
                        std::string_view fallback = "0") const {
        return ReadNumber(file_.Read(section, key, fallback));
    }
    std::string Text(std::string_view section, std::string_view key, std::size_t capacity,
                     std::string_view fallback = {}) const {
        return StoredText(file_.Read(section, key, fallback), capacity);
    }
    const IniDocument& File() const { return file_; }

private:
    IniDocument file_;
};

void ReadButton(const Reader& in, int index, RemoteButton& button) {
    const std::string section = ButtonSection(index);
    button.caption = in.Text(section, "Caption", kButtonCaptionCapacity);
    button.pushString = in.Text(section, "Pushstring", kButtonStringCapacity);
    button.repeatString = in.Text(section, "Repeatstring", kButtonStringCapacity);
    button.releaseString = in.Text(section, "ReleaseString", kButtonStringCapacity);
    button.altCaption = in.Text(section, "AltCaption", kButtonCaptionCapacity);
    button.toggle = in.Number(section, "ToggleButton");
    button.hold = in.Number(section, "HoldButton");
    button.holdTime = in.Number(section, "HoldTime");
    button.toggled = false;
}

// A single-line value as written: trimmed, a line break (which would start a new line of the
// file) turned into a blank, and quoted where the readers would strip its ends.
std::string Value(std::string_view text) {
    std::string value(TrimBlanks(text));
    for (char& c : value)
        if (c == '\r' || c == '\n') c = ' ';
    return IniStoredValue(value);
}

void Line(std::string& text, std::string_view key, std::string_view value) {
    text += key;
    text += '=';
    text += value;
    text += "\r\n";
}

void Line(std::string& text, std::string_view key, std::int64_t value) {
    Line(text, key, std::to_string(value));
}

}  // namespace

RemoteDefinition ReadRemoteFile(const std::string& filePath) {
    RemoteDefinition panel;
    const std::string path(TrimBlanks(filePath));
    panel.path = StoredText(path, kRemotePathCapacity);
    const Reader in(path);
    panel.caption = in.Text(kMainRead, "Caption", kRemoteCaptionCapacity, kNewRemoteCaption);
    panel.netlinxDevice = in.Text(kMainRead, "NetlinxDevice", kNetlinxDeviceCapacity);
    panel.netlinxPassThrough = in.Number(kMainRead, "NetlinxPassThrough", "-1");
    panel.version = ReadFloat(in.File().Read(kMainRead, "Version", "1"));
    panel.style = in.Text(kMainRead, "Style", kRemoteStyleCapacity, kRemoteStyle);
    panel.buttonCount = in.Number(kMainRead, "ButtonCount", "50");
    panel.buttonWidth = in.Number(kMainRead, "ButtonWidth", "56");
    panel.timerRate = in.Number(kMainRead, "TimerRate", "200");
    panel.lineTerminator = in.Number(kMainRead, "LineTerminator");
    panel.author = in.Text(kMainRead, "Author", kRemoteAuthorCapacity);
    if (in.File().KeyExists(kMainRead, kCommentCount))
        panel.comments = in.File()
                             .ReadMultiLine(kMainRead, kCommentBase, kCommentCount,
                                            kRemoteCommentsCapacity)
                             .text;
    else
        panel.comments =
            in.Text(kMainRead, kCommentBase, kRemoteCommentsCapacity, kNoRemoteComment);
    panel.height = in.Number(kMainRead, "Height", "375");
    panel.width = in.Number(kMainRead, "Width", "355");

    const int count = std::min<std::int32_t>(panel.buttonCount, kRemoteButtonRecords);
    for (int i = 0; i < count; ++i)
        ReadButton(in, i, panel.buttons[static_cast<std::size_t>(i)]);
    return panel;
}

std::string RemoteFileText(const RemoteDefinition& panel, LineTerminator terminator, int height,
                           int width) {
    std::string text = "[" + std::string(kMainWritten) + "]\r\n";
    Line(text, "Author", Value(panel.author));
    Line(text, "Version", "1.0");
    Line(text, "Caption", Value(panel.caption));
    Line(text, "NetlinxPassThrough", panel.netlinxPassThrough);
    Line(text, "NetlinxDevice", Value(panel.netlinxDevice));
    Line(text, "Style", kRemoteStyle);
    Line(text, "ButtonCount", kRemoteButtonRecords);
    Line(text, "ButtonWidth", panel.buttonWidth);
    Line(text, "TimerRate", panel.timerRate);
    Line(text, "LineTerminator", static_cast<std::int64_t>(terminator));
    Line(text, "Height", height);
    Line(text, "Width", width);
    for (int i = 0; i < kRemoteButtonRecords; ++i) {
        const RemoteButton& button = panel.buttons[static_cast<std::size_t>(i)];
        text += "[" + ButtonSection(i) + "]\r\n";
        Line(text, "Caption", Value(button.caption));
        Line(text, "AltCaption", Value(button.altCaption));
        Line(text, "ToggleButton", button.toggle);
        Line(text, "HoldButton", button.hold);
        Line(text, "HoldTime", button.holdTime);
        Line(text, "PushString", Value(button.pushString));
        Line(text, "RepeatString", Value(button.repeatString));
        Line(text, "ReleaseString", Value(button.releaseString));
    }
    return text;
}

bool WriteRemoteFile(const std::string& path, const RemoteDefinition& panel,
                     LineTerminator terminator, int height, int width, std::string* error) {
    namespace fs = std::filesystem;
    auto fail = [error](const fs::path& temporary, std::string reason) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        if (error != nullptr) *error = std::move(reason);
        return false;
    };
    std::error_code ec;
    // Through a symbolic link, the file it names is replaced.
    fs::path target = fs::is_symlink(path, ec) ? fs::canonical(path, ec) : fs::path(path);
    if (ec) target = path;
    fs::path temporary = target;
    temporary += ".saving-" + std::to_string(::getpid());

    {
        errno = 0;
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << RemoteFileText(panel, terminator, height, width);
        out.close();
        if (!out)
            return fail(temporary, errno != 0 ? std::generic_category().message(errno)
                                              : "the file could not be written");
    }
    IniDocument written(temporary.string());
    if (!written.WriteMultiLine(kMainWritten, kCommentBase, kCommentCount, panel.comments) ||
        !written.Save(temporary.string(), kIniNewFileMode))
        return fail(temporary, "the comments could not be written");
    fs::rename(temporary, target, ec);
    if (ec) return fail(temporary, "the file could not be replaced");
    return true;
}

FileChoice OpenRemoteChoice(const std::string& panelPath, const std::string& folder) {
    return {FileChoice::Kind::Open,
            "Open a Remote...",
            std::string(TrimBlanks(panelPath)),
            folder,
            "Remote files",
            "*.qzr",
            "qzr"};
}

FileChoice SaveRemoteChoice(const std::string& panelPath, const std::string& folder) {
    return {FileChoice::Kind::Save,
            "Save a Remote",
            std::string(TrimBlanks(panelPath)),
            folder,
            "Remote files",
            "*.qzr",
            "qzr"};
}

}  // namespace ostrel
