// A button of the remote panel, and the editor's preview button: it reports the left mouse
// button going down and up, and the right one going down, as the panel's rules want them. A
// press that is dragged off the button stays a press until the mouse button is let go, and a
// toggle button shows the state it is given rather than changing it by itself.
#pragma once

#include <QPushButton>

#include <functional>

namespace ostrel {

class PanelButton final : public QPushButton {
public:
    explicit PanelButton(QWidget* parent = nullptr);

    std::function<void()> onPress;
    std::function<void()> onRelease;
    std::function<void()> onRightPress;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void nextCheckState() override {}

private:
    bool held_ = false;
};

}  // namespace ostrel
