// The remote panel window: fifty buttons in ten rows of five over the loaded panel definition,
// owned by the main window. Buttons with a caption are shown; empty ones only while the editor
// is open. The window only shows and forwards: presses, releases, right clicks and its closing
// go to the callbacks, and the controller's rules decide what is sent.
#pragma once

#include <QWidget>

#include <array>
#include <functional>

#include "terminal/remote/remote_definition.h"

namespace ostrel {

class PanelButton;

class RemotePanelWindow final : public QWidget {
public:
    struct Events {
        std::function<void(int)> press;
        std::function<void(int)> release;
        std::function<void(int)> rightPress;
        std::function<void()> closed;  // by the user (the close box)
    };

    // The definition must outlive the window.
    RemotePanelWindow(RemoteDefinition& panel, Events events, QWidget* owner);

    // RefreshRemoteButtons: the title, and each button's kind, label and visibility.
    void Refresh(bool editorOpen);
    // Takes the window away without reporting it closed.
    void Dismiss();

    PanelButton& Button(int index) { return *buttons_[static_cast<std::size_t>(index)]; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    RemoteDefinition& panel_;
    Events events_;
    std::array<PanelButton*, kRemoteButtonControls> buttons_{};
    bool dismissed_ = false;
};

}  // namespace ostrel
