#include "terminal/remote/remote_editor.h"

#include <algorithm>
#include <cmath>

#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

constexpr std::int32_t kClearedHoldTime = 1000;
// "Insert &Row" works on the second row whatever is selected.
constexpr int kRowStart = 5;

void EmptyTexts(RemoteButton& button) {
    button.caption.clear();
    button.altCaption.clear();
    button.pushString.clear();
    button.repeatString.clear();
    button.releaseString.clear();
    button.toggle = 0;
    button.toggled = false;
}

bool AmxBoxesUsable(ConversionMode mode) {
    return mode == ConversionMode::Amx || mode == ConversionMode::NoConversion;
}

}  // namespace

RemoteButton ClearedButton() {
    RemoteButton button;
    button.holdTime = kClearedHoldTime;
    return button;
}

RemoteEditorModel::RemoteEditorModel(RemoteDefinition& panel, int selected) : panel_(panel) {
    Select(selected);
}

void RemoteEditorModel::Select(int index) {
    selected_ = std::clamp(index, 0, kRemoteButtonControls - 1);
}

EditorLook RemoteEditorModel::Look(ConversionMode mode) const {
    const RemoteButton& button = panel_.buttons[static_cast<std::size_t>(selected_)];
    const bool toggle = button.toggle != 0;
    const bool hold = button.hold != 0;
    EditorLook look;
    look.buttonNumber = "Button " + std::to_string(selected_ + 1);
    look.previewLabel = ButtonLabel(button);
    look.holdCaption = hold ? "Hold String" : "Repeat String";
    look.releaseLabel = toggle ? "Alt String" : "Release String";
    look.holdTimeEnabled = hold;
    look.altCaptionEnabled = toggle;
    look.repeatStringEnabled = !toggle;
    look.passThroughEnabled = AmxBoxesUsable(mode);
    look.deviceEnabled = AmxBoxesUsable(mode) && panel_.netlinxPassThrough != 0;
    return look;
}

void RemoteEditorModel::Copy() {
    clipboard_ = Button();
}

void RemoteEditorModel::Paste() {
    Button() = clipboard_;
}

void RemoteEditorModel::Cut() {
    Copy();
    EmptyTexts(Button());
}

void RemoteEditorModel::Clear() {
    Button() = ClearedButton();
}

void RemoteEditorModel::Insert() {
    auto& buttons = panel_.buttons;
    const auto first = buttons.begin() + selected_;
    const auto last = buttons.begin() + kRemoteButtonControls;  // record 49 falls off the end
    std::move_backward(first, last - 1, last);
    Clear();
}

std::array<std::string, 2> RemoteEditorModel::InsertRow() {
    auto& buttons = panel_.buttons;
    const auto first = buttons.begin() + kRowStart;
    const auto last = buttons.begin() + kRemoteButtonControls;
    std::move_backward(first, last - kRemoteButtonsPerRow, last);
    std::fill(first, first + kRemoteButtonsPerRow, ClearedButton());
    // The row is reckoned in sixes and rounded half to even, as the Windows tool does it.
    const long row = std::lrint(selected_ / 6.0);
    return {"ndx =" + std::to_string(selected_), "row =" + std::to_string(row)};
}

void RemoteEditorModel::SetPanelCaption(std::string_view text) {
    panel_.caption = StoredText(text, kRemoteCaptionCapacity);
}

void RemoteEditorModel::SetTimerRate(std::string_view text) {
    panel_.timerRate = ReadNumber(text);
}

void RemoteEditorModel::SetPassThrough(bool on) {
    panel_.netlinxPassThrough = on ? 1 : 0;
}

void RemoteEditorModel::SetDevice(std::string_view text) {
    panel_.netlinxDevice = StoredText(text, kNetlinxDeviceCapacity);
}

void RemoteEditorModel::SetCaption(std::string_view text) {
    Button().caption = StoredText(text, kButtonCaptionCapacity);
}

void RemoteEditorModel::SetAltCaption(std::string_view text) {
    Button().altCaption = StoredText(text, kButtonCaptionCapacity);
}

void RemoteEditorModel::SetPushString(std::string_view text) {
    Button().pushString = StoredText(text, kButtonStringCapacity);
}

void RemoteEditorModel::SetRepeatString(std::string_view text) {
    Button().repeatString = StoredText(text, kButtonStringCapacity);
}

void RemoteEditorModel::SetReleaseString(std::string_view text) {
    Button().releaseString = StoredText(text, kButtonStringCapacity);
}

void RemoteEditorModel::SetToggle(bool on) {
    Button().toggle = on ? 1 : 0;
    if (!on) Button().toggled = false;
}

void RemoteEditorModel::SetHold(bool on) {
    Button().hold = on ? 1 : 0;
}

void RemoteEditorModel::SetHoldTime(std::string_view text) {
    Button().holdTime = ReadNumber(text);
}

}  // namespace ostrel
