// Where the panel window and its buttons go: ten rows of five buttons, and the window beside the
// main window. Sizes from a file are kept within what a screen can show, so that a damaged file
// cannot ask for a window the desktop cannot make.
#pragma once

#include "terminal/persist/placement.h"
#include "terminal/remote/remote_definition.h"

namespace ostrel {

inline constexpr int kPanelButtonHeight = 24;
inline constexpr int kLargestButtonWidth = 1000;
inline constexpr int kLargestPanelSide = 8000;
inline constexpr int kSmallestPanelSide = 50;

// Button index (0 to 49) within the panel's client area: row index / 5, column index % 5, at
// x = 16 + column * (width + 8), y = 8 + row * 32, width wide and 24 high.
WindowRect PanelButtonRect(int index, int buttonWidth);

// The button width and window size a panel gets, each kept within its limits.
int PanelButtonWidth(const RemoteDefinition& panel);
int PanelWidth(const RemoteDefinition& panel);
int PanelHeight(const RemoteDefinition& panel);

// The panel's top left corner: level with the main window's top, directly left of it when the
// main window is at least panelWidth from the screen's left edge, else at its right edge.
// mainWindow is the main window's frame.
WindowRect PanelPlacement(const WindowRect& mainWindow, int screenLeft, int panelWidth,
                          int panelHeight);

}  // namespace ostrel
