// The console's stand-in for the main window: the application controller drives it through the
// same FrontEnd calls as the window. The pane writes to the screen, the input box is the line
// being sent, the window timers are QTimers, and the dialogs are answered with what the current
// "/" command gave (a command without an answer cancels, as closing a dialog would).
#pragma once

#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "terminal/app/front_end.h"
#include "terminal/console/console_commands.h"
#include "terminal/console/console_screen.h"
#include "terminal/console/line_editor.h"

namespace ostrel {

class AppController;

class ConsolePane final : public OutputPane {
public:
    explicit ConsolePane(ConsoleScreen& screen) : screen_(screen) {}
    void Freeze() override {}
    void Unfreeze() override { screen_.Flush(); }
    void AppendColored(std::string_view text, Colour colour) override;
    // The pane's length as the size rule sees it; what was written stays written.
    std::size_t Length() const override { return length_; }
    void KeepTail(std::size_t count) override;
    void SetCaret(std::size_t) override {}
    void SetBackground(Colour colour) override { background_ = colour; }

private:
    ConsoleScreen& screen_;
    std::size_t length_ = 0;
    Colour background_ = 0;
};

// The input box is the line editor's line, drawn on the terminal when the console edits there.
class ConsoleInput final : public InputBox {
public:
    ConsoleInput(LineEditor& editor, ConsoleScreen& screen) : editor_(editor), screen_(screen) {}
    // The line typed is UTF-8 (as the terminal or script gives it); the box's bytes are those of
    // the terminal's character set, as in the window.
    std::string Text() const override;
    std::optional<std::string> UnsendableCharacter() const override;
    std::size_t SelectionStart() const override { return 0; }
    std::size_t SelectionEnd() const override { return 0; }
    void SetText(std::string_view text) override;
    State SaveState() const override { return {editor_.Text(), 0, editor_.Cursor()}; }
    void RestoreState(const State& state) override;
    // A line as typed (UTF-8), for the line read from a script.
    void SetTyped(std::string_view text);

private:
    LineEditor& editor_;
    ConsoleScreen& screen_;
};

// A text terminal has no clipboard of the desktop's.
class NoClipboard final : public Clipboard {
public:
    bool SetText(std::string_view) override { return false; }
};

class ConsoleView final : public FrontEnd {
public:
    ConsoleView(ConsoleScreen& screen, LineEditor& editor);
    ~ConsoleView() override;

    // Timer ticks go to the controller from now on.
    void Attach(AppController& controller) { controller_ = &controller; }
    // Called once the controller has shut down and closes the "window".
    void SetCloseHandler(std::function<void()> handler) { onClose_ = std::move(handler); }

    // Answers for the next dialog the controller shows.
    void AnswerSessionDialog(SessionDialogAnswer answer) { sessionAnswer_ = std::move(answer); }
    // The SSH password for the next SSH Client dialog, copied and wiped in `password`; wiped
    // here once used.
    void AnswerPassword(std::string& password);
    void AnswerFile(std::string path) { fileAnswer_ = std::move(path); }
    void AnswerPolling(bool confirm) { pollingAnswer_ = confirm; }
    // Answers nobody asked for are dropped (and the password wiped).
    void DropAnswers();

    // The status bar's parts joined by " | ", empty parts left out.
    std::string StatusLine() const;

    // FrontEnd.
    OutputPane& Pane() override { return pane_; }
    InputBox& Input() override { return input_; }
    ConsoleInput& TypedInput() { return input_; }
    Clipboard& SystemClipboard() override { return clipboard_; }
    void SetStatusPart(int part, std::string_view text) override;
    void SetCommandChecked(CommandId, bool) override {}
    void SetCommandEnabled(CommandId, bool) override {}
    void StartTimer(TimerId id, int milliseconds) override;
    void StopTimer(TimerId id) override;
    void ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon) override;
    void RepaintPane() override { screen_.Flush(); }
    void FocusInput() override {}
    void EditFocused(EditAction) override {}
    DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) override;
    void ShowSessionMetaDialog(SessionSettings&) override {}
    std::optional<std::string> ChooseFile(const FileChoice& choice) override;
    DialogResult ShowPollingDialog(Polling& polling) override;
    // The panel is a list of its buttons on the screen; /press presses them.
    void ShowRemotePanel(RemoteDefinition& panel) override;
    void RefreshRemotePanel(bool) override {}
    void CloseRemotePanel() override {}
    std::optional<WindowRect> RemotePanelGeometry() const override { return std::nullopt; }
    bool ShowRemoteEditor(RemoteDefinition&, RemoteEditorHost&, int) override;
    void CloseRemoteEditor() override {}
    void ShowRemoteMetaDialog(RemoteDefinition&) override {}
    // A script has nobody to hear a beep, and a terminal's bell would sound on every hold.
    void Beep() override {}
    bool StartNewInstance(const std::vector<std::string>&) override { return false; }
    bool OpenInBrowser(const std::string&) override { return false; }
    bool CapsLockOn() const override { return false; }
    void CloseWindow() override;
    // ToolsView: no dialogs (the console's commands take their arguments instead) and no display.
    std::optional<std::string> AskToolHost(HostTool, const std::string&) override {
        return std::nullopt;
    }
    std::optional<ArpAnswer> AskArp(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    DialogResult ShowColourDialog(ColourTable&) override { return DialogResult::Cancelled; }
    std::optional<MonitorList> Monitors() const override { return std::nullopt; }
    bool HasDesktop() const override { return false; }

    // PlacedWindow: a console has no window to place.
    WindowRect Geometry() const override { return {}; }
    void MoveWindow(int, int) override {}
    void ResizeWindow(int, int) override {}
    void MaximizeWindow() override {}
    bool WindowMaximized() const override { return false; }
    bool WindowMinimized() const override { return false; }

private:
    ConsoleScreen& screen_;
    ConsolePane pane_;
    ConsoleInput input_;
    NoClipboard clipboard_;
    AppController* controller_ = nullptr;
    std::function<void()> onClose_;
    std::map<TimerId, std::unique_ptr<QTimer>> timers_;
    std::map<int, std::string> status_;
    std::optional<SessionDialogAnswer> sessionAnswer_;
    std::string password_;
    std::optional<std::string> fileAnswer_;
    bool pollingAnswer_ = false;
};

}  // namespace ostrel
