// The application controller: the program's single instances (session record, colour table,
// command list, display, session model), start-up in its fixed order, one dispatch function from
// menu command to handler, the window timers and shutdown. It knows nothing of the toolkit: the
// front end (the Qt main window or the console) implements FrontEnd and forwards its events.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "terminal/app/command_table.h"
#include "terminal/app/front_end.h"
#include "terminal/core/colour_table.h"
#include "terminal/core/command_list.h"
#include "terminal/core/date_time.h"
#include "terminal/core/display.h"
#include "terminal/core/send_line.h"
#include "terminal/persist/polling.h"
#include "terminal/persist/session_log.h"
#include "terminal/remote/panel_runtime.h"
#include "terminal/remote/remote_definition.h"
#include "terminal/remote/remote_editor.h"
#include "terminal/reports/program_runner.h"
#include "terminal/session/platform_events.h"
#include "terminal/session/serial_device.h"
#include "terminal/session/session_model.h"
#include "terminal/session/session_settings.h"
#include "terminal/session/ssh_client_session.h"
#include "terminal/session/ssh_library.h"
#include "terminal/session/tessnet.h"

namespace ostrel {

// Start-up messages.
inline constexpr std::string_view kNoDefaultSession = "No Default.ini found...";
inline constexpr std::string_view kSocketInitFailed = "Unable to initialize Portwell library";
inline constexpr std::string_view kSocketInitTitle = "Portwell";
inline constexpr std::string_view kSshInitFailed = "Unable to initialize SSH library...";
inline constexpr std::string_view kSshInitTitle = "Fatal Error!";
// Loading a session that has polling on but no poll strings.
inline constexpr std::string_view kNoPollDataTitle = "Error!";
inline constexpr std::string_view kNoPollDataText =
    "This session has polling enabled\r\nbut no polling data was found!";
// The session file name until a file is opened or saved.
inline constexpr std::string_view kDefaultSessionName = "Default.ini";
// The Tools menu's reports.
enum class SystemReport { Memory, Network, Monitors };

// Timers do not run faster than this (a poll period of 0 would otherwise spin).
inline constexpr int kShortestTimerPeriod = 10;

// The controller is the panel runtimes' host (their timers are window timers, their lines go
// the way typed lines go) and the panel editor's.
class AppController final : public SessionHost, public PanelHost, public RemoteEditorHost {
public:
    // The view, socket library and serial device must outlive the controller.
    AppController(FrontEnd& view, Tessnet& net, SerialDevice& serial);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Gives the program SSH Client sessions through the library, with events sent to the
    // platform window of `events`, whose messages come to OnPlatformMessage from now on until
    // the controller goes (nullptr: no window, for tests whose connects send no events).
    // Call before Start; without it Session > SSH Client says that it is not available. Both
    // must outlive the controller. Fingerprints are remembered in the per-user folder.
    void AttachSsh(SshLibrary& library, PlatformEvents* events);
    // What becomes of the session is reported to the watcher as well (nullptr: to nobody). It
    // must outlive the controller or be replaced first.
    void WatchSession(SessionEvents* watcher) { watcher_ = watcher; }

    // Gives the Tools menu a way to start programs (without one it says it cannot). The runner
    // must outlive the controller.
    void AttachTools(ProgramRunner& runner);

    // Start-up with the program's arguments (without the program name). Returns false when the
    // socket library or the SSH library could not be initialised: the window stays without
    // usable sessions.
    bool Start(const std::vector<std::string>& arguments);

    // A menu command or accelerator.
    void Dispatch(CommandId id);
    // Whether Dispatch has a handler of its own for the command (features of later parts of the
    // program only say they are not available).
    static bool HasHandler(CommandId id);
    // A tick of one of the window timers.
    void OnTimer(TimerId id);
    // A message of the platform window given to AttachSsh (the SSH library's events).
    void OnPlatformMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Enter in the input box, or the Send button.
    void OnSend();
    // Up and Down arrows in the input box.
    void OnBrowseOlder();
    void OnBrowseNewer();
    // The Tools menu without its dialogs (the console's commands): a report as Informational
    // text, and ping and trace route of a host, whose output comes into the pane unless a
    // terminal window shows it. RunTool starts any tool that way (keepOpen: its terminal window
    // waits for Enter); false when it could not be started, which a Status line says.
    void ShowReport(SystemReport report);
    void RunPing(const std::string& host);
    void RunTraceRoute(const std::string& host);
    bool RunTool(const ProgramLine& tool, bool keepOpen);
    // Whether a tool's output is still coming into the pane.
    bool ToolRunning() const;
    // Quit: closes the session, saves the command list, closes the window, releases the
    // libraries. Runs once; later calls do nothing.
    void Shutdown();

    // Session files. LoadSessionFile reads every key into the program's settings and starts
    // what the file asks for (polling, the remote panel of "RemoteControl"); it opens no
    // connection. OpenSessionFile is File > Open Session after its dialog: it closes the current
    // session, loads the file and opens its session. SaveSessionFile is File > Save Session
    // after its dialog; a failure is shown as a Status line. Both return false on failure.
    bool LoadSessionFile(const std::string& path);
    void OpenSessionFile(const std::string& path);
    bool SaveSessionFile(const std::string& path);
    // The File > Log dialog confirmed with a path: logging goes on there from part 0.
    void StartLogFile(const std::string& path);

    // The main window's placement: restored and recorded when it is shown, recorded at the end
    // of each move or resize by the user (unless the session file says "runAsRemote") and when
    // it is destroyed.
    void OnWindowShown();
    void OnMoveSizeEnd();
    void OnWindowDestroyed();
    // The window is being closed by the user: the same as Quit, except that the window is
    // already on its way out.
    void OnWindowClosing();

    // Remote panels (app_remote.cpp). OpenRemoteFile loads a panel file and opens its window
    // beside the main window; while a panel is open it refuses with a line in the terminal and
    // returns false. CloseRemotePanel is the panel window being closed: the editor goes too.
    bool OpenRemoteFile(const std::string& path);
    void CloseRemotePanel();
    // The panel window's buttons: left button down and up, right button down.
    void OnPanelPress(int index);
    void OnPanelRelease(int index);
    void OnPanelRightPress(int index);
    RemoteDefinition& Remote() { return remote_; }
    bool RemoteEditorOpen() const { return editorOpen_; }
    const PanelRuntime& PanelButtons() const { return panel_; }

    // PanelHost (StartTimer and StopTimer are those of SessionHost). A panel's line goes through
    // SendText exactly as a line typed into the input box, and leaves the box as it is.
    void SendPanelLine(std::string_view line) override;
    void Beep() override { view_.Beep(); }
    void PanelButtonToggled(int index) override;

    // RemoteEditorHost.
    void PanelChanged() override;
    void PassThroughChanged() override;
    ConversionMode Mode() const override { return options_.mode; }
    void PreviewPress(int index) override { preview_.Press(index); }
    void PreviewRelease(int index) override { preview_.Release(index); }
    void ShowInformational(std::string_view text) override;
    void EditorClosed() override;

    // SessionHost.
    TextOutput& Output() override { return display_; }
    void RefreshStatus() override;
    void RepaintOutput() override { view_.RepaintPane(); }
    void StartTimer(TimerId id, int milliseconds) override;
    void StopTimer(TimerId id) override;
    DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) override;
    void OnSessionOpening() override;
    void OnSessionOpened() override;
    void OnSessionOpenFailed() override;
    void OnSessionClosed() override;
    void OnSessionReceived(std::string_view data) override;

    SessionSettings& Settings() { return settings_; }
    SessionModel& Session() { return session_; }
    Display& GetDisplay() { return display_; }
    CommandList& Commands() { return commands_; }
    ColourTable& Colours() { return colours_; }
    const SendOptions& Options() const { return options_; }
    bool ShutDown() const { return shutDown_; }
    SessionLog& Log() { return log_; }
    Polling& Poll() { return poll_; }
    const std::string& SessionPath() const { return sessionPath_; }
    bool RunAsRemote() const { return runAsRemote_; }

private:
    using Handler = void (AppController::*)(CommandId);
    struct Route {
        CommandId id;
        Handler handler;
    };
    static const Route kRoutes[];

    void ShowStatus(std::string_view text);
    SendContext SendPath();
    // Shutdown's steps in order: timers, session, command list, window, socket library, SSH
    // library.
    void Release(bool closeWindow);
    void ShowStartupSession(const std::vector<std::string>& arguments);
    void SetMenuState();
    // Persistence (app_persist.cpp).
    void ApplyLoadedSession(const SessionFile& file);
    SessionFile CurrentSessionFile() const;
    void StartPollTimer();
    void PollTick();
    void SyncLogging();
    void RecordPlacement();

    // Command handlers (app_commands.cpp), one per group of the menu.
    void OnNewInstance(CommandId);
    void OnQuit(CommandId);
    void OnEdit(CommandId id);
    void OnMode(CommandId id);
    void OnOpenSession(CommandId id);
    void OnFileOpen(CommandId);
    void OnFileSave(CommandId);
    void OnLog(CommandId);
    void OnPolling(CommandId);
    void OnClose(CommandId);
    void OnRestart(CommandId);
    void OnForgetHostKey(CommandId);
    void OnEcho(CommandId id);
    void OnSessionMeta(CommandId);
    void OnView(CommandId id);
    void OnTerminator(CommandId id);
    void OnHelp(CommandId);
    void OnWeb(CommandId);
    void OnAbout(CommandId);
    // The Tools menu and the colour dialog (app_tools.cpp).
    void OnColorPrefs(CommandId);
    void OnIpConfig(CommandId);
    void OnPing(CommandId);
    void OnTraceRoute(CommandId);
    void OnOpenInBrowser(CommandId);
    void OnArp(CommandId);
    void OnCalculator(CommandId);
    void OnReport(CommandId id);
    // The Ping or Trace Route dialog on the session host; a host given is written back.
    std::optional<std::string> AskHostToolHost(HostTool tool);

    // The Remote menu (app_remote.cpp).
    void OnRemoteNew(CommandId);
    void OnRemoteOpen(CommandId);
    void OnRemoteSave(CommandId);
    void OnRemoteConfigure(CommandId);
    void OnRemoteMeta(CommandId);
    void OpenRemoteEditor(int selection);
    // "RemoteControl" of a session file: the panel file to open with the session.
    void OpenSessionPanel(const std::string& path);

    FrontEnd& view_;
    Tessnet& net_;
    SessionSettings settings_;
    ColourTable colours_;
    CommandList commands_;
    SystemClock clock_;
    Display display_;
    SessionModel session_;
    SendOptions options_;
    SessionLog log_{clock_};
    Polling poll_;
    SshLibrary* ssh_ = nullptr;
    PlatformEvents* sshEvents_ = nullptr;
    SessionEvents* watcher_ = nullptr;
    std::unique_ptr<HostKeyStore> hostKeys_;
    std::unique_ptr<CertificateStore> certificates_;
    std::unique_ptr<SshClientSession> sshSession_;
    bool sshStarted_ = false;
    ProgramRunner* runner_ = nullptr;
    ToolOutput toolOutput_;
    std::string runningTool_;
    std::string arpMac_;  // the last MAC address given to Tools > Arp, for this run
    std::vector<std::string> arguments_;
    std::string sessionPath_{kDefaultSessionName};
    RemoteDefinition remote_;
    PanelRuntime panel_{remote_, *this, TimerId::RemoteHold, TimerId::RemoteRepeat};
    PanelRuntime preview_{remote_, *this, TimerId::PreviewHold, TimerId::PreviewRepeat};
    bool editorOpen_ = false;
    bool runAsRemote_ = false;
    bool started_ = false;
    bool shutDown_ = false;
};

}  // namespace ostrel
