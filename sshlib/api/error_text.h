// The library's message table.
#pragma once

#include "platform/platform_types.h"

namespace tessan {

// The text of a library error code (0x80040000 + n), or NULL when the table has none.
const char* ErrorText(DWORD code);

}  // namespace tessan
