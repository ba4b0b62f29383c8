// The panel editor's logic: the selected button, the one-record clipboard, the commands that
// move and rearrange button records, the edits of each field (stored as they are typed), and
// which boxes are enabled and how the changing labels read. The Qt dialog shows it.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "terminal/core/core_types.h"
#include "terminal/remote/remote_definition.h"

namespace ostrel {

// What the editor asks of the program while it is open.
class RemoteEditorHost {
public:
    virtual ~RemoteEditorHost() = default;
    // The definition changed where the panel shows it (title, captions, toggle states).
    virtual void PanelChanged() = 0;
    // The pass-through flag changed: the session's terminator follows it, and the status bar.
    virtual void PassThroughChanged() = 0;
    // The control-system mode, which decides whether the AMX boxes can be used.
    virtual ConversionMode Mode() const = 0;
    // The preview button pressed and released on button index, with the panel's rules.
    virtual void PreviewPress(int index) = 0;
    virtual void PreviewRelease(int index) = 0;
    // An informational line in the terminal.
    virtual void ShowInformational(std::string_view text) = 0;
    // The editor was closed ("&OK" or its close box).
    virtual void EditorClosed() = 0;
};

// How the editor's boxes show the selected button.
struct EditorLook {
    std::string buttonNumber;  // "Button " + (selected + 1)
    std::string previewLabel;  // the button's label (the other caption in a toggle's second state)
    std::string holdCaption;   // "Hold String" or "Repeat String"
    std::string releaseLabel;  // "Alt String" for a toggle button, else "Release String"
    bool holdTimeEnabled = false;
    bool altCaptionEnabled = false;
    bool repeatStringEnabled = true;
    bool passThroughEnabled = false;  // only in the AMX and no-conversion modes
    bool deviceEnabled = false;       // and only with pass-through on
};

class RemoteEditorModel {
public:
    // The definition must outlive the model.
    RemoteEditorModel(RemoteDefinition& panel, int selected);

    int Selected() const { return selected_; }
    RemoteButton& Button() { return panel_.buttons[static_cast<std::size_t>(selected_)]; }
    const RemoteDefinition& Panel() const { return panel_; }
    EditorLook Look(ConversionMode mode) const;

    // Selects a button, kept within 0 to 49.
    void Select(int index);
    // "<<" and ">>" move by a row (5), "<" and ">" by one; the result stays within 0 to 49.
    void Move(int delta) { Select(selected_ + delta); }

    // The edit commands on the selected button.
    void Copy();
    void Paste();
    void Cut();    // Copy, then the texts emptied and toggle cleared; hold and holdTime stay
    void Clear();  // texts emptied, toggle and hold cleared, holdTime 1000
    // Records selected .. 48 move one place up (record 49 is lost); the selected one is cleared.
    void Insert();
    // Records 5 .. 44 move five places up (records 45 to 49 are lost) and records 5 to 9 are
    // cleared, whichever button is selected. Gives the two lines the Windows tool shows with it.
    std::array<std::string, 2> InsertRow();

    // The immediate edits: each stores the box's text (or state) at once.
    void SetPanelCaption(std::string_view text);
    void SetTimerRate(std::string_view text);
    void SetPassThrough(bool on);
    void SetDevice(std::string_view text);
    void SetCaption(std::string_view text);
    void SetAltCaption(std::string_view text);
    void SetPushString(std::string_view text);
    void SetRepeatString(std::string_view text);
    void SetReleaseString(std::string_view text);
    void SetToggle(bool on);
    void SetHold(bool on);
    void SetHoldTime(std::string_view text);

private:
    RemoteDefinition& panel_;
    int selected_ = 0;
    RemoteButton clipboard_;
};

// A button record as "C&lear" leaves it.
RemoteButton ClearedButton();

}  // namespace ostrel
