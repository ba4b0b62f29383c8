#include "terminal/persist/placement.h"

#include <algorithm>
#include <system_error>

#include "platform/profile.h"
#include "terminal/core/user_folder.h"
#include "terminal/persist/ini_file.h"
#include "terminal/session/session_settings.h"

namespace ostrel {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != prefix[i]) return false;
    }
    return true;
}

constexpr std::string_view kWords[] = {"/LEFT:", "/TOP:", "/WIDTH:", "/HEIGHT:"};

bool HasSection(const std::string& path, std::string_view section) {
    // The list of section names: each name followed by a zero byte, one more at the end.
    std::vector<char> names(65536);
    const DWORD n = PlatformGetPrivateProfileStringA(nullptr, nullptr, "", names.data(),
                                                     static_cast<DWORD>(names.size()),
                                                     path.c_str());
    std::string_view list(names.data(), n);
    while (!list.empty()) {
        const std::string_view name = list.substr(0, list.find('\0'));
        if (name.size() == section.size() && StartsWithIgnoringCase(name, section)) return true;
        list.remove_prefix(std::min(list.size(), name.size() + 1));
    }
    return false;
}

}  // namespace

std::optional<SavedPlacement> ReadPlacementFile(const std::string& path) {
    // The section name is compared in upper case by StartsWithIgnoringCase.
    std::string upper(kPlacementSection);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    if (!HasSection(path, upper)) return std::nullopt;
    auto number = [&](std::string_view key) {
        return ReadNumber(IniRead(path, kPlacementSection, key, "0"));
    };
    SavedPlacement saved;
    saved.rect = {number("Left"), number("Top"), number("Width"), number("Height")};
    saved.zoomed = IniRead(path, kPlacementSection, "IsZoomed", "0") == "1";
    return saved;
}

bool IsPlacementWord(std::string_view argument) {
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [argument](std::string_view word) {
                           return StartsWithIgnoringCase(argument, word);
                       });
}

PlacementWords ParsePlacementWords(const std::vector<std::string>& arguments) {
    PlacementWords words;
    const std::size_t scanned = std::min(arguments.size(), kPlacementWordsScanned);
    for (std::size_t i = 0; i < scanned; ++i) {
        const std::string_view argument = arguments[i];
        std::optional<int>* targets[] = {&words.left, &words.top, &words.width, &words.height};
        for (std::size_t w = 0; w < std::size(kWords); ++w) {
            if (!StartsWithIgnoringCase(argument, kWords[w])) continue;
            *targets[w] = ReadNumber(argument.substr(kWords[w].size()));
            ++words.counter;
            break;
        }
    }
    return words;
}

void RestoreWindowPlacement(PlacedWindow& window, const std::string& path,
                            const std::vector<std::string>& arguments) {
    WindowRect rect = window.Geometry();
    if (const std::optional<SavedPlacement> saved = ReadPlacementFile(path)) {
        rect = saved->rect;
        // A hand-edited file without a size must not give a window nobody can see.
        rect.width = std::max(rect.width, kSmallestWindowWidth);
        rect.height = std::max(rect.height, kSmallestWindowHeight);
        window.MoveWindow(rect.left, rect.top);
        window.ResizeWindow(rect.width, rect.height);
        if (saved->zoomed)
            window.MaximizeWindow();
        else
            window.MoveWindow(rect.left, rect.top);
    }
    const PlacementWords words = ParsePlacementWords(arguments);
    rect.left = words.left.value_or(rect.left);
    rect.top = words.top.value_or(rect.top);
    rect.width = std::max(words.width.value_or(rect.width), kSmallestWindowWidth);
    rect.height = std::max(words.height.value_or(rect.height), kSmallestWindowHeight);
    if (words.counter > 3) {
        window.MoveWindow(rect.left, rect.top);
        window.ResizeWindow(rect.width, rect.height);
    }
}

bool SaveWindowPlacement(const PlacedWindow& window, const std::string& path) {
    bool ok = true;
    const bool zoomed = window.WindowMaximized();
    if (!zoomed && !window.WindowMinimized()) {
        const WindowRect rect = window.Geometry();
        ok = IniWrite(path, kPlacementSection, "Left", std::to_string(rect.left)) && ok;
        ok = IniWrite(path, kPlacementSection, "Top", std::to_string(rect.top)) && ok;
        ok = IniWrite(path, kPlacementSection, "Width", std::to_string(rect.width)) && ok;
        ok = IniWrite(path, kPlacementSection, "Height", std::to_string(rect.height)) && ok;
    }
    return IniWrite(path, kPlacementSection, "IsZoomed", zoomed ? "1" : "0") && ok;
}

std::string PlacementReadPath() {
    if (const auto found = FindReadableFile(kPlacementFileName)) return found->string();
    return (UserFolder() / kPlacementFileName).string();
}

std::string PlacementWritePath() {
    std::error_code ec;
    std::filesystem::create_directories(UserFolder(), ec);
    return (UserFolder() / kPlacementFileName).string();
}

}  // namespace ostrel
