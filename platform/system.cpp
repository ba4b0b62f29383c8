// Thread ids, the tick count and the per-thread last error.
#include <unistd.h>

#include <ctime>

#include "platform/system.h"

namespace {
thread_local DWORD tLastError = 0;
thread_local DWORD tThreadId = 0;
}  // namespace

extern "C" {

DWORD PlatformGetCurrentThreadId(void) {
    if (tThreadId == 0) tThreadId = static_cast<DWORD>(gettid());
    return tThreadId;
}

DWORD PlatformGetTickCount(void) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
    return static_cast<DWORD>(ms);
}

DWORD PlatformGetLastError(void) { return tLastError; }

void PlatformSetLastError(DWORD error) { tLastError = error; }

}  // extern "C"
