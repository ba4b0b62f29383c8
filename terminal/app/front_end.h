// What the application controller needs from a front end: the Qt main window and the console
// implement it, and so can a test.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "terminal/app/command_table.h"
#include "terminal/app/tools_view.h"
#include "terminal/core/clipboard.h"
#include "terminal/core/output_pane.h"
#include "terminal/core/send_line.h"
#include "terminal/persist/file_choice.h"
#include "terminal/persist/placement.h"
#include "terminal/persist/polling.h"
#include "terminal/remote/remote_definition.h"
#include "terminal/remote/remote_editor.h"
#include "terminal/session/dialog_result.h"
#include "terminal/session/session_settings.h"
#include "terminal/session/timer_ids.h"

namespace ostrel {

enum class MessageIcon { Information, Exclamation, Stop };

// The Edit menu's commands, applied to the control that has the focus.
enum class EditAction { SelectAll, Cut, Copy, Paste, Clear };

// The main window's geometry (PlacedWindow) is the frame's position on the screen and the size
// inside the frame, in pixels.
class FrontEnd : public PlacedWindow, public ToolsView {
public:
    virtual ~FrontEnd() = default;

    virtual OutputPane& Pane() = 0;
    virtual InputBox& Input() = 0;
    virtual Clipboard& SystemClipboard() = 0;

    // Status-bar part 0-5. A text starting with a tab is centred (the tab is not shown).
    virtual void SetStatusPart(int part, std::string_view text) = 0;
    virtual void SetCommandChecked(CommandId id, bool checked) = 0;
    virtual void SetCommandEnabled(CommandId id, bool enabled) = 0;

    // Window timers: OnTimer of the controller runs for every tick until stopped. Starting a
    // running timer restarts it with the new period.
    virtual void StartTimer(TimerId id, int milliseconds) = 0;
    virtual void StopTimer(TimerId id) = 0;

    virtual void ShowMessageBox(std::string_view title, std::string_view text,
                                MessageIcon icon) = 0;
    // Paints the output pane at once rather than when the event loop next runs.
    virtual void RepaintPane() = 0;
    virtual void FocusInput() = 0;
    virtual void EditFocused(EditAction action) = 0;

    // The Session menu's modal dialogs, which edit the record.
    virtual DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) = 0;
    virtual void ShowSessionMetaDialog(SessionSettings& settings) = 0;

    // The common open or save dialog: the chosen path, or nullopt when cancelled.
    virtual std::optional<std::string> ChooseFile(const FileChoice& choice) = 0;
    // The "Polling" dialog, which edits polling as it is typed: Confirmed for "&Ok".
    virtual DialogResult ShowPollingDialog(Polling& polling) = 0;

    // The remote panel window over the definition, placed beside the main window and shown; its
    // button presses, releases and right clicks and its closing go to the controller's OnPanel
    // calls. Both must outlive the window.
    virtual void ShowRemotePanel(RemoteDefinition& panel) = 0;
    // The panel's title and buttons from the definition again; with the editor open, empty
    // buttons are shown too. The editor's preview button follows.
    virtual void RefreshRemotePanel(bool editorOpen) = 0;
    // Takes the panel window away (the controller has already done what closing means).
    virtual void CloseRemotePanel() = 0;
    // The panel window's position and size; nullopt without one.
    virtual std::optional<WindowRect> RemotePanelGeometry() const = 0;
    // The modeless panel editor, "Remote Control Configificator", on button selection: opened
    // when it is not, else moved to that button. Editing ends with host.EditorClosed(). False
    // when this front end has no editor.
    virtual bool ShowRemoteEditor(RemoteDefinition& panel, RemoteEditorHost& host,
                                  int selection) = 0;
    // Takes the editor away without calling back.
    virtual void CloseRemoteEditor() = 0;
    // The modal "Remote Meta Data" dialog, which edits the author and comments as typed.
    virtual void ShowRemoteMetaDialog(RemoteDefinition& panel) = 0;
    // The default system beep.
    virtual void Beep() = 0;

    // Starts this program again with the arguments; false when it could not be started.
    virtual bool StartNewInstance(const std::vector<std::string>& arguments) = 0;
    // Opens a local file or a web address in the desktop's browser; false on failure.
    virtual bool OpenInBrowser(const std::string& address) = 0;
    virtual bool CapsLockOn() const = 0;
    // Closes the main window (after Quit has shut everything down).
    virtual void CloseWindow() = 0;
};

}  // namespace ostrel
