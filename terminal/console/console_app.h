// The console's run: reads standard input line by line (key by key with line editing on a
// terminal), carries out each line through the application controller, holds back scripted
// lines while a session is opening, waits for replies once the input ends, and decides the
// exit status.
#pragma once

#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "terminal/console/console_commands.h"
#include "terminal/console/console_options.h"
#include "terminal/console/console_screen.h"
#include "terminal/console/console_view.h"
#include "terminal/console/expectations.h"
#include "terminal/console/line_editor.h"
#include "terminal/console/terminal_mode.h"
#include "terminal/session/session_host.h"

namespace ostrel {

class AppController;

// Scripted lines wait at most this long for a session whose connect has no time-out of its own
// (the system's limit applies to it, about two minutes).
inline constexpr int kLongestOpenWaitSeconds = 150;

// Watches the session through the controller: whether a connect is under way, whether an open
// failed (for the exit status) and the bytes received (for --expect).
class ConsoleApp final : public SessionEvents {
public:
    struct Input {
        int fd = 0;
        bool scripted = true;  // not a terminal: lines are held back while a session opens
        bool editing = false;  // key by key through the line editor
    };

    // All references must outlive the run.
    ConsoleApp(const Input& input, const ConsoleOptions& options, Expectations expectations,
               ConsoleScreen& screen, LineEditor& editor, ConsoleView& view,
               TerminalMode& terminal);

    // The controller runs the lines and reports what becomes of the session.
    void Attach(AppController& controller);

    // Start-up has run (started: the socket library could be used); from here on the input is
    // read. The event loop ends with the exit status through QCoreApplication::exit.
    void Begin(bool started);

    // SessionEvents.
    void OnSessionOpening() override { opening_ = true; }
    void OnSessionOpened() override { opening_ = false; }
    void OnSessionOpenFailed() override;
    void OnSessionClosed() override { opening_ = false; }
    void OnSessionReceived(std::string_view data) override;

    int ExitStatus() const;

private:
    void OnInputReady();
    void OnKey(char byte);
    void ProcessLines();
    void HandleLine(const std::string& line);
    void Run(const ConsoleCommand& command);
    void OpenSession(const ConsoleCommand& command);
    // /ssh on a terminal: the next line typed is the password, not shown.
    void AskPassword(const ConsoleCommand& command);
    // The password is passed by reference and wiped where it is, never moved: moving a short
    // string copies its bytes and leaves them in the string moved from.
    void PasswordTyped(std::string& password);
    void CancelPassword();
    void Connect(const ConsoleCommand& command, std::string& password);
    void ShowEchoState();
    // /press: the button goes down now and up after the command's time, while the following
    // lines wait; the panel's timers run meanwhile.
    void Press(const ConsoleCommand& command);
    void ReleasePressed();
    bool SessionOpening() const;
    void HoldBack();
    void CheckHeldBack();
    void EndOfInput();
    void Finish();
    void OnWindowClosed();
    void Message(std::string_view text);

    Input input_;
    ConsoleOptions options_;
    Expectations expectations_;
    ConsoleScreen& screen_;
    LineEditor& editor_;
    ConsoleView& view_;
    TerminalMode& terminal_;
    AppController* controller_ = nullptr;

    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer holdTimer_;
    QTimer waitTimer_;
    QTimer pressTimer_;
    int pressed_ = -1;  // the button /press holds down
    std::chrono::steady_clock::time_point holdUntil_;
    std::string pending_;  // read but not yet carried out
    std::optional<ConsoleCommand> passwordFor_;
    bool inputEnded_ = false;
    bool holding_ = false;
    bool draining_ = false;
    bool finishing_ = false;
    bool finished_ = false;
    bool startFailed_ = false;
    bool openFailed_ = false;
    bool opening_ = false;  // a connect was started and has not ended yet
};

}  // namespace ostrel
