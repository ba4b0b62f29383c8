// The common file dialog for a FileChoice.
#pragma once

#include <optional>
#include <string>

#include "terminal/persist/file_choice.h"

class QWidget;

namespace ostrel {

// The chosen path (UTF-8), or nullopt when the dialog was cancelled. A save dialog asks before
// an existing file is replaced.
std::optional<std::string> RunFileDialog(QWidget* parent, const FileChoice& choice);

}  // namespace ostrel
