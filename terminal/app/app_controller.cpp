#include "terminal/app/app_controller.h"

#include <filesystem>
#include <iostream>

#include "terminal/app/host_identity.h"
#include "terminal/app/startup_text.h"
#include "terminal/core/code_page.h"
#include "terminal/core/user_folder.h"
#include "terminal/persist/placement.h"
#include "terminal/persist/preferences.h"
#include "terminal/session/status_text.h"

namespace ostrel {

AppController::AppController(FrontEnd& view, Tessnet& net, SerialDevice& serial)
    : view_(view),
      net_(net),
      colours_(DefaultColourTable()),
      display_(view.Pane(), colours_, clock_),
      session_(settings_, net, serial, *this) {}

AppController::~AppController() {
    // A tool's output handlers point at this controller.
    if (runner_ != nullptr) runner_->Stop();
    // The platform window outlives the controller; its last messages must not reach it.
    if (sshEvents_ != nullptr) sshEvents_->SetHandler({});
}

void AppController::AttachSsh(SshLibrary& library, PlatformEvents* events) {
    ssh_ = &library;
    sshEvents_ = events;
    if (events != nullptr)
        events->SetHandler([this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
            OnPlatformMessage(message, wParam, lParam);
        });
    hostKeys_ = std::make_unique<HostKeyStore>(UserFolder() / kHostKeyFileName);
    sshSession_ = std::make_unique<SshClientSession>(
        session_, library, *hostKeys_, events != nullptr ? events->Window() : nullptr);
    session_.RegisterSession(SessionType::SshClient, *sshSession_);
}

void AppController::OnPlatformMessage(unsigned message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    if (message == kSshMessage && sshSession_ != nullptr)
        sshSession_->OnEvent(wParam, static_cast<std::uint32_t>(lParam));
}

void AppController::ShowStatus(std::string_view text) {
    display_.ShowText(text, DisplayCategory::Status);
}

bool AppController::Start(const std::vector<std::string>& arguments) {
    arguments_ = arguments;
    certificates_ = std::make_unique<CertificateStore>(UserFolder() / kTlsCertificateFileName);
    session_.SetCertificateStore(certificates_.get());
    // 1-2: an empty command list, and the default colours unless a preferences file is there
    // (the table then keeps the built-in defaults until the start-up session sets it).
    commands_.Clear();
    ApplyStartupColours(colours_);
    // 3: the font and the panes belong to the front end, which made them already, and with the
    // window the poll timer started (its first tick stops it unless polling is on by then).
    view_.StartTimer(TimerId::Poll, kPollTimerPeriod);
    // 4-5: who we are and where we are.
    ShowStatus(VersionLine());
    for (const std::string& line : HostIdentityLines(LocalHostName(), LocalIPv4Addresses()))
        ShowStatus(line);
    // 6: the command list of the last run, and the send and view defaults.
    LoadCommandList(commands_);
    display_.SetDisplayType(DisplayType::Text);
    options_.terminator = LineTerminator::CrLf;
    options_.mode = ConversionMode::NoConversion;
    // 7: the socket library.
    if (net_.InetInitializeA({}, 0) == 0) {
        view_.ShowMessageBox(kSocketInitTitle, kSocketInitFailed, MessageIcon::Stop);
        return false;
    }
    // 8: the SSH library.
    if (ssh_ != nullptr) {
        if (!ssh_->Initialize()) {
            view_.ShowMessageBox(kSshInitTitle, kSshInitFailed, MessageIcon::Stop);
            return false;
        }
        sshStarted_ = true;
    }
    // 9: the session named on the command line, or the default session.
    ShowStartupSession(arguments);
    // 10: colours, focus, status bar.
    display_.ApplyBackground();
    view_.FocusInput();
    RefreshStatus();
    // 11: the serial timer runs only for an open serial session; TLS starts off.
    if (!session_.PortOpen()) view_.StopTimer(TimerId::SerialRead);
    settings_.secure = false;
    settings_.tlsChoice = TlsChoice::Auto;
    sessionPath_ = kDefaultSessionName;
    settings_.pendingHttpLine.clear();

    view_.StartTimer(TimerId::CapsLock, kCapsLockPeriod);
    OnTimer(TimerId::CapsLock);
    started_ = true;
    return true;
}

void AppController::ShowStartupSession(const std::vector<std::string>& arguments) {
    // Placement words may stand beside the file name; they are not part of it.
    std::vector<std::string> words;
    for (const std::string& argument : arguments)
        if (!IsPlacementWord(argument)) words.push_back(argument);
    if (const std::optional<std::string> file = SessionFileArgument(words)) {
        display_.ShowText(PaneTextOfUtf8(*file), DisplayCategory::Informational);
        if (IsRemotePanelFile(*file)) {
            OpenRemoteFile(*file);
            return;
        }
        LoadSessionFile(*file);
        session_.Restart();
        return;
    }
    for (std::string_view name : {"default.ini", "Default.ini"}) {
        if (const std::optional<std::filesystem::path> path = FindReadableFile(name)) {
            LoadSessionFile(path->string());
            session_.Restart();
            return;
        }
    }
    ShowStatus(kNoDefaultSession);
}

void AppController::OnTimer(TimerId id) {
    switch (id) {
        case TimerId::Poll:
            PollTick();
            break;
        case TimerId::SerialRead:
            session_.OnSerialTimer();
            break;
        case TimerId::CapsLock:
            view_.SetStatusPart(5, view_.CapsLockOn() ? "\tCAPS" : "");
            break;
        case TimerId::RemoteHold:
            panel_.OnHoldTimer();
            break;
        case TimerId::RemoteRepeat:
            panel_.OnRepeatTimer();
            break;
        case TimerId::PreviewHold:
            preview_.OnHoldTimer();
            break;
        case TimerId::PreviewRepeat:
            preview_.OnRepeatTimer();
            break;
    }
}

SendContext AppController::SendPath() {
    options_.polling = poll_.On();
    return {view_.Input(), commands_, session_, display_, view_.SystemClipboard()};
}

void AppController::OnSend() {
    if (shutDown_) return;
    SendLine(options_, SendPath());
}

void AppController::OnBrowseOlder() {
    view_.Input().SetText(commands_.BrowseOlder());
}

void AppController::OnBrowseNewer() {
    view_.Input().SetText(commands_.BrowseNewer());
}

void AppController::Shutdown() {
    Release(true);
}

void AppController::OnWindowClosing() {
    Release(false);
}

void AppController::Release(bool closeWindow) {
    if (shutDown_) return;
    shutDown_ = true;
    view_.StopTimer(TimerId::SerialRead);
    view_.StopTimer(TimerId::Poll);
    view_.StopTimer(TimerId::CapsLock);
    if (runner_ != nullptr) runner_->Stop();
    panel_.Stop();
    preview_.Stop();
    session_.Close();
    if (std::string error; started_ && !SaveCommandList(commands_, &error))
        std::cerr << "ostrel: the command list was not saved: " << error << '\n';
    if (closeWindow) view_.CloseWindow();
    net_.InetUninitialize();
    if (sshStarted_) {
        sshStarted_ = false;
        ssh_->Uninitialize();
    }
}

void AppController::RefreshStatus() {
    options_.polling = poll_.On();
    if (const std::optional<std::string> text = session_.StatusText())
        view_.SetStatusPart(0, *text);
    view_.SetStatusPart(1, ConversionModeText(options_.mode));
    view_.SetStatusPart(2, DisplayTypeText(display_.GetDisplayType()));
    view_.SetStatusPart(3, LineTerminatorText(options_.terminator));
    view_.SetStatusPart(4, EchoStatusText(options_.localEcho, session_.RemoteEcho()));
    SetMenuState();
}

void AppController::SetMenuState() {
    const ConversionMode mode = options_.mode;
    view_.SetCommandChecked(CommandId::ModeNoConversion, mode == ConversionMode::NoConversion);
    view_.SetCommandChecked(CommandId::ModeAmx, mode == ConversionMode::Amx);
    view_.SetCommandChecked(CommandId::ModeCrestron, mode == ConversionMode::Crestron);
    view_.SetCommandChecked(CommandId::ModeExtron, mode == ConversionMode::Extron);
    view_.SetCommandChecked(CommandId::EchoLocal, options_.localEcho);
    view_.SetCommandChecked(CommandId::EchoRemote, session_.RemoteEcho());
    view_.SetCommandChecked(CommandId::Log, log_.On());
    view_.SetCommandChecked(CommandId::Polling, poll_.On());
    const DisplayType type = display_.GetDisplayType();
    view_.SetCommandChecked(CommandId::ViewText, type == DisplayType::Text);
    view_.SetCommandChecked(CommandId::ViewHex, type == DisplayType::Hex);
    const LineTerminator t = options_.terminator;
    view_.SetCommandChecked(CommandId::TerminateCrLf, t == LineTerminator::CrLf);
    view_.SetCommandChecked(CommandId::TerminateCr, t == LineTerminator::Cr);
    view_.SetCommandChecked(CommandId::TerminateLf, t == LineTerminator::Lf);
    view_.SetCommandChecked(CommandId::NoTerminator, t == LineTerminator::None);
    // Save, Configure and Meta Data work on an open panel.
    view_.SetCommandEnabled(CommandId::RemoteNew, true);
    view_.SetCommandEnabled(CommandId::RemoteOpen, true);
    view_.SetCommandEnabled(CommandId::RemoteSave, remote_.loaded);
    view_.SetCommandEnabled(CommandId::RemoteConfigure, remote_.loaded);
    view_.SetCommandEnabled(CommandId::RemoteMetaData, remote_.loaded);
}

void AppController::StartTimer(TimerId id, int milliseconds) {
    view_.StartTimer(id, milliseconds);
}

void AppController::StopTimer(TimerId id) {
    view_.StopTimer(id);
}

DialogResult AppController::ShowSessionDialog(SessionType type, SessionSettings& settings) {
    return view_.ShowSessionDialog(type, settings);
}

void AppController::OnSessionOpening() {
    if (watcher_ != nullptr) watcher_->OnSessionOpening();
}

void AppController::OnSessionOpened() {
    if (watcher_ != nullptr) watcher_->OnSessionOpened();
}

void AppController::OnSessionOpenFailed() {
    if (watcher_ != nullptr) watcher_->OnSessionOpenFailed();
}

void AppController::OnSessionClosed() {
    if (watcher_ != nullptr) watcher_->OnSessionClosed();
}

void AppController::OnSessionReceived(std::string_view data) {
    if (watcher_ != nullptr) watcher_->OnSessionReceived(data);
}

}  // namespace ostrel
