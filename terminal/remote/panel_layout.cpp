#include "terminal/remote/panel_layout.h"

#include <algorithm>

namespace ostrel {

WindowRect PanelButtonRect(int index, int buttonWidth) {
    const int row = index / kRemoteButtonsPerRow;
    const int column = index % kRemoteButtonsPerRow;
    return {16 + column * (buttonWidth + 8), 8 + row * 32, buttonWidth, kPanelButtonHeight};
}

int PanelButtonWidth(const RemoteDefinition& panel) {
    return std::clamp(panel.buttonWidth, 1, kLargestButtonWidth);
}

int PanelWidth(const RemoteDefinition& panel) {
    return std::clamp(panel.width, kSmallestPanelSide, kLargestPanelSide);
}

int PanelHeight(const RemoteDefinition& panel) {
    return std::clamp(panel.height, kSmallestPanelSide, kLargestPanelSide);
}

WindowRect PanelPlacement(const WindowRect& mainWindow, int screenLeft, int panelWidth,
                          int panelHeight) {
    const bool roomOnTheLeft = mainWindow.left - screenLeft >= panelWidth;
    const int left =
        roomOnTheLeft ? mainWindow.left - panelWidth : mainWindow.left + mainWindow.width;
    return {left, mainWindow.top, panelWidth, panelHeight};
}

}  // namespace ostrel
