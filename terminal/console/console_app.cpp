#include "terminal/console/console_app.h"

#include <QCoreApplication>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "terminal/app/app_controller.h"
#include "terminal/console/console_panel.h"
#include "terminal/console/console_reports.h"
#include "terminal/console/script_lines.h"

namespace ostrel {

ConsoleApp::ConsoleApp(const Input& input, const ConsoleOptions& options,
                       Expectations expectations, ConsoleScreen& screen, LineEditor& editor,
                       ConsoleView& view, TerminalMode& terminal)
    : input_(input),
      options_(options),
      expectations_(std::move(expectations)),
      screen_(screen),
      editor_(editor),
      view_(view),
      terminal_(terminal) {
    holdTimer_.setInterval(20);
    QObject::connect(&holdTimer_, &QTimer::timeout, [this] { CheckHeldBack(); });
    waitTimer_.setSingleShot(true);
    QObject::connect(&waitTimer_, &QTimer::timeout, [this] { Finish(); });
    pressTimer_.setSingleShot(true);
    QObject::connect(&pressTimer_, &QTimer::timeout, [this] { ReleasePressed(); });
}

void ConsoleApp::Attach(AppController& controller) {
    controller_ = &controller;
    controller.WatchSession(this);
}

void ConsoleApp::Message(std::string_view text) {
    while (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    screen_.WriteMessage(text);
}

void ConsoleApp::Begin(bool started) {
    view_.SetCloseHandler([this] { OnWindowClosed(); });
    if (!started) {
        startFailed_ = true;
        Finish();
        return;
    }
    if (input_.editing) screen_.AttachEditor(&editor_);
    screen_.Flush();
    notifier_ = std::make_unique<QSocketNotifier>(input_.fd, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { OnInputReady(); });
    if (input_.scripted && SessionOpening()) HoldBack();
}

void ConsoleApp::OnInputReady() {
    char buffer[4096];
    // One read per notification never blocks: the descriptor was reported readable.
    const ssize_t count = ::read(input_.fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (count <= 0) {
        inputEnded_ = true;
        notifier_->setEnabled(false);
        if (input_.editing)
            EndOfInput();
        else
            ProcessLines();
        return;
    }
    if (input_.editing) {
        for (ssize_t i = 0; i < count && !finishing_; ++i)
            OnKey(buffer[i]);
    } else {
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
    // What was read may be a password typed on the terminal.
    explicit_bzero(buffer, static_cast<std::size_t>(count));
    if (!input_.editing) ProcessLines();
}

void ConsoleApp::OnKey(char byte) {
    const LineEditor::Action action = editor_.Feed(byte);
    if (passwordFor_) {
        if (action == LineEditor::Action::Submit) {
            std::string password = editor_.Text();
            editor_.Wipe();
            PasswordTyped(password);
        } else if (action == LineEditor::Action::Interrupt ||
                   action == LineEditor::Action::EndOfInput) {
            CancelPassword();
        } else if (byte == 0x03) {
            CancelPassword();  // Ctrl+C with something typed
        }
        return;
    }
    switch (action) {
        case LineEditor::Action::None:
            break;
        case LineEditor::Action::Changed:
            screen_.RedrawInput();
            break;
        case LineEditor::Action::Submit:
            HandleLine(editor_.Text());
            break;
        case LineEditor::Action::Older:
            controller_->OnBrowseOlder();
            break;
        case LineEditor::Action::Newer:
            controller_->OnBrowseNewer();
            break;
        case LineEditor::Action::EndOfInput:
            inputEnded_ = true;
            notifier_->setEnabled(false);
            EndOfInput();
            break;
        case LineEditor::Action::Interrupt:
            controller_->Dispatch(CommandId::Quit);
            break;
    }
}

void ConsoleApp::ProcessLines() {
    while (!holding_ && !finishing_) {
        const bool password = passwordFor_.has_value();
        std::optional<std::string> line = TakeScriptLine(pending_, inputEnded_, password);
        if (!line) break;
        HandleLine(*line);
        if (password) WipeSecret(*line);
        if (input_.scripted && !finishing_ && (SessionOpening() || controller_->ToolRunning()))
            HoldBack();
    }
    if (!holding_ && !finishing_ && inputEnded_ && pending_.empty()) EndOfInput();
}

void ConsoleApp::HandleLine(const std::string& line) {
    if (passwordFor_) {
        std::string password = line;
        PasswordTyped(password);
        return;
    }
    if (const std::optional<ToolCommand> tool = ParseToolCommand(line)) {
        if (!editor_.Text().empty()) view_.Input().SetText("");
        RunToolCommand(*tool, *controller_, [this](std::string_view text) { Message(text); });
        return;
    }
    const ConsoleCommand command = ParseConsoleLine(line);
    // A line to send goes into the input box (where an edited line already is); a command
    // empties the box as the window's menu leaves its input box alone but the line is used up.
    const std::string boxText = command.kind == ConsoleCommand::Kind::Send ? command.text : "";
    if (editor_.Text() != boxText) view_.TypedInput().SetTyped(boxText);
    // No further input is read while the line is carried out: an SSH connect waits inside the
    // command, running the event loop meanwhile.
    const bool reading = notifier_ && notifier_->isEnabled();
    if (reading) notifier_->setEnabled(false);
    Run(command);
    view_.DropAnswers();
    if (reading && !holding_ && !inputEnded_ && !finishing_) notifier_->setEnabled(true);
}

void ConsoleApp::Run(const ConsoleCommand& command) {
    using Kind = ConsoleCommand::Kind;
    AppController& c = *controller_;
    switch (command.kind) {
        case Kind::Send:
            c.OnSend();
            break;
        case Kind::Dispatch:
            c.Dispatch(command.id);
            if (command.id == CommandId::EchoLocal || command.id == CommandId::EchoRemote)
                ShowEchoState();
            break;
        case Kind::OpenSession:
            OpenSession(command);
            break;
        case Kind::OpenFile:
            view_.AnswerFile(command.text);
            c.Dispatch(CommandId::OpenSession);
            break;
        case Kind::SaveFile:
            view_.AnswerFile(command.text);
            c.Dispatch(CommandId::SaveSession);
            break;
        case Kind::LogFile:
            // Log while logging is on stops it; the second Log starts it on the new file.
            if (c.Log().On()) c.Dispatch(CommandId::Log);
            view_.AnswerFile(command.text);
            c.Dispatch(CommandId::Log);
            break;
        case Kind::LogOff:
            if (c.Log().On())
                c.Dispatch(CommandId::Log);
            else
                Message("Logging is off already.");
            break;
        case Kind::PollOn:
            if (c.Poll().On()) {
                Message("Polling is on already.");
                break;
            }
            view_.AnswerPolling(true);
            c.Dispatch(CommandId::Polling);
            break;
        case Kind::PollOff:
            if (c.Poll().On())
                c.Dispatch(CommandId::Polling);
            else
                Message("Polling is off already.");
            break;
        case Kind::Help:
            Message(ConsoleCommandHelp());
            break;
        case Kind::Status:
            Message(view_.StatusLine());
            break;
        case Kind::RemoteOpen:
            c.OpenRemoteFile(command.text);
            break;
        case Kind::RemoteClose:
            if (c.Remote().loaded)
                c.CloseRemotePanel();
            else
                Message("No remote panel is open.");
            break;
        case Kind::Press:
            Press(command);
            break;
        case Kind::Invalid:
            Message(command.text);
            break;
    }
}

void ConsoleApp::Press(const ConsoleCommand& command) {
    if (!controller_->Remote().loaded) {
        Message("No remote panel is open; /remote FILE opens one.");
        return;
    }
    const PanelButtonChoice choice = FindPanelButton(controller_->Remote(), command.text);
    if (choice.index < 0) {
        Message("/press: " + choice.error + ".");
        return;
    }
    pressed_ = choice.index;
    controller_->OnPanelPress(pressed_);
    holding_ = true;
    if (notifier_) notifier_->setEnabled(false);
    pressTimer_.start(command.milliseconds);
}

void ConsoleApp::ReleasePressed() {
    if (pressed_ < 0 || finishing_) return;
    controller_->OnPanelRelease(std::exchange(pressed_, -1));
    holding_ = false;
    // A string sent may have started a session (an HTTP client waiting for its first line).
    if (input_.scripted && SessionOpening()) {
        HoldBack();
        return;
    }
    if (!inputEnded_ && notifier_) notifier_->setEnabled(true);
    ProcessLines();
}

void ConsoleApp::OpenSession(const ConsoleCommand& command) {
    if (command.answer.type != SessionType::SshClient) {
        std::string none;
        Connect(command, none);
        return;
    }
    if (!input_.scripted) {
        AskPassword(command);
        return;
    }
    const char* variable = std::getenv("OSTREL_SSH_PASSWORD");
    if (variable == nullptr)
        Message("OSTREL_SSH_PASSWORD is not set: the SSH login is tried without a password.");
    std::string password = variable != nullptr ? variable : "";
    Connect(command, password);
}

void ConsoleApp::AskPassword(const ConsoleCommand& command) {
    passwordFor_ = command;
    if (input_.editing) {
        editor_.Wipe();
        screen_.SetSecretInput(true);
        return;
    }
    terminal_.NoEcho(input_.fd);
    Message("Password (not shown):");
}

void ConsoleApp::PasswordTyped(std::string& password) {
    const ConsoleCommand command = std::move(*passwordFor_);
    passwordFor_.reset();
    if (input_.editing) {
        screen_.SetSecretInput(false);
    } else {
        terminal_.Restore();
        Message("");  // the Enter typed was not echoed
    }
    Connect(command, password);
}

void ConsoleApp::CancelPassword() {
    passwordFor_.reset();
    editor_.Wipe();
    screen_.SetSecretInput(false);
    Message("SSH Client: no password typed, nothing opened.");
}

void ConsoleApp::Connect(const ConsoleCommand& command, std::string& password) {
    if (command.answer.type == SessionType::SshClient) view_.AnswerPassword(password);
    WipeSecret(password);
    view_.AnswerSessionDialog(command.answer);
    controller_->Dispatch(command.id);
    view_.DropAnswers();
    // The dialog was confirmed: a session that is not in use now could not be opened.
    if (!controller_->Settings().inUse) openFailed_ = true;
}

void ConsoleApp::ShowEchoState() {
    Message(std::string("Local echo ") + (controller_->Options().localEcho ? "on" : "off") +
            ", remote echo " + (controller_->Session().RemoteEcho() ? "on." : "off."));
}

bool ConsoleApp::SessionOpening() const {
    return opening_ && controller_->Settings().inUse;
}

void ConsoleApp::HoldBack() {
    holding_ = true;
    if (notifier_) notifier_->setEnabled(false);
    const std::int32_t timeout = controller_->Settings().timeout;
    // The connect's own time-out ends it with an error; two seconds more cover its report.
    const int seconds = timeout > 0 ? std::min(timeout, kLongestOpenWaitSeconds) + 2
                                    : kLongestOpenWaitSeconds;
    holdUntil_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    holdTimer_.start();
}

void ConsoleApp::CheckHeldBack() {
    if (finishing_) {
        holdTimer_.stop();
        return;
    }
    // A tool ends by itself (ping after four requests, a trace after its last hop).
    if (controller_->ToolRunning()) return;
    if (SessionOpening()) {
        if (std::chrono::steady_clock::now() < holdUntil_) return;
        Message("The session did not connect in time; the following lines are carried out anyway.");
        openFailed_ = true;
    }
    holdTimer_.stop();
    holding_ = false;
    if (!inputEnded_ && notifier_) notifier_->setEnabled(true);
    ProcessLines();
}

void ConsoleApp::OnSessionOpenFailed() {
    opening_ = false;
    openFailed_ = true;
}

void ConsoleApp::OnSessionReceived(std::string_view data) {
    expectations_.Feed(data);
    // Not from inside the session's read: finishing closes that session.
    if (draining_ && !expectations_.Empty() && expectations_.AllMatched())
        QTimer::singleShot(0, [this] { Finish(); });
}

void ConsoleApp::EndOfInput() {
    if (draining_ || finishing_) return;
    draining_ = true;
    if (!expectations_.Empty() && expectations_.AllMatched()) {
        Finish();
        return;
    }
    waitTimer_.start(static_cast<int>(options_.wait * 1000));
}

void ConsoleApp::Finish() {
    if (finishing_) return;
    finishing_ = true;
    holdTimer_.stop();
    waitTimer_.stop();
    pressTimer_.stop();
    if (notifier_) notifier_->setEnabled(false);
    screen_.End();
    controller_->Shutdown();  // closes the "window": OnWindowClosed
}

void ConsoleApp::OnWindowClosed() {
    if (finished_) return;
    finishing_ = finished_ = true;
    holdTimer_.stop();
    waitTimer_.stop();
    pressTimer_.stop();
    if (notifier_) notifier_->setEnabled(false);
    screen_.End();
    if (openFailed_) Message("ostrel: a session could not be opened.");
    for (const std::string& pattern : expectations_.Unmatched())
        Message("ostrel: --expect '" + pattern + "' matched nothing received.");
    if (screen_.OutputFailed())
        Message("ostrel: standard output could not be written; what it holds is incomplete.");
    const int status = ExitStatus();
    // Also right for a start-up that failed before the event loop runs.
    QTimer::singleShot(0, [status] { QCoreApplication::exit(status); });
}

int ConsoleApp::ExitStatus() const {
    if (startFailed_ || openFailed_) return kExitNotOpened;
    if (!expectations_.AllMatched()) return kExitNotExpected;
    // A script that keeps the output must not take a cut-off copy for a good run.
    if (screen_.OutputFailed()) return kExitOutputLost;
    return kExitOk;
}

}  // namespace ostrel
