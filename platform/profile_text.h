// profile_text.h - the text of a profile (INI) file: finding values and producing the edited
// text, without any file access (internal to the platform layer; profile.cpp adds the files).
//
// The layout is the one the Windows private-profile functions read and write, so files made
// there load here unchanged and ours load there:
//  - lines end with LF or CR LF (a CR elsewhere is part of the line); a UTF-8 byte-order mark at
//    the start of the text is skipped and kept;
//  - each line is trimmed of blanks (space, tab); an empty line is blank, a line starting with
//    ";" is a comment, a line starting with "[" names a section (the text up to the first "]",
//    trimmed; to the end of the line when there is no "]");
//  - any other line is an entry: the name is the text before the first "=", trimmed; the value
//    the text after it, trimmed. A line without "=" is an entry with that name and an empty value;
//  - the lines before the first section line form a section whose name is empty;
//  - section and key names are compared without regard to case (ASCII letters); the first
//    section of a name and the first entry of a name in it are the ones read and updated, later
//    duplicates are neither seen nor changed;
//  - a value enclosed in one pair of matching quotes (both " or both ') loses that pair.
//
// Edits leave every other line as it was, with each line then ending in CR LF: an existing
// entry keeps its name and gets the new value, a new entry goes after the last entry of its
// section, a new section goes at the end of the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The value of key in section, trimmed and unquoted; nullopt when the section or the key is
// missing.
std::optional<std::string_view> ProfileFind(std::string_view text, std::string_view section,
                                            std::string_view key);

// The names of all sections in the order of the file (the unnamed section before the first
// section line only when it holds an entry). Duplicate sections are listed once.
std::vector<std::string_view> ProfileSectionNames(std::string_view text);

// Whether a section of this name exists (the unnamed one: whether it holds an entry).
bool ProfileHasSection(std::string_view text, std::string_view section);

// The entry names of section in file order (duplicates included); nullopt when the section is
// missing.
std::optional<std::vector<std::string_view>> ProfileKeyNames(std::string_view text,
                                                             std::string_view section);

// Whether a name can be written: sections may not hold "]", keys may not hold "=" nor start
// with "[" or ";" nor be blank, and no name or value may hold a CR or LF. A line written with
// such text would read back as something else.
bool ProfileSectionNameWritable(std::string_view section);
bool ProfileKeyNameWritable(std::string_view key);
bool ProfileValueWritable(std::string_view value);

// The text with key in section set to value (created where missing).
std::string ProfileWithValue(std::string_view text, std::string_view section,
                             std::string_view key, std::string_view value);
// The text without the key's entry (unchanged when missing).
std::string ProfileWithoutKey(std::string_view text, std::string_view section,
                              std::string_view key);
// The text without the section: its line and every line up to the next section line.
std::string ProfileWithoutSection(std::string_view text, std::string_view section);

// The text with every line ending in CR LF (a last line without an ending gets one).
std::string ProfileNormalizeLineEnds(std::string_view text);

}  // namespace platform
