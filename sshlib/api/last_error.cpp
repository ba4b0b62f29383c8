// The per-thread last error and its process-wide copy.
#include <atomic>

#include "platform/system.h"
#include "sshlib/api/error_text.h"
#include "sshlib/api/tessan.h"

namespace {

thread_local DWORD tLastError = 0;
thread_local std::string tLastErrorDetail;
// The most recent error of any thread, written atomically.
std::atomic<DWORD> gProcessLastError{0};

}  // namespace

namespace tessan {

void SetLastErrorDetail(std::string_view detail) {
    tLastErrorDetail.assign(detail);
}

const std::string& LastErrorDetail() {
    return tLastErrorDetail;
}

}  // namespace tessan

extern "C" {

TESSAN_API DWORD SSHAPI SshGetLastError(void) {
    return tLastError;
}

TESSAN_API void SSHAPI SshSetLastError(DWORD dwError) {
    if (dwError >= 1 && dwError <= 0xFFFF) dwError |= KX_ERROR_BASE;
    tLastError = dwError;
    tLastErrorDetail.clear();
    gProcessLastError.exchange(dwError);
    PlatformSetLastError(dwError);
}

}  // extern "C"
