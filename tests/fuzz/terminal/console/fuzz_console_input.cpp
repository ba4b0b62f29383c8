// What the console reads and writes from outside: script lines through the "/" command parser
// and the dialog answers, terminal keys through the line editor, and pane text (device bytes)
// through the terminal rendering.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "terminal/console/console_commands.h"
#include "terminal/console/line_editor.h"
#include "terminal/console/terminal_text.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void Lines(std::string_view data) {
    using ostrel::ConsoleCommand;
    while (!data.empty()) {
        const std::size_t end = std::min(data.find('\n'), data.size());
        const std::string_view line = data.substr(0, end);
        data.remove_prefix(std::min(end + 1, data.size()));
        const ConsoleCommand command = ostrel::ParseConsoleLine(line);
        switch (command.kind) {
            case ConsoleCommand::Kind::Send:
                Check(command.text == line || (line.starts_with("//") && command.text == line.substr(1)));
                break;
            case ConsoleCommand::Kind::Invalid:
                Check(!command.text.empty());
                break;
            case ConsoleCommand::Kind::OpenSession: {
                Check(line.starts_with('/'));
                ostrel::SessionSettings settings;
                ostrel::ApplyDialogAnswer(command.answer, "secret", settings);
                Check(settings.inUse);
                Check(settings.host.size() <= ostrel::kHostCapacity);
                Check(settings.port.size() <= ostrel::kPortCapacity);
                Check(settings.serialPort.size() <= ostrel::kSerialPortCapacity);
                break;
            }
            default:
                Check(line.starts_with('/'));
                break;
        }
    }
}

void Keys(std::string_view data) {
    ostrel::LineEditor editor;
    for (const char key : data) {
        editor.Feed(key);
        Check(editor.Cursor() <= editor.Text().size());
        Check(editor.Text().size() <= ostrel::kLongestEditedLine);
    }
    for (std::size_t width : {0u, 1u, 3u, 80u}) {
        const ostrel::LineEditor::View view = editor.Render("> ", width);
        for (const char c : view.text)
            Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        Check(view.cursorColumn <= view.text.size());
    }
}

void Pane(std::string_view data) {
    // Split into appends at the first byte's value, so CR LF pairs cross appends too.
    const std::size_t split = data.empty() ? 0 : static_cast<unsigned char>(data[0]) % (data.size() + 1);
    ostrel::TerminalText pipe(false, true);
    ostrel::TerminalText terminal(true, true);
    std::string piped;
    std::string shown;
    for (std::string_view part : {data.substr(0, split), data.substr(split)}) {
        pipe.Append(part, 0xFFFFFF, 0, piped);
        terminal.Append(part, 0x00FFFF, 0, shown);
    }
    Check(piped == data);
    // On a terminal: no control byte but the line ends, tabs and the SGR sequences' ESC; every
    // CR is a CR LF.
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        if (b == '\r') Check(i + 1 < shown.size() && shown[i + 1] == '\n');
        if (b == 0x1B) Check(i + 1 < shown.size() && shown[i + 1] == '[');
        Check(b >= 0x20 || b == '\r' || b == '\n' || b == '\t' || b == 0x1B);
        Check(b != 0x7F);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    Lines(data);
    Keys(data);
    Pane(data);
    return 0;
}
