// The main window: menu, output pane, input box, Send button and the six-part status bar. It is
// the Qt front end of the application controller: it forwards menu commands, keys, timer ticks
// and the close of the window, and shows what the controller asks for.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>

#include <array>
#include <functional>
#include <map>

#include "terminal/shell/app_controller.h"
#include "terminal/shell/input_line.h"
#include "terminal/shell/output_view.h"
#include "terminal/shell/qt_clipboard.h"
#include "terminal/shell/shell_view.h"

class QAction;
class QLabel;
class QPushButton;

namespace ostrel {

// Widths in pixels of status-bar parts 1-5 (part 0 takes the rest) and their tool tips.
inline constexpr std::array<int, 5> kStatusPartWidths = {115, 50, 55, 55, 80};

class MainWindow final : public QMainWindow, public ShellView {
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // From now on the window's events go to the controller. It must outlive the window's use.
    void Attach(AppController& controller);

    // Replaces the new-session dialogs (tests script them); an empty function restores them.
    using DialogHook = std::function<DialogResult(SessionType, SessionSettings&)>;
    void SetSessionDialogHook(DialogHook hook) { dialogHook_ = std::move(hook); }

    OutputView& OutputPaneView() { return *pane_; }
    InputLine& InputView() { return *input_; }
    QPushButton& SendButton() { return *send_; }
    QAction* Action(CommandId id) const;
    QString StatusPartText(int part) const;
    QLabel* StatusPart(int part) const;
    bool TimerActive(TimerId id) const;

    // ShellView.
    OutputPane& Pane() override { return *pane_; }
    InputBox& Input() override { return *input_; }
    Clipboard& SystemClipboard() override { return clipboard_; }
    void SetStatusPart(int part, std::string_view text) override;
    void SetCommandChecked(CommandId id, bool checked) override;
    void SetCommandEnabled(CommandId id, bool enabled) override;
    void StartTimer(TimerId id, int milliseconds) override;
    void StopTimer(TimerId id) override;
    void ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon) override;
    void RepaintPane() override;
    void FocusInput() override;
    void EditFocused(EditAction action) override;
    DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) override;
    void ShowSessionMetaDialog(SessionSettings& settings) override;
    WindowRect Geometry() const override;
    bool StartNewInstance(const std::vector<std::string>& arguments) override;
    bool OpenInBrowser(const std::string& address) override;
    bool CapsLockOn() const override;
    void CloseWindow() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void createPanes();
    void createMenus();
    void createStatusBar();
    void placeCentred();

    AppController* controller_ = nullptr;
    OutputView* pane_ = nullptr;
    InputLine* input_ = nullptr;
    QPushButton* send_ = nullptr;
    std::array<QLabel*, 6> statusParts_{};
    std::map<CommandId, QAction*> actions_;
    std::map<TimerId, QBasicTimer> timers_;
    QtClipboard clipboard_;
    DialogHook dialogHook_;
};

// The pane's font: "Courier New" at 12 points, or the closest monospace font.
QFont TerminalFont();

}  // namespace ostrel
