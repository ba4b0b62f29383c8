// The application controller's remote panels: opening a panel file (from the Remote menu, a
// session file or the command line), saving it, the panel window's buttons, the editor and the
// meta-data dialog.
#include <filesystem>
#include <optional>

#include "terminal/app/app_controller.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/text_util.h"
#include "terminal/core/user_folder.h"
#include "terminal/persist/file_choice.h"
#include "terminal/remote/remote_file.h"

namespace ostrel {
namespace {

// The panel's texts as the terminal shows them: "$XX" escapes decoded, blanks trimmed.
std::string Shown(std::string_view text) {
    return std::string(TrimBlanks(DecodeDollarHex(text)));
}

}  // namespace

void AppController::ShowInformational(std::string_view text) {
    display_.ShowText(text, DisplayCategory::Informational);
}

bool AppController::OpenRemoteFile(const std::string& path) {
    // (sic): the text of the Windows tool, which scripts and users know.
    if (remote_.loaded) {
        ShowInformational("Cannot load more than onw remote!");
        return false;
    }
    const std::string trimmed(TrimBlanks(path));
    ShowInformational("Opening Remote " + trimmed);
    view_.RepaintPane();
    remote_ = ReadRemoteFile(trimmed);
    // The file's terminator counts until the window sets the panel's own below.
    options_.terminator = static_cast<LineTerminator>(remote_.lineTerminator);
    ShowInformational("Remote Loaded...");
    remote_.loaded = true;

    panel_.Stop();
    editorOpen_ = false;
    view_.ShowRemotePanel(remote_);
    options_.terminator = PanelTerminator(remote_);
    RefreshStatus();

    if (!TrimBlanks(remote_.author).empty())
        ShowInformational("This Remote designed by: " + Shown(remote_.author));
    if (!TrimBlanks(remote_.comments).empty()) ShowInformational(Shown(remote_.comments));
    return true;
}

void AppController::CloseRemotePanel() {
    if (!remote_.loaded) return;
    ShowInformational("Closing a Remote...");
    remote_.loaded = false;
    if (editorOpen_) {
        view_.CloseRemoteEditor();
        editorOpen_ = false;
    }
    panel_.Stop();
    preview_.Stop();
    view_.CloseRemotePanel();
    RefreshStatus();
}

void AppController::OnRemoteNew(CommandId) {
    // The template of new panels is "Default.qzr" of the per-user folder (or the program's);
    // without one every key takes its default: an empty panel called "New Remote".
    const std::optional<std::filesystem::path> found = FindReadableFile(kDefaultRemoteFile);
    OpenRemoteFile(found ? found->string() : (UserFolder() / kDefaultRemoteFile).string());
    if (remote_.loaded) OpenRemoteEditor(0);
}

void AppController::OnRemoteOpen(CommandId) {
    if (TrimBlanks(remote_.path).empty()) remote_.path = kDefaultRemoteFile;
    if (const std::optional<std::string> path =
            view_.ChooseFile(OpenRemoteChoice(remote_.path, DialogFolder())))
        OpenRemoteFile(*path);
    RefreshStatus();
}

void AppController::OnRemoteSave(CommandId) {
    const std::optional<WindowRect> window = view_.RemotePanelGeometry();
    const int height = window ? window->height : remote_.height;
    const int width = window ? window->width : remote_.width;
    if (TrimBlanks(remote_.path).empty()) remote_.path = kDefaultRemoteFile;
    const std::optional<std::string> path =
        view_.ChooseFile(SaveRemoteChoice(remote_.path, DialogFolder()));
    if (!path) return;
    remote_.path = *path;
    ShowInformational("Saving Remote: " + *path + ".   Please wait...");
    view_.RepaintPane();
    std::string error;
    if (WriteRemoteFile(*path, remote_, options_.terminator, height, width, &error))
        ShowInformational("Remote save complete...");
    else
        ShowStatus("The remote was not saved to " + *path + ": " + error + "...");
}

void AppController::OnRemoteConfigure(CommandId) {
    if (remote_.loaded) OpenRemoteEditor(1);
}

void AppController::OnRemoteMeta(CommandId) {
    if (remote_.loaded) view_.ShowRemoteMetaDialog(remote_);
}

void AppController::OpenRemoteEditor(int selection) {
    if (editorOpen_) {
        view_.ShowRemoteEditor(remote_, *this, selection);
        return;
    }
    preview_.Stop();
    if (!view_.ShowRemoteEditor(remote_, *this, selection)) return;
    editorOpen_ = true;
    options_.terminator = PanelTerminator(remote_);
    view_.RefreshRemotePanel(true);
    RefreshStatus();
}

void AppController::OnPanelPress(int index) {
    if (remote_.loaded) panel_.Press(index);
}

void AppController::OnPanelRelease(int index) {
    if (remote_.loaded) panel_.Release(index);
}

void AppController::OnPanelRightPress(int index) {
    if (remote_.loaded) OpenRemoteEditor(index);
}

void AppController::SendPanelLine(std::string_view line) {
    if (shutDown_) return;
    SendText(TrimBlanks(line), options_, SendPath());
    commands_.ResetBrowse();
}

void AppController::PanelButtonToggled(int) {
    view_.RefreshRemotePanel(editorOpen_);
}

void AppController::PanelChanged() {
    view_.RefreshRemotePanel(editorOpen_);
}

void AppController::PassThroughChanged() {
    options_.terminator = PanelTerminator(remote_);
    RefreshStatus();
}

void AppController::EditorClosed() {
    if (!editorOpen_) return;
    preview_.Stop();
    editorOpen_ = false;
    if (remote_.loaded) view_.RefreshRemotePanel(false);
    RefreshStatus();
}

}  // namespace ostrel
