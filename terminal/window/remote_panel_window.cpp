#include "terminal/window/remote_panel_window.h"

#include <QCloseEvent>

#include "terminal/core/text_util.h"
#include "terminal/dialogs/dialog_kit.h"
#include "terminal/dialogs/panel_button.h"
#include "terminal/remote/panel_layout.h"

namespace ostrel {

RemotePanelWindow::RemotePanelWindow(RemoteDefinition& panel, Events events, QWidget* owner)
    : QWidget(owner, Qt::Window), panel_(panel), events_(std::move(events)) {
    setObjectName(QStringLiteral("FORM_OSTREL_FRMREMOTE_CLASS"));
    ApplyDialogFont(*this);
    const int width = PanelButtonWidth(panel);
    for (int k = 0; k < kRemoteButtonControls; ++k) {
        auto* button = new PanelButton(this);
        button->setObjectName(QStringLiteral("button%1").arg(k));
        const WindowRect place = PanelButtonRect(k, width);
        button->setGeometry(place.left, place.top, place.width, place.height);
        button->onPress = [this, k] { events_.press(k); };
        button->onRelease = [this, k] { events_.release(k); };
        button->onRightPress = [this, k] { events_.rightPress(k); };
        buttons_[static_cast<std::size_t>(k)] = button;
    }
    resize(PanelWidth(panel), PanelHeight(panel));
    Refresh(false);
}

void RemotePanelWindow::Refresh(bool editorOpen) {
    setWindowTitle(FromBytes(TrimBlanks(panel_.caption)));
    for (int k = 0; k < kRemoteButtonControls; ++k) {
        const RemoteButton& record = panel_.buttons[static_cast<std::size_t>(k)];
        PanelButton& button = Button(k);
        // A toggle button is a push-like check box: it stays in while in its second state.
        const bool toggle = record.toggle != 0;
        button.setCheckable(toggle);
        button.setChecked(toggle && record.toggled);
        button.setText(FromBytes(ButtonLabel(record)));
        const bool shown = !TrimBlanks(record.caption).empty() || editorOpen;
        button.setEnabled(shown);
        button.setVisible(shown);
    }
}

void RemotePanelWindow::Dismiss() {
    dismissed_ = true;
    hide();
    deleteLater();
}

void RemotePanelWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (dismissed_) return;
    // The controller's close takes the window away (Dismiss).
    events_.closed();
}

}  // namespace ostrel
