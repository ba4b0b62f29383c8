// SshEnableTraceA/W and SshDisableTrace: loading the trace library beside this one, checking its
// version, binding its entry points, and routing the socket hooks and the library's own records
// to it while anyone traces.
#include "sshlib/api/tracing.h"

#include <dlfcn.h>

#include <array>
#include <mutex>
#include <string>

#include "sshlib/api/tessan.h"
#include "sshlib/api/text_convert.h"
#include "sshlib/trace/quorn_abi.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"
#include "sshlib/transport/trace_records.h"

namespace tessan {
namespace {

constexpr DWORD kRequiredMajor = 7;
constexpr DWORD kRequiredMinor = 0;
constexpr DWORD kRequiredBuild = 7000;

// Process-wide; the library stays loaded once it was accepted.
struct TraceLibrary {
    std::mutex lock;
    void* module = nullptr;
    std::array<void*, QUORN_LAST_ORDINAL + 1> entries{};
    int users = 0;
};

TraceLibrary& State() {
    static auto* state = new TraceLibrary;
    return *state;
}

template <typename Proc>
Proc Entry(int ordinal) {
    return reinterpret_cast<Proc>(State().entries[static_cast<size_t>(ordinal)]);
}

int OrdinalOf(net::SocketCall call) {
    switch (call) {
        case net::SocketCall::kAccept:
            return QUORN_ORDINAL_ACCEPT;
        case net::SocketCall::kBind:
            return QUORN_ORDINAL_BIND;
        case net::SocketCall::kClose:
            return QUORN_ORDINAL_CLOSESOCKET;
        case net::SocketCall::kConnect:
            return QUORN_ORDINAL_CONNECT;
        case net::SocketCall::kNonBlocking:
            return QUORN_ORDINAL_IOCTLSOCKET;
        case net::SocketCall::kListen:
            return QUORN_ORDINAL_LISTEN;
        case net::SocketCall::kRecv:
            return QUORN_ORDINAL_RECV;
        case net::SocketCall::kPoll:
            return QUORN_ORDINAL_SELECT;
        case net::SocketCall::kSend:
            return QUORN_ORDINAL_SEND;
        case net::SocketCall::kSetsockopt:
            return QUORN_ORDINAL_SETSOCKOPT;
        case net::SocketCall::kShutdown:
            return QUORN_ORDINAL_SHUTDOWN;
        case net::SocketCall::kSocket:
            return QUORN_ORDINAL_SOCKET;
        case net::SocketCall::kAsyncSelect:
            return QUORN_ORDINAL_ASYNCSELECT;
    }
    return 0;
}

void SocketHook(net::SocketCall call, intptr_t result, const intptr_t* args, size_t count) {
    auto hook = Entry<QuornSocketHookProc>(OrdinalOf(call));
    if (!hook) return;
    INT_PTR a[4] = {};
    for (size_t i = 0; i < count && i < 4; ++i)
        a[i] = args[i];
    hook(result, a[0], a[1], a[2], a[3]);
}

void RecordSink(DWORD flags, const void* data, size_t length) {
    if (auto record = Entry<QuornRecordProc>(QUORN_ORDINAL_RECORD)) {
        record(flags, data, static_cast<INT>(length));
    }
}

DWORD GetSocketLastError() {
    return net::LastSocketError();
}

void SetSocketLastError(DWORD error) {
    net::SetSocketError(error);
}

// The trace library's path: the folder this library was loaded from (for a program linked
// with the library's code, the program's folder).
std::string TraceLibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&SshEnableTraceA), &info) == 0 || !info.dli_fname) {
        return QUORN_FILE_NAME;
    }
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? QUORN_FILE_NAME
                                      : path.substr(0, slash + 1) + QUORN_FILE_NAME;
}

// Loads and checks the trace library (under the state's lock). False when it is missing or
// of another version; it is then not kept.
bool LoadTraceLibrary(TraceLibrary& state) {
    void* module = dlopen(TraceLibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    auto getVersion = reinterpret_cast<QuornGetVersionProc>(dlsym(module, QUORN_VERSION_ENTRY));
    QUORNVERSIONINFO version{};
    version.cbSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0 || version.dwMajorVersion != kRequiredMajor ||
        version.dwMinorVersion != kRequiredMinor || version.dwBuildNumber < kRequiredBuild) {
        dlclose(module);
        return false;
    }
    state.module = module;
    for (int ordinal = QUORN_FIRST_ORDINAL; ordinal <= QUORN_LAST_ORDINAL; ++ordinal) {
        const std::string name = QUORN_ENTRY_PREFIX + std::to_string(ordinal);
        state.entries[static_cast<size_t>(ordinal)] = dlsym(module, name.c_str());
    }
    static const QUORNERRORFUNCTIONS kErrorFunctions = {GetSocketLastError, SetSocketLastError};
    if (auto setErrors = Entry<QuornErrorFunctionsProc>(QUORN_ORDINAL_ERROR_FUNCTIONS)) {
        setErrors(&kErrorFunctions);
    }
    return true;
}

// The hooks are in place exactly while someone traces.
void UpdateHooks(const TraceLibrary& state) {
    net::SetSocketTraceHook(state.users > 0 ? SocketHook : nullptr);
    trace::SetRecordSink(state.users > 0 ? RecordSink : nullptr);
}

}  // namespace

void EndTracing() {
    TraceLibrary& state = State();
    std::lock_guard lock(state.lock);
    const int users = state.users;
    state.users = 0;
    UpdateHooks(state);
    auto disable = Entry<QuornDisableProc>(QUORN_ORDINAL_DISABLE);
    for (int i = 0; i < users && disable; ++i)
        disable();
}

}  // namespace tessan

using namespace tessan;

extern "C" {

TESSAN_API INT SSHAPI SshEnableTraceA(LPCSTR lpszTraceFile, DWORD dwTraceFlags) {
    // The socket layer is bound by the first SshInitialize.
    if (!net::SocketTable().socket) return 0;
    TraceLibrary& state = State();
    std::lock_guard lock(state.lock);
    if (!state.module && !LoadTraceLibrary(state)) return 0;
    auto enable = Entry<QuornEnableProc>(QUORN_ORDINAL_ENABLE);
    const INT result = enable ? enable(lpszTraceFile, dwTraceFlags) : 0;
    // Only an enable that worked needs (and gets) a disable.
    if (result != 0) {
        ++state.users;
        UpdateHooks(state);
    }
    return result;
}

TESSAN_API INT SSHAPI SshEnableTraceW(LPCWSTR lpszTraceFile, DWORD dwTraceFlags) {
    if (!lpszTraceFile) return SshEnableTraceA(nullptr, dwTraceFlags);
    const std::string name = WideToUtf8(lpszTraceFile);
    return SshEnableTraceA(name.c_str(), dwTraceFlags);
}

TESSAN_API INT SSHAPI SshDisableTrace(void) {
    TraceLibrary& state = State();
    std::lock_guard lock(state.lock);
    if (state.users < 1) return 0;
    --state.users;
    UpdateHooks(state);
    auto disable = Entry<QuornDisableProc>(QUORN_ORDINAL_DISABLE);
    return disable ? disable() : 0;
}

}  // extern "C"
