#include "terminal/console/console_view.h"

#include "terminal/app/app_controller.h"
#include "terminal/core/code_page.h"
#include "terminal/console/console_panel.h"

namespace ostrel {

void ConsolePane::AppendColored(std::string_view text, Colour colour) {
    length_ += text.size();
    screen_.WritePane(text, colour, background_);
}

void ConsolePane::KeepTail(std::size_t count) {
    if (count < length_) length_ = count;
}

std::string ConsoleInput::Text() const {
    std::string bytes;
    Utf8ToWindows1252(editor_.Text(), bytes);
    return bytes;
}

std::optional<std::string> ConsoleInput::UnsendableCharacter() const {
    std::string bytes;
    return Utf8ToWindows1252(editor_.Text(), bytes);
}

void ConsoleInput::SetText(std::string_view text) {
    SetTyped(Windows1252ToUtf8(text));
}

void ConsoleInput::SetTyped(std::string_view text) {
    editor_.SetText(text);
    screen_.RedrawInput();
}

void ConsoleInput::RestoreState(const State& state) {
    editor_.SetText(state.text);
    editor_.SetCursor(state.selectionEnd);
    screen_.RedrawInput();
}

ConsoleView::ConsoleView(ConsoleScreen& screen, LineEditor& editor)
    : screen_(screen), pane_(screen), input_(editor, screen) {}

ConsoleView::~ConsoleView() {
    WipeSecret(password_);
}

void ConsoleView::AnswerPassword(std::string& password) {
    WipeSecret(password_);
    password_.assign(password);
    WipeSecret(password);
}

void ConsoleView::DropAnswers() {
    sessionAnswer_.reset();
    fileAnswer_.reset();
    pollingAnswer_ = false;
    WipeSecret(password_);
    password_.clear();
}

void ConsoleView::SetStatusPart(int part, std::string_view text) {
    status_[part] = std::string(text);
}

std::string ConsoleView::StatusLine() const {
    std::string line;
    for (const auto& [part, text] : status_) {
        // A leading tab centres a part in the window's status bar.
        const std::string_view shown =
            !text.empty() && text.front() == '\t' ? std::string_view(text).substr(1) : text;
        if (shown.empty()) continue;
        if (!line.empty()) line += " | ";
        line += shown;
    }
    return line;
}

void ConsoleView::StartTimer(TimerId id, int milliseconds) {
    // A text terminal does not tell the state of Caps Lock: that part of the status stays empty.
    if (id == TimerId::CapsLock) return;
    std::unique_ptr<QTimer>& timer = timers_[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this, id] {
            if (controller_ != nullptr) controller_->OnTimer(id);
        });
    }
    timer->start(milliseconds);
}

void ConsoleView::StopTimer(TimerId id) {
    if (const auto timer = timers_.find(id); timer != timers_.end()) timer->second->stop();
}

void ConsoleView::ShowMessageBox(std::string_view title, std::string_view text, MessageIcon) {
    std::string line(title);
    line += ": ";
    // The box's line breaks become blanks: one message, one line.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
    }
    screen_.WriteMessage(line);
}

DialogResult ConsoleView::ShowSessionDialog(SessionType type, SessionSettings& settings) {
    const std::optional<SessionDialogAnswer> answer = std::move(sessionAnswer_);
    sessionAnswer_.reset();
    if (!answer || answer->type != type) return DialogResult::Cancelled;
    ApplyDialogAnswer(*answer, password_, settings);
    WipeSecret(password_);
    password_.clear();
    return DialogResult::Confirmed;
}

std::optional<std::string> ConsoleView::ChooseFile(const FileChoice&) {
    std::optional<std::string> path = std::move(fileAnswer_);
    fileAnswer_.reset();
    return path;
}

DialogResult ConsoleView::ShowPollingDialog(Polling&) {
    const bool confirm = pollingAnswer_;
    pollingAnswer_ = false;
    return confirm ? DialogResult::Confirmed : DialogResult::Cancelled;
}

void ConsoleView::ShowRemotePanel(RemoteDefinition& panel) {
    screen_.WriteMessage(RemotePanelListing(panel));
}

bool ConsoleView::ShowRemoteEditor(RemoteDefinition&, RemoteEditorHost&, int) {
    screen_.WriteMessage(
        "The remote panel editor is part of the window; the console presses "
        "buttons only (/press).");
    return false;
}

void ConsoleView::CloseWindow() {
    for (auto& [id, timer] : timers_)
        timer->stop();
    if (onClose_) onClose_();
}

}  // namespace ostrel
