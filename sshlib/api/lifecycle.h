// Process-wide state of the library: load set-up, the library lock, the handle base and the
// initialisation count.
#pragma once

#include <mutex>

#include "platform/platform_types.h"

namespace tessan {

// The load set-up and teardown, run by the shared library's load and unload notifications, or
// by SshInitialize/SshUninitialize themselves when no load notification was received (the
// library linked statically). `module` is the loaded library's identity, NULL for the latter.
void ProcessAttach(const void* module);
void ProcessDetach();

// The one library lock: the handle table, the initialisation count and the table of
// subclassed windows. Recursive, so a teardown step may use calls that take it too.
std::recursive_mutex& LibraryLock();

// 4096 plus the low 8 bits of the tick count at load: client handles are base + table index.
DWORD HandleBase();

// Successful SshInitialize calls not yet undone (read under the library lock).
int InitializationCount();

}  // namespace tessan
