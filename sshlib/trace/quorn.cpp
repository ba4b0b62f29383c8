// Quorn, the trace library: the entry points the SSH library binds (quorn_abi.h). Text
// records become stamped lines, data records hex dumps, and each socket hook one line with
// the call, its arguments and its result.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "sshlib/api/tessan.h"
#include "sshlib/trace/quorn_abi.h"
#include "sshlib/trace/trace_file.h"

#define QUORN_EXPORT extern "C" __attribute__((visibility("default")))

namespace quorn {
namespace {

std::atomic<const QUORNERRORFUNCTIONS*> gErrorFunctions{nullptr};

// Keeps the socket error that the traced call left for its caller.
class ErrorKept {
public:
    ErrorKept() : functions_(gErrorFunctions.load()) {
        if (functions_ && functions_->getLastError) error_ = functions_->getLastError();
    }
    ~ErrorKept() {
        if (functions_ && functions_->setLastError) functions_->setLastError(error_);
    }
    DWORD Error() const { return error_; }

private:
    const QUORNERRORFUNCTIONS* functions_;
    DWORD error_ = 0;
};

std::string Address(INT_PTR pointer, INT_PTR length) {
    const auto* address = reinterpret_cast<const sockaddr*>(pointer);
    if (!address) return "NULL";
    char text[INET6_ADDRSTRLEN] = "?";
    if (address->sa_family == AF_INET && length >= static_cast<INT_PTR>(sizeof(sockaddr_in))) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(v4->sin_port));
    }
    if (address->sa_family == AF_INET6 && length >= static_cast<INT_PTR>(sizeof(sockaddr_in6))) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6->sin6_port));
    }
    return "family " + std::to_string(address->sa_family);
}

std::string PollEntries(INT_PTR pointer, INT_PTR count) {
    const auto* entries = reinterpret_cast<const pollfd*>(pointer);
    std::string text = "{";
    for (INT_PTR i = 0; entries && i < count && i < 8; ++i) {
        char entry[64];
        std::snprintf(entry, sizeof entry, "%s%d events 0x%X revents 0x%X", i ? ", " : "",
                      entries[i].fd, static_cast<unsigned>(entries[i].events),
                      static_cast<unsigned>(entries[i].revents));
        text += entry;
    }
    return text + "}";
}

void SocketCall(const char* name, INT_PTR result, const std::string& arguments) {
    ErrorKept kept;
    const bool failed = result < 0;
    if (!WantsSocketCall(failed)) return;
    std::string line = std::string(name) + "(" + arguments + ") = " + std::to_string(result);
    if (failed) line += " error " + std::to_string(kept.Error());
    WriteLine(line);
}

std::string Numbers(std::initializer_list<INT_PTR> values) {
    std::string text;
    for (INT_PTR v : values) {
        if (!text.empty()) text += ", ";
        text += std::to_string(v);
    }
    return text;
}

std::string Pointer(INT_PTR value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace
}  // namespace quorn

using namespace quorn;

QUORN_EXPORT INT DllGetVersion(QUORNVERSIONINFO* info) {
    if (!info || info->cbSize < sizeof *info) return -1;
    info->dwMajorVersion = SSH_VERSION_MAJOR;
    info->dwMinorVersion = SSH_VERSION_MINOR;
    info->dwBuildNumber = SSH_VERSION_BUILD;
    info->dwPlatformID = 2;
    return 0;
}

QUORN_EXPORT INT QuornOrdinal2(void) {
    return Disable() ? 1 : 0;
}

QUORN_EXPORT INT QuornOrdinal3(LPCSTR fileName, DWORD flags) {
    return Enable(fileName, flags) ? 1 : 0;
}

QUORN_EXPORT void QuornOrdinal7(const QUORNERRORFUNCTIONS* functions) {
    gErrorFunctions = functions;
}

QUORN_EXPORT void QuornOrdinal10(DWORD flags, const void* data, INT length) {
    if (!data) return;
    if (!(flags & TRACE_HEXDUMP)) {
        WriteLine(static_cast<const char*>(data));
    } else if (length > 0 && WantsHexDumps()) {
        WriteHexDump(static_cast<const uint8_t*>(data), static_cast<size_t>(length));
    }
}

QUORN_EXPORT void QuornOrdinal11(INT_PTR result, INT_PTR s, INT_PTR address, INT_PTR length,
                                 INT_PTR) {
    socklen_t size = length ? *reinterpret_cast<const socklen_t*>(length) : 0;
    SocketCall(
        "accept", result,
        std::to_string(s) + ", " + (result >= 0 ? Address(address, size) : Pointer(address)));
}

QUORN_EXPORT void QuornOrdinal12(INT_PTR result, INT_PTR s, INT_PTR address, INT_PTR length,
                                 INT_PTR) {
    SocketCall("bind", result, std::to_string(s) + ", " + Address(address, length));
}

QUORN_EXPORT void QuornOrdinal13(INT_PTR result, INT_PTR s, INT_PTR, INT_PTR, INT_PTR) {
    SocketCall("closesocket", result, Numbers({s}));
}

QUORN_EXPORT void QuornOrdinal14(INT_PTR result, INT_PTR s, INT_PTR address, INT_PTR length,
                                 INT_PTR) {
    SocketCall("connect", result, std::to_string(s) + ", " + Address(address, length));
}

QUORN_EXPORT void QuornOrdinal21(INT_PTR result, INT_PTR s, INT_PTR on, INT_PTR, INT_PTR) {
    SocketCall("ioctlsocket", result, std::to_string(s) + ", FIONBIO, " + std::to_string(on));
}

QUORN_EXPORT void QuornOrdinal22(INT_PTR result, INT_PTR s, INT_PTR backlog, INT_PTR, INT_PTR) {
    SocketCall("listen", result, Numbers({s, backlog}));
}

QUORN_EXPORT void QuornOrdinal23(INT_PTR result, INT_PTR s, INT_PTR buffer, INT_PTR size,
                                 INT_PTR flags) {
    SocketCall("recv", result,
               std::to_string(s) + ", " + Pointer(buffer) + ", " + Numbers({size, flags}));
}

QUORN_EXPORT void QuornOrdinal25(INT_PTR result, INT_PTR entries, INT_PTR count, INT_PTR timeout,
                                 INT_PTR) {
    SocketCall("select", result, PollEntries(entries, count) + ", " + Numbers({count, timeout}));
}

QUORN_EXPORT void QuornOrdinal26(INT_PTR result, INT_PTR s, INT_PTR buffer, INT_PTR size,
                                 INT_PTR flags) {
    SocketCall("send", result,
               std::to_string(s) + ", " + Pointer(buffer) + ", " + Numbers({size, flags}));
}

QUORN_EXPORT void QuornOrdinal28(INT_PTR result, INT_PTR s, INT_PTR level, INT_PTR option,
                                 INT_PTR value) {
    SocketCall("setsockopt", result, Numbers({s, level, option, value}));
}

QUORN_EXPORT void QuornOrdinal29(INT_PTR result, INT_PTR s, INT_PTR how, INT_PTR, INT_PTR) {
    SocketCall("shutdown", result, Numbers({s, how}));
}

QUORN_EXPORT void QuornOrdinal30(INT_PTR result, INT_PTR family, INT_PTR type, INT_PTR protocol,
                                 INT_PTR) {
    SocketCall("socket", result, Numbers({family, type, protocol}));
}

QUORN_EXPORT void QuornOrdinal32(INT_PTR result, INT_PTR s, INT_PTR window, INT_PTR message,
                                 INT_PTR events) {
    SocketCall("WSAAsyncSelect", result,
               std::to_string(s) + ", " + Pointer(window) + ", " + Numbers({message, events}));
}
