// Remote panel files (".qzr"): INI files that the Windows tool this program replaces reads and
// writes too, so that panels made there open here unchanged and ours open there.
//
// Layout as written, each line ending in CR LF, no blanks around "=":
//   [main]  Author, Version=1.0, Caption, NetlinxPassThrough (-1 or 0), NetlinxDevice,
//           Style=TV1, ButtonCount=51, ButtonWidth, TimerRate, LineTerminator, Height, Width,
//           then the comments in the multi-line encoding (CommentCount, Comment1 ...), added
//           through the profile functions
//   [btn0] ... [btn50]  Caption, AltCaption, ToggleButton, HoldButton, HoldTime, PushString,
//           RepeatString, ReleaseString
// Reading goes through the profile functions: section and key names in any case, keys in any
// order, values cut at 511 bytes and then to their field, numbers read leniently, and every
// key missing (or the whole file) giving its default.
#pragma once

#include <string>

#include "terminal/core/core_types.h"
#include "terminal/persist/file_choice.h"
#include "terminal/remote/remote_definition.h"

namespace ostrel {

// The definition a file holds (the path trimmed of blanks), path set to that path, toggle
// states cleared. Comments come
// from the multi-line keys when "CommentCount" is there, else from a single "Comment" key.
// Button sections "btn0" to "btn" + (ButtonCount - 1) are read, at most the 51 records.
RemoteDefinition ReadRemoteFile(const std::string& path);

// The file's text up to its comments: the session's terminator at the time of saving and the
// panel window's size take the place of the definition's own.
std::string RemoteFileText(const RemoteDefinition& panel, LineTerminator terminator, int height,
                           int width);

// Writes the file anew (RemoteFileText, then the comments). The text goes into a new file
// beside path that then replaces it, so a failure leaves an earlier file as it was. False with
// a reason in *error when the file could not be written.
bool WriteRemoteFile(const std::string& path, const RemoteDefinition& panel,
                     LineTerminator terminator, int height, int width, std::string* error);

// The Remote menu's file dialogs: "Open a Remote..." and "Save a Remote", remote files,
// starting with the panel's path in the given folder.
FileChoice OpenRemoteChoice(const std::string& panelPath, const std::string& folder);
FileChoice SaveRemoteChoice(const std::string& panelPath, const std::string& folder);

}  // namespace ostrel
