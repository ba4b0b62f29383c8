// The main window: menu, output pane, input box, Send button and the six-part status bar. It is
// the Qt front end of the application controller: it forwards menu commands, keys, timer ticks
// and the close of the window, and shows what the controller asks for.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <map>

#include "terminal/app/app_controller.h"
#include "terminal/app/front_end.h"
#include "terminal/dialogs/remote_editor_dialog.h"
#include "terminal/window/input_line.h"
#include "terminal/window/output_view.h"
#include "terminal/window/qt_clipboard.h"
#include "terminal/window/remote_panel_window.h"

class QAction;
class QLabel;
class QPushButton;

namespace ostrel {

// Widths in pixels of status-bar parts 1-5 (part 0 takes the rest) and their tool tips.
inline constexpr std::array<int, 5> kStatusPartWidths = {115, 50, 55, 55, 80};

class MainWindow final : public QMainWindow, public FrontEnd {
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // From now on the window's events go to the controller. It must outlive the window's use.
    void Attach(AppController& controller);

    // Replaces the new-session dialogs (tests script them); an empty function restores them.
    using DialogHook = std::function<DialogResult(SessionType, SessionSettings&)>;
    void SetSessionDialogHook(DialogHook hook) { dialogHook_ = std::move(hook); }
    // The same for the file dialogs and the "Polling" dialog.
    using FileDialogHook = std::function<std::optional<std::string>(const FileChoice&)>;
    void SetFileDialogHook(FileDialogHook hook) { fileDialogHook_ = std::move(hook); }
    using PollingDialogHook = std::function<DialogResult(Polling&)>;
    void SetPollingDialogHook(PollingDialogHook hook) { pollingDialogHook_ = std::move(hook); }

    // The end of a move or resize is taken to be this long without another one (the desktop
    // does not say when the user lets go of the frame).
    static constexpr int kMoveSizeSettleMs = 400;

    OutputView& OutputPaneView() { return *pane_; }
    InputLine& InputView() { return *input_; }
    QPushButton& SendButton() { return *send_; }
    QAction* Action(CommandId id) const;
    QString StatusPartText(int part) const;
    QLabel* StatusPart(int part) const;
    bool TimerActive(TimerId id) const;
    // The remote panel window and its editor while they are open; nullptr otherwise.
    RemotePanelWindow* RemotePanel() const { return remotePanel_; }
    RemoteEditorDialog* RemoteEditor() const { return remoteEditor_; }

    // FrontEnd.
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
    std::optional<std::string> ChooseFile(const FileChoice& choice) override;
    DialogResult ShowPollingDialog(Polling& polling) override;
    WindowRect Geometry() const override;
    void MoveWindow(int left, int top) override;
    void ResizeWindow(int width, int height) override;
    void MaximizeWindow() override;
    bool WindowMaximized() const override;
    bool WindowMinimized() const override;
    void ShowRemotePanel(RemoteDefinition& panel) override;
    void RefreshRemotePanel(bool editorOpen) override;
    void CloseRemotePanel() override;
    std::optional<WindowRect> RemotePanelGeometry() const override;
    bool ShowRemoteEditor(RemoteDefinition& panel, RemoteEditorHost& host, int selection) override;
    void CloseRemoteEditor() override;
    void ShowRemoteMetaDialog(RemoteDefinition& panel) override;
    void Beep() override;
    bool StartNewInstance(const std::vector<std::string>& arguments) override;
    bool OpenInBrowser(const std::string& address) override;
    bool CapsLockOn() const override;
    void CloseWindow() override;
    // ToolsView (main_window_tools.cpp).
    std::optional<std::string> AskToolHost(HostTool tool, const std::string& initial) override;
    std::optional<ArpAnswer> AskArp(const std::string& address, const std::string& mac) override;
    DialogResult ShowColourDialog(ColourTable& colours) override;
    std::optional<MonitorList> Monitors() const override;
    bool HasDesktop() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

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
    FileDialogHook fileDialogHook_;
    PollingDialogHook pollingDialogHook_;
    QPointer<RemotePanelWindow> remotePanel_;
    QPointer<RemoteEditorDialog> remoteEditor_;
    QTimer moveSizeSettled_;
    bool closed_ = false;
};

}  // namespace ostrel
