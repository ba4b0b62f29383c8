#include "terminal/dialogs/panel_button.h"

#include <QMouseEvent>

namespace ostrel {

PanelButton::PanelButton(QWidget* parent) : QPushButton(parent) {
    // Only the mouse presses panel buttons: a key would press without a release to match.
    setFocusPolicy(Qt::NoFocus);
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (onRightPress) onRightPress();
        event->accept();
        return;
    }
    QPushButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || held_) return;
    held_ = true;
    if (onPress) onPress();
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !held_) return;
    held_ = false;
    setDown(false);
    if (onRelease) onRelease();
}

void PanelButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    // The button looks pressed for as long as the mouse button is down, wherever the mouse is.
    if (held_) setDown(true);
}

}  // namespace ostrel
