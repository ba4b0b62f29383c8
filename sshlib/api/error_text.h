// The library's message table, and the detail that may accompany the calling thread's last
// error (SshGetErrorDetailA).
#pragma once

#include <string>
#include <string_view>

#include "platform/platform_types.h"

namespace tessan {

// The text of a library error code (0x80040000 + n), or NULL when the table has none.
const char* ErrorText(DWORD code);

// Attaches a detail to the last error just set; SshSetLastError empties it.
void SetLastErrorDetail(std::string_view detail);
const std::string& LastErrorDetail();

}  // namespace tessan
