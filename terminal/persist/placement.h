// The main window's size and position, kept between runs in the placement file "Ostrel.sp"
// (section "Size_Position": "Left", "Top", "Width", "Height", "IsZoomed"), and the command-line
// words "/LEFT:", "/TOP:", "/WIDTH:", "/HEIGHT:" that place a new instance.
//
// Left and Top are the position of the window's frame on the screen; Width and Height are the
// size of the window inside its frame, so that a size read back gives the same window whatever
// frame the desktop draws around it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::string_view kPlacementFileName = "Ostrel.sp";
inline constexpr std::string_view kPlacementSection = "Size_Position";
// Command-line words are looked for among the first this many arguments.
inline constexpr std::size_t kPlacementWordsScanned = 20;
// A window placed by the command line (or the file) is at least this large.
inline constexpr int kSmallestWindowWidth = 200;
inline constexpr int kSmallestWindowHeight = 100;

struct WindowRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// The window operations placement needs; the main window (or a test) implements them.
class PlacedWindow {
public:
    virtual ~PlacedWindow() = default;
    // Position of the frame and size inside it.
    virtual WindowRect Geometry() const = 0;
    virtual void MoveWindow(int left, int top) = 0;
    virtual void ResizeWindow(int width, int height) = 0;
    virtual void MaximizeWindow() = 0;
    virtual bool WindowMaximized() const = 0;
    virtual bool WindowMinimized() const = 0;
};

struct SavedPlacement {
    WindowRect rect;
    bool zoomed = false;
};

// The placement file's values (missing numbers read as 0); nullopt when the file has no
// "Size_Position" section.
std::optional<SavedPlacement> ReadPlacementFile(const std::string& path);

struct PlacementWords {
    std::optional<int> left;
    std::optional<int> top;
    std::optional<int> width;
    std::optional<int> height;
    int counter = 0;  // placement words seen, repeated ones included
};

// The placement words among the first kPlacementWordsScanned arguments: a word whose start is
// "/LEFT:", "/TOP:", "/WIDTH:" or "/HEIGHT:" in any case gives the number behind the colon.
PlacementWords ParsePlacementWords(const std::vector<std::string>& arguments);
// Whether the argument is one of those words.
bool IsPlacementWord(std::string_view argument);

// Applies the placement file at path (when it has the section: move, resize, then maximize or
// move again) and then the placement words: when more than three were given the window is
// placed at their position and size (the others taken from the file or the window). Sizes below
// 200 x 100 are raised to it.
void RestoreWindowPlacement(PlacedWindow& window, const std::string& path,
                            const std::vector<std::string>& arguments);

// Writes the placement: position and size only while the window is neither maximized nor
// minimized (a maximized window keeps its earlier normal placement in the file), and "IsZoomed"
// always. False when the file could not be written.
bool SaveWindowPlacement(const PlacedWindow& window, const std::string& path);

// Where the placement file is read from (the per-user folder, else the program's folder; the
// per-user path when neither has one) and where it is written (the per-user folder, created
// when missing).
std::string PlacementReadPath();
std::string PlacementWritePath();

}  // namespace ostrel
