// How a modal dialog that edits a record was closed.
#pragma once

namespace ostrel {

enum class DialogResult { Cancelled, Confirmed };

}  // namespace ostrel
