// The list of the last 50 different lines sent, most recent first, browsed with the arrow keys
// and kept across runs in "cmnds.txt".
#pragma once

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::size_t kCommandListCapacity = 50;
// Lines shorter than this are never recorded and are skipped when loading.
inline constexpr std::size_t kMinCommandLength = 2;
// Longest line read back from the file; the rest of a longer line is skipped.
inline constexpr std::size_t kMaxCommandFileLine = 255;
inline constexpr std::string_view kCommandFileName = "cmnds.txt";

class CommandList {
public:
    // Moves an equal entry (case-sensitive) to the top, or puts the line on top and drops the
    // oldest entry beyond the capacity. Lines shorter than kMinCommandLength change nothing.
    // Resets the browse position.
    void Record(std::string_view line);

    // Up arrow: one entry older, if there is one. Returns the text for the input box.
    std::string_view BrowseOlder();
    // Down arrow: one entry newer; position 0 is the empty input box.
    std::string_view BrowseNewer();
    // The text for the input box at the browse position (empty at position 0).
    std::string_view Current() const;
    void ResetBrowse() { position_ = 0; }

    std::size_t BrowsePosition() const { return position_; }
    std::size_t Count() const { return entries_.size(); }
    // Entries()[0] is the most recent.
    const std::vector<std::string>& Entries() const { return entries_; }
    void Clear();

    // Replaces the list with the lines of a command file: every line of at least
    // kMinCommandLength characters (after its CR LF or LF) is the next entry, at most
    // kMaxCommandFileLine characters of each, until the list is full; reading stops there.
    // Any bytes are accepted; memory stays bounded whatever the input.
    void Load(std::istream& in);
    // Writes the entries, most recent first, each followed by CR LF.
    void Save(std::ostream& out) const;

    // Load from a file; a missing or unreadable file leaves the list empty (returns false).
    bool LoadFile(const std::filesystem::path& path);
    // Writes the file anew through a temporary file in the same folder, creating the folder when
    // missing, so a failed write never leaves a half-written list. Returns false on failure and,
    // when error is given, a short reason.
    bool SaveFile(const std::filesystem::path& path, std::string* error = nullptr) const;

private:
    std::vector<std::string> entries_;
    std::size_t position_ = 0;
};

// Loads "cmnds.txt" from the per-user folder, or else from the program's folder.
bool LoadCommandList(CommandList& list);
// Saves "cmnds.txt" into the per-user folder.
bool SaveCommandList(const CommandList& list, std::string* error = nullptr);

}  // namespace ostrel
