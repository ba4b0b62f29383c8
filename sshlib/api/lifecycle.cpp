// SshInitialize and SshUninitialize.
#include "sshlib/api/lifecycle.h"
#include "sshlib/api/error_codes.h"

#include <atomic>
#include <cstring>

#include "platform/system.h"
#include "sshlib/api/client.h"
#include "sshlib/api/events.h"
#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/api/tracing.h"
#include "sshlib/transport/socket_table.h"

namespace tessan {
namespace {

constexpr char kDescription[] = "Carrack Secure Shell Protocol Library";
constexpr DWORD kSocketVersionWord = 0x0202;

std::atomic<const void*> gModule{nullptr};
std::atomic<int> gLoadCount{0};
std::atomic<DWORD> gHandleBase{4096};
int gInitCount = 0;

// Steps of the last SshUninitialize, in order.
void (*const kFinalTeardown[])() = {
    [] {
        // Every window the library subclassed gets its chain back (with the link go the re-key
        // timers of its handles) ...
        for (const ClientPtr& client : AllClients())
            ReleaseNotificationWindow(*client);
        ReleaseAllSubclassedWindows();
    },
    [] {
        // ... and every handle still open is destroyed as if its owner had disconnected it.
        for (const ClientPtr& client : AllClients()) {
            client->owner = PlatformGetCurrentThreadId();
            DestroyClient(client);
        }
    },
    [] { EndTracing(); },
    [] { net::CleanupSocketSubsystem(); },
};

}  // namespace

void ProcessAttach(const void* module) {
    if (gLoadCount.fetch_add(1) + 1 != 1) return;
    gHandleBase = 4096 + (PlatformGetTickCount() & 255);
    gModule = module;
}

void ProcessDetach() {
    int count = gLoadCount.fetch_sub(1) - 1;
    if (count < 0) {
        gLoadCount = -1;
        return;
    }
    if (count == 0) gModule = nullptr;
}

std::recursive_mutex& LibraryLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

DWORD HandleBase() {
    return gHandleBase.load();
}

int InitializationCount() {
    return gInitCount;
}

}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API BOOL SSHAPI SshInitializeA(LPCSTR lpszReserved, LPINITDATA lpInitData) {
    (void)lpszReserved;
    if (gModule.load() == nullptr) ProcessAttach(nullptr);
    std::unique_lock lock(LibraryLock());
    if (lpInitData) {
        if (lpInitData->dwSize != sizeof(INITDATA)) {
            lock.unlock();
            SshSetLastError(KX_ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        lpInitData->dwVersionMajor = SSH_VERSION_MAJOR;
        lpInitData->dwVersionMinor = SSH_VERSION_MINOR;
        lpInitData->dwVersionBuild = SSH_VERSION_BUILD;
        lpInitData->dwOptions = 0;
        lpInitData->dwReserved1 = 0;
        lpInitData->dwReserved2 = 0;
        std::memcpy(lpInitData->szDescription, kDescription, sizeof kDescription);
    }
    if (DWORD failure = net::StartSocketSubsystem()) {
        lock.unlock();
        SshSetLastError(ApiError(failure));
        return FALSE;
    }
    ++gInitCount;
    if (lpInitData) lpInitData->dwReserved2 = kSocketVersionWord;
    lock.unlock();
    SshSetLastError(0);
    return TRUE;
}

TESSAN_API BOOL SSHAPI SshInitializeW(LPCWSTR lpszReserved, LPINITDATAW lpInitData) {
    if (lpInitData && lpInitData->dwSize != sizeof(INITDATAW)) {
        SshSetLastError(KX_ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    INITDATA narrow{};
    narrow.dwSize = sizeof narrow;
    std::string reserved = WideToUtf8(lpszReserved);
    BOOL result =
        SshInitializeA(lpszReserved ? reserved.c_str() : nullptr, lpInitData ? &narrow : nullptr);
    if (lpInitData) {
        lpInitData->dwVersionMajor = narrow.dwVersionMajor;
        lpInitData->dwVersionMinor = narrow.dwVersionMinor;
        lpInitData->dwVersionBuild = narrow.dwVersionBuild;
        lpInitData->dwOptions = narrow.dwOptions;
        lpInitData->dwReserved1 = narrow.dwReserved1;
        lpInitData->dwReserved2 = narrow.dwReserved2;
        CopyUtf8ToWide(std::string_view(narrow.szDescription,
                                        strnlen(narrow.szDescription, sizeof narrow.szDescription)),
                       lpInitData->szDescription, SSH_DESCRIPTION_LENGTH);
    }
    return result;
}

TESSAN_API void SSHAPI SshUninitialize(void) {
    std::unique_lock lock(LibraryLock());
    if (gInitCount > 0 && --gInitCount == 0) {
        // Calls in progress on other threads end first, their waits cancelled, so that nothing
        // is freed under them; meanwhile new calls are refused and the lock is free for the
        // ending calls to use.
        const std::vector<ClientPtr> clients = AllClients();
        for (const ClientPtr& client : clients)
            client->teardown = true;
        lock.unlock();
        for (const ClientPtr& client : clients)
            AwaitCallsOfOtherThreads(*client);
        lock.lock();
        for (auto step : kFinalTeardown)
            step();
    }
    lock.unlock();
    if (gModule.load() == nullptr) ProcessDetach();
}

}  // extern "C"
