// The application controller's menu commands: one route per identifier, one handler per group.
#include <algorithm>
#include <filesystem>

#include "terminal/app/app_controller.h"
#include "terminal/app/startup_text.h"
#include "terminal/core/user_folder.h"

#ifndef OSTREL_WEB_PAGE
#define OSTREL_WEB_PAGE ""
#endif

namespace ostrel {

using C = CommandId;

const AppController::Route AppController::kRoutes[] = {
    {C::NewInstance, &AppController::OnNewInstance},
    {C::OpenSession, &AppController::OnFileOpen},
    {C::SaveSession, &AppController::OnFileSave},
    {C::Log, &AppController::OnLog},
    {C::Quit, &AppController::OnQuit},
    {C::SelectAll, &AppController::OnEdit},
    {C::Cut, &AppController::OnEdit},
    {C::Copy, &AppController::OnEdit},
    {C::Paste, &AppController::OnEdit},
    {C::Clear, &AppController::OnEdit},
    {C::ModeNoConversion, &AppController::OnMode},
    {C::ModeAmx, &AppController::OnMode},
    {C::ModeCrestron, &AppController::OnMode},
    {C::ModeExtron, &AppController::OnMode},
    {C::ModeToggle, &AppController::OnMode},
    {C::SessionSerial, &AppController::OnOpenSession},
    {C::SessionTcpClient, &AppController::OnOpenSession},
    {C::SessionTcpServer, &AppController::OnOpenSession},
    {C::SessionUdpClient, &AppController::OnOpenSession},
    {C::SessionUdpServer, &AppController::OnOpenSession},
    {C::SessionSshClient, &AppController::OnOpenSession},
    {C::SessionClose, &AppController::OnClose},
    {C::SessionRestart, &AppController::OnRestart},
    {C::SessionForgetHostKey, &AppController::OnForgetHostKey},
    {C::EchoLocal, &AppController::OnEcho},
    {C::EchoRemote, &AppController::OnEcho},
    {C::Polling, &AppController::OnPolling},
    {C::SessionMetaData, &AppController::OnSessionMeta},
    {C::ViewText, &AppController::OnView},
    {C::ViewHex, &AppController::OnView},
    {C::ViewToggle, &AppController::OnView},
    {C::TerminateCrLf, &AppController::OnTerminator},
    {C::TerminateCr, &AppController::OnTerminator},
    {C::TerminateLf, &AppController::OnTerminator},
    {C::NoTerminator, &AppController::OnTerminator},
    {C::TerminatorToggle, &AppController::OnTerminator},
    {C::ColorPrefs, &AppController::OnColorPrefs},
    {C::IpConfig, &AppController::OnIpConfig},
    {C::Ping, &AppController::OnPing},
    {C::TraceRoute, &AppController::OnTraceRoute},
    {C::OpenInBrowser, &AppController::OnOpenInBrowser},
    {C::ArpAddress, &AppController::OnArp},
    {C::Calculator, &AppController::OnCalculator},
    {C::MyMemory, &AppController::OnReport},
    {C::MyNetworkInfo, &AppController::OnReport},
    {C::MyMonitors, &AppController::OnReport},
    {C::RemoteNew, &AppController::OnRemoteNew},
    {C::RemoteOpen, &AppController::OnRemoteOpen},
    {C::RemoteSave, &AppController::OnRemoteSave},
    {C::RemoteConfigure, &AppController::OnRemoteConfigure},
    {C::RemoteMetaData, &AppController::OnRemoteMeta},
    {C::Help, &AppController::OnHelp},
    {C::OnTheWeb, &AppController::OnWeb},
    {C::About, &AppController::OnAbout},
};

void AppController::Dispatch(CommandId id) {
    if (shutDown_) return;
    for (const Route& route : kRoutes) {
        if (route.id == id) {
            (this->*route.handler)(id);
            return;
        }
    }
}

bool AppController::HasHandler(CommandId id) {
    return std::any_of(std::begin(kRoutes), std::end(kRoutes),
                       [id](const Route& route) { return route.id == id; });
}

void AppController::OnNewInstance(CommandId) {
    if (!view_.StartNewInstance(NewInstanceArguments(view_.Geometry())))
        ShowStatus("A new instance of Ostrel could not be started...");
}

void AppController::OnQuit(CommandId) {
    Shutdown();
}

void AppController::OnEdit(CommandId id) {
    switch (id) {
        case C::SelectAll:
            view_.EditFocused(EditAction::SelectAll);
            break;
        case C::Cut:
            view_.EditFocused(EditAction::Cut);
            break;
        case C::Copy:
            view_.EditFocused(EditAction::Copy);
            break;
        case C::Paste:
            view_.EditFocused(EditAction::Paste);
            break;
        default:
            view_.EditFocused(EditAction::Clear);
            break;
    }
}

void AppController::OnMode(CommandId id) {
    switch (id) {
        case C::ModeNoConversion:
            options_.mode = ConversionMode::NoConversion;
            break;
        case C::ModeAmx:
            options_.mode = ConversionMode::Amx;
            break;
        case C::ModeCrestron:
            options_.mode = ConversionMode::Crestron;
            break;
        case C::ModeExtron:
            options_.mode = ConversionMode::Extron;
            break;
        default:
            options_.mode = NextConversionMode(options_.mode);
            break;
    }
    RefreshStatus();
}

void AppController::OnOpenSession(CommandId id) {
    const auto type =
        static_cast<SessionType>(static_cast<int>(id) - static_cast<int>(C::SessionSerial) + 1);
    session_.OpenFromMenu(type);
    RefreshStatus();
}

void AppController::OnClose(CommandId) {
    session_.Close();
    RefreshStatus();
}

void AppController::OnRestart(CommandId) {
    session_.Restart();
    RefreshStatus();
}

// Accepting a device's new host key: the host and port of the latest SSH connect (the one just
// refused, typically) are forgotten, so the next connection remembers whatever key it is shown.
void AppController::OnForgetHostKey(CommandId) {
    if (sshSession_ == nullptr || sshSession_->LastHost().empty()) {
        ShowStatus("Forget Host Key applies to the host of the latest SSH Client connection...");
        return;
    }
    const std::string& host = sshSession_->LastHost();
    const int port = sshSession_->LastPort();
    const std::string where = host + " port " + std::to_string(port);
    std::string error;
    const int removed = hostKeys_->Forget(host, port, error);
    if (removed < 0)
        ShowStatus("The host key of " + where + " could not be forgotten: " + error + "...");
    else if (removed == 0)
        ShowStatus("No host key is remembered for " + where + "...");
    else
        ShowStatus("The host key of " + where +
                   " is forgotten; the next connection remembers the key it is shown...");
}

void AppController::OnEcho(CommandId id) {
    if (id == C::EchoLocal)
        options_.localEcho = !options_.localEcho;
    else
        session_.SetRemoteEcho(!session_.RemoteEcho());
    RefreshStatus();
}

void AppController::OnSessionMeta(CommandId) {
    view_.ShowSessionMetaDialog(settings_);
}

void AppController::OnView(CommandId id) {
    if (id == C::ViewText)
        display_.SetDisplayType(DisplayType::Text);
    else if (id == C::ViewHex)
        display_.SetDisplayType(DisplayType::Hex);
    else
        display_.SetDisplayType(ToggleDisplayType(display_.GetDisplayType()));
    RefreshStatus();
}

void AppController::OnTerminator(CommandId id) {
    switch (id) {
        case C::TerminateCrLf:
            options_.terminator = LineTerminator::CrLf;
            break;
        case C::TerminateCr:
            options_.terminator = LineTerminator::Cr;
            break;
        case C::TerminateLf:
            options_.terminator = LineTerminator::Lf;
            break;
        case C::NoTerminator:
            options_.terminator = LineTerminator::None;
            break;
        default:
            options_.terminator = NextLineTerminator(options_.terminator);
            break;
    }
    RefreshStatus();
}

void AppController::OnHelp(CommandId) {
    const std::vector<std::filesystem::path> candidates = HelpPageCandidates(ExecutableFolder());
    std::filesystem::path page;
    for (const std::filesystem::path& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            page = candidate;
            break;
        }
    }
    if (page.empty()) {
        ShowStatus("The help page " + candidates.front().string() + " was not found...");
        return;
    }
    if (!view_.OpenInBrowser(page.string()))
        ShowStatus("The help page could not be opened in a browser...");
}

void AppController::OnWeb(CommandId) {
    const std::string address = OSTREL_WEB_PAGE;
    if (address.empty()) {
        ShowStatus("This build of Ostrel has no web page address...");
        return;
    }
    if (!view_.OpenInBrowser(address)) ShowStatus("The web page could not be opened...");
}

void AppController::OnAbout(CommandId) {
    view_.ShowMessageBox("About Ostrel", AboutText(SystemDescription()), MessageIcon::Information);
}

}  // namespace ostrel
