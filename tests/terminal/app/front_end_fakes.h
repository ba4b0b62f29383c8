// A recording front end for the application controller.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "terminal/app/front_end.h"
#include "terminal/core/memory_pane.h"

namespace ostrel::testing {

class FakeInput final : public InputBox {
public:
    std::string Text() const override { return text; }
    std::size_t SelectionStart() const override { return 0; }
    std::size_t SelectionEnd() const override { return 0; }
    void SetText(std::string_view value) override { text = value; }
    std::string text;
};

class FakeClipboard final : public Clipboard {
public:
    bool SetText(std::string_view value) override {
        texts.emplace_back(value);
        return true;
    }
    std::vector<std::string> texts;
};

class FakeView final : public FrontEnd {
public:
    struct Box {
        std::string title;
        std::string text;
        MessageIcon icon;
    };

    OutputPane& Pane() override { return pane; }
    InputBox& Input() override { return input; }
    Clipboard& SystemClipboard() override { return clipboard; }
    void SetStatusPart(int part, std::string_view text) override { status[part] = text; }
    void SetCommandChecked(CommandId id, bool on) override { checked[id] = on; }
    void SetCommandEnabled(CommandId id, bool on) override { enabled[id] = on; }
    void StartTimer(TimerId id, int ms) override { timers[id] = ms; }
    void StopTimer(TimerId id) override { timers.erase(id); }
    void ShowMessageBox(std::string_view title, std::string_view text, MessageIcon icon) override {
        boxes.push_back({std::string(title), std::string(text), icon});
    }
    void RepaintPane() override { ++repaints; }
    void FocusInput() override { inputFocused = true; }
    void EditFocused(EditAction action) override { edits.push_back(action); }
    DialogResult ShowSessionDialog(SessionType type, SessionSettings& settings) override {
        dialogTypes.push_back(type);
        if (!confirmDialogs) return DialogResult::Cancelled;
        settings.host = dialogHost;
        settings.port = dialogPort;
        settings.inUse = true;
        return DialogResult::Confirmed;
    }
    void ShowSessionMetaDialog(SessionSettings& settings) override { settings.comment = "edited"; }
    std::optional<std::string> ChooseFile(const FileChoice& choice) override {
        choices.push_back(choice);
        if (chosenFiles.empty()) return std::nullopt;
        std::optional<std::string> next = chosenFiles.front();
        chosenFiles.erase(chosenFiles.begin());
        return next;
    }
    DialogResult ShowPollingDialog(Polling& polling) override {
        ++pollingDialogs;
        timersWhenPollingDialogOpened = timers;
        periodShownInPollingDialog = polling.Period();
        if (pollingDialogEdits) pollingDialogEdits(polling);
        return confirmPolling ? DialogResult::Confirmed : DialogResult::Cancelled;
    }
    WindowRect Geometry() const override { return geometry; }
    void MoveWindow(int left, int top) override {
        geometry.left = left;
        geometry.top = top;
    }
    void ResizeWindow(int width, int height) override {
        geometry.width = width;
        geometry.height = height;
    }
    void MaximizeWindow() override { maximized = true; }
    bool WindowMaximized() const override { return maximized; }
    bool WindowMinimized() const override { return false; }
    void ShowRemotePanel(RemoteDefinition& panel) override {
        ++panelsShown;
        shownPanel = &panel;
        panelOpen = true;
    }
    void RefreshRemotePanel(bool editorOpen) override { panelRefreshes.push_back(editorOpen); }
    void CloseRemotePanel() override { panelOpen = false; }
    std::optional<WindowRect> RemotePanelGeometry() const override {
        if (!panelOpen) return std::nullopt;
        return panelGeometry;
    }
    bool ShowRemoteEditor(RemoteDefinition&, RemoteEditorHost& host, int selection) override {
        editorSelections.push_back(selection);
        editorHost = &host;
        return true;
    }
    void CloseRemoteEditor() override { editorHost = nullptr; }
    void ShowRemoteMetaDialog(RemoteDefinition& panel) override { panel.author = "edited"; }
    void Beep() override { ++beeps; }
    bool StartNewInstance(const std::vector<std::string>& arguments) override {
        newInstances.push_back(arguments);
        return startsInstances;
    }
    bool OpenInBrowser(const std::string& address) override {
        opened.push_back(address);
        return true;
    }
    bool CapsLockOn() const override { return capsLock; }
    void CloseWindow() override { ++closes; }
    std::optional<std::string> AskToolHost(HostTool tool, const std::string& initial) override {
        toolDialogs.push_back({tool, initial});
        return toolAnswer;
    }
    std::optional<ArpAnswer> AskArp(const std::string& address, const std::string& mac) override {
        arpShown.push_back({address, mac});
        return arpAnswer;
    }
    DialogResult ShowColourDialog(ColourTable& colours) override {
        ++colourDialogs;
        if (!colourAnswer) return DialogResult::Cancelled;
        colours = *colourAnswer;
        return DialogResult::Confirmed;
    }
    std::optional<MonitorList> Monitors() const override { return monitors; }
    bool HasDesktop() const override { return desktop; }

    MemoryPane pane;
    FakeInput input;
    FakeClipboard clipboard;
    std::map<int, std::string> status;
    std::map<CommandId, bool> checked;
    std::map<CommandId, bool> enabled;
    std::map<TimerId, int> timers;
    std::vector<Box> boxes;
    int repaints = 0;
    bool inputFocused = false;
    std::vector<EditAction> edits;
    std::vector<SessionType> dialogTypes;
    bool confirmDialogs = true;
    std::string dialogHost = "10.0.0.1";
    std::string dialogPort = "23";
    WindowRect geometry{100, 50, 624, 316};
    bool maximized = false;
    std::vector<FileChoice> choices;
    std::vector<std::optional<std::string>> chosenFiles;  // answers of the next file dialogs
    int pollingDialogs = 0;
    std::map<TimerId, int> timersWhenPollingDialogOpened;
    int periodShownInPollingDialog = 0;
    std::function<void(Polling&)> pollingDialogEdits;
    bool confirmPolling = true;
    std::vector<std::vector<std::string>> newInstances;
    bool startsInstances = true;
    std::vector<std::string> opened;
    bool capsLock = false;
    int closes = 0;
    std::vector<std::pair<HostTool, std::string>> toolDialogs;
    std::optional<std::string> toolAnswer;  // what the next tool dialog returns
    std::vector<ArpAnswer> arpShown;
    std::optional<ArpAnswer> arpAnswer;
    int colourDialogs = 0;
    std::optional<ColourTable> colourAnswer;  // nullopt: Cancel
    std::optional<MonitorList> monitors;
    bool desktop = false;
    int panelsShown = 0;
    RemoteDefinition* shownPanel = nullptr;
    bool panelOpen = false;
    std::vector<bool> panelRefreshes;  // the editorOpen of each refresh
    WindowRect panelGeometry{0, 0, 300, 400};
    std::vector<int> editorSelections;
    RemoteEditorHost* editorHost = nullptr;
    int beeps = 0;
};

}  // namespace ostrel::testing
