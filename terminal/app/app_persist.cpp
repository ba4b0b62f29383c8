// The application controller's persistence: session files, the log, polling and the window
// placement.
#include <algorithm>
#include <iostream>

#include "terminal/app/app_controller.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/text_util.h"
#include "terminal/persist/file_choice.h"
#include "terminal/persist/placement.h"
#include "terminal/persist/session_file.h"

namespace ostrel {

void AppController::OnFileOpen(CommandId) {
    const std::optional<std::string> path =
        view_.ChooseFile(OpenSessionChoice(sessionPath_, DialogFolder()));
    if (!path) {
        RefreshStatus();
        return;
    }
    OpenSessionFile(*path);
}

void AppController::OpenSessionFile(const std::string& path) {
    // The session that is open now goes first: loading replaces the record it runs on, and its
    // connection (or port) would otherwise stay open with nothing left to close it.
    session_.Close();
    sessionPath_ = path;
    ShowStatus("Opening session: " + path + "\r\n");
    LoadSessionFile(path);
    settings_.inUse = true;
    // An HTTP-mode client without a request waits for the first line sent.
    const bool waitsForLine = settings_.type == SessionType::TcpClient && settings_.httpMode &&
                              TrimBlanks(settings_.httpRequest).empty();
    if (!waitsForLine) session_.OpenCurrent();
    RefreshStatus();
}

bool AppController::LoadSessionFile(const std::string& path) {
    const SessionFile file = ReadSessionFile(path);
    if (!file.readable)
        ShowStatus("The session file " + path + " could not be read; its settings are the defaults...");
    ApplyLoadedSession(file);
    return file.readable;
}

void AppController::ApplyLoadedSession(const SessionFile& file) {
    runAsRemote_ = file.runAsRemote;
    ApplySessionFields(file.session, settings_);
    // The panel opens before the file's terminator is applied, which thus wins over the panel's.
    if (!TrimBlanks(file.remotePanel).empty()) OpenRemoteFile(file.remotePanel);
    display_.SetDisplayType(file.displayType);
    options_.terminator = file.terminator;
    options_.mode = file.mode;
    sessionPath_ = file.fileSpec;
    options_.localEcho = file.localEcho;
    session_.SetRemoteEcho(file.remoteEcho);
    colours_ = file.colours;
    // Text in the file's colours needs the file's background to stay readable.
    display_.ApplyBackground();
    LogSettings log = file.log;
    if (log.on && !LogPathAllowed(log.file)) {
        log.on = false;
        ShowStatus(LogPathRefusedLine(log.file));
    }
    log_.Load(log);
    SyncLogging();
    const bool pollText = poll_.Load(file.poll);
    if (poll_.On()) {
        RefreshStatus();
        StartPollTimer();
        if (!pollText) view_.ShowMessageBox(kNoPollDataTitle, kNoPollDataText, MessageIcon::Exclamation);
    }
    if (!TrimBlanks(settings_.comment).empty())
        display_.ShowText(DecodeDollarHex(settings_.comment), DisplayCategory::Informational);
}

void AppController::OnFileSave(CommandId) {
    if (TrimBlanks(sessionPath_).empty()) sessionPath_ = kDefaultSessionName;
    const std::optional<std::string> path = view_.ChooseFile(SaveSessionChoice(DialogFolder()));
    if (path) SaveSessionFile(*path);
}

bool AppController::SaveSessionFile(const std::string& path) {
    sessionPath_ = path;
    std::string error;
    if (WriteSessionFile(path, CurrentSessionFile(), &error)) return true;
    ShowStatus("The session was not saved to " + path + ": " + error + "...");
    return false;
}

SessionFile AppController::CurrentSessionFile() const {
    SessionFile file;
    file.session = settings_;
    if (remote_.loaded) file.remotePanel = TrimBlanks(remote_.path);
    file.fileSpec = sessionPath_;
    file.displayType = display_.GetDisplayType();
    file.terminator = options_.terminator;
    file.mode = options_.mode;
    file.localEcho = options_.localEcho;
    file.remoteEcho = session_.RemoteEcho();
    file.colours = colours_;
    file.log = log_.Settings();
    file.poll = poll_.Saved();
    return file;
}

void AppController::OnLog(CommandId) {
    log_.SetOn(!log_.On());
    if (log_.On()) {
        // Cancel keeps logging on with the file and counters it had.
        if (const std::optional<std::string> path = view_.ChooseFile(LogFileChoice(DialogFolder())))
            StartLogFile(*path);
    }
    SyncLogging();
    RefreshStatus();
}

void AppController::StartLogFile(const std::string& path) {
    log_.SetOn(true);
    log_.StartFile(path);
    SyncLogging();
    RefreshStatus();
}

void AppController::SyncLogging() {
    display_.SetLogSink(log_.On() ? &log_ : nullptr);
}

void AppController::OnPolling(CommandId) {
    if (poll_.On()) {
        // The next tick stops the timer.
        poll_.SetOn(false);
        RefreshStatus();
        return;
    }
    view_.StopTimer(TimerId::Poll);
    poll_.PrepareForDialog();
    const bool confirmed = view_.ShowPollingDialog(poll_) == DialogResult::Confirmed;
    poll_.SetOn(confirmed);
    RefreshStatus();
    if (confirmed) StartPollTimer();
}

void AppController::StartPollTimer() {
    view_.StartTimer(TimerId::Poll, std::max(poll_.Period(), kShortestTimerPeriod));
}

void AppController::PollTick() {
    if (!poll_.On()) {
        view_.StopTimer(TimerId::Poll);
        return;
    }
    if (const std::optional<std::string> next = poll_.NextString()) {
        // The poll string goes out through the input box as a typed line does; what the user was
        // typing there meanwhile is put back afterwards.
        const InputBox::State typed = view_.Input().SaveState();
        view_.Input().SetText(*next);
        OnSend();
        view_.Input().RestoreState(typed);
    }
}

void AppController::OnWindowShown() {
    RestoreWindowPlacement(view_, PlacementReadPath(), arguments_);
    RecordPlacement();
}

void AppController::OnMoveSizeEnd() {
    if (!runAsRemote_) RecordPlacement();
}

void AppController::OnWindowDestroyed() {
    RecordPlacement();
}

void AppController::RecordPlacement() {
    const std::string path = PlacementWritePath();
    if (!SaveWindowPlacement(view_, path))
        std::cerr << "ostrel: the window placement was not saved to " << path << '\n';
}

}  // namespace ostrel
