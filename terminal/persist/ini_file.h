// The profile-file helpers of session and panel files: single values, the multi-line encoding
// and the test for a key's presence. All reads and writes go through the platform's profile
// functions, so the files keep the layout that Windows programs read and write.
//
// Multi-line encoding: a text of several lines is stored as a count key and one numbered key
// per line (base name + line number from 1). In each stored line every space becomes "$20" and
// an empty line is stored as "$Empty"; reading reverses both. Nothing else is escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/profile.h"

namespace ostrel {

// Values are read up to this many bytes unless a caller asks for more.
inline constexpr std::size_t kIniValueCapacity = 511;
// Permission bits of a profile file created anew that holds no secret (the umask applies), and
// of one that holds a password: readable and writable by its owner only.
inline constexpr unsigned kIniNewFileMode = 0666;
inline constexpr unsigned kPrivateFileMode = 0600;

// The value of key (the default when the file, section or key is missing), cut to capacity.
std::string IniRead(const std::string& file, std::string_view section, std::string_view key,
                    std::string_view defaultValue, std::size_t capacity = kIniValueCapacity);

// Writes one value. A value whose ends the readers would strip (leading or trailing blanks or
// tabs, or one enclosing pair of matching quotes) is written inside one more pair of double
// quotes, which every reader removes, so it reads back exactly. False when the value could not
// be written (the file or folder is not writable, or the text holds a line break).
bool IniWrite(const std::string& file, std::string_view section, std::string_view key,
              std::string_view value);

// The text IniWrite stores for a value: the value itself, or the value inside one more pair of
// double quotes when the readers would otherwise strip its ends. For writers that lay out a
// whole file's text themselves.
std::string IniStoredValue(std::string_view value);

// Whether the file has key in section, judged on the file's text: the first line equal to
// "[" + section + "]" (ignoring case, lines trimmed of blanks) opens the section, the next line
// that starts with "[" and ends with "]" closes it, and in between a line that contains "=" and
// begins with the key (case-sensitive) counts. False for an empty file name or a missing file.
bool IniKeyExists(const std::string& file, std::string_view section, std::string_view key);

// Writes text with the multi-line encoding: one key per line ending in CR LF, then the rest
// (trailing spaces removed) when not empty, then countKey = number of CR LF + 1. A lone CR or
// LF, which the encoding cannot hold inside a line, ends a line like CR LF. False when any write
// failed.
bool IniWriteMultiLine(const std::string& file, std::string_view section,
                       std::string_view baseKey, std::string_view countKey,
                       std::string_view text);

struct MultiLineText {
    std::string text;
    bool found = false;  // the count was above zero
};

// A profile file read once: the calls below and their file-path forms give the same results, but
// loading a session file with its sixty-odd keys reads it once, and saving one writes it once.
class IniDocument {
public:
    // Reads the file (an empty path, or a file that cannot be read, reads as that file would:
    // every read gives its default).
    explicit IniDocument(const std::string& file = {});
    ~IniDocument();
    IniDocument(const IniDocument&) = delete;
    IniDocument& operator=(const IniDocument&) = delete;

    std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue,
                     std::size_t capacity = kIniValueCapacity) const;
    bool KeyExists(std::string_view section, std::string_view key) const;
    MultiLineText ReadMultiLine(std::string_view section, std::string_view baseKey,
                                std::string_view countKey, std::size_t capacity) const;

    // Edits in memory; false when the value cannot be written (see IniWrite).
    bool Write(std::string_view section, std::string_view key, std::string_view value);
    bool WriteMultiLine(std::string_view section, std::string_view baseKey,
                        std::string_view countKey, std::string_view text);

    // The file could be read when the document was made.
    bool Readable() const { return readable_; }

    // Writes the text to file in one go; a file that does not exist yet gets the permission
    // bits newFileMode, an existing one keeps its own. False with the platform's last error.
    bool Save(const std::string& file, unsigned newFileMode) const;

private:
    HPROFILE profile_;
    bool readable_ = false;
};

// Reads a multi-line text: for i from 1 to the count, each line whose key exists (IniKeyExists)
// with "$20" turned into a space and "$Empty" into an empty line, followed by CR LF except after
// line number count. The text is cut to capacity.
MultiLineText IniReadMultiLine(const std::string& file, std::string_view section,
                               std::string_view baseKey, std::string_view countKey,
                               std::size_t capacity);

// One stored line of the multi-line encoding and back.
std::string EncodeIniLine(std::string_view line);
std::string DecodeIniLine(std::string_view stored);

// The older single-key form of a multi-line text: "$0D$0A" stands for each line break.
std::string ExpandLineBreaks(std::string_view value);

}  // namespace ostrel
