#include "sshlib/transport/host_lookup.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/socket_notify.h"
#include "sshlib/transport/address_parse.h"
#include "sshlib/transport/blocking_wait.h"
#include "sshlib/transport/net_errors.h"
#include "sshlib/transport/socket_table.h"

namespace tessan::net {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// A resolver call runs on a helper thread so the caller can keep its messages flowing; when the
// caller stops waiting (timeout, cancel), the helper finishes on its own and frees the job.
struct LookupJob {
    std::string name;
    int (*resolve)(const char*, const char*, const addrinfo*, addrinfo**);
    void (*release)(addrinfo*);
    int doneFd = -1;
    std::mutex mutex;
    int status = 0;
    int savedErrno = 0;
    addrinfo* list = nullptr;

    ~LookupJob() {
        if (list && release) release(list);
        if (doneFd >= 0) close(doneFd);
    }

    void Run() {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_CANONNAME;
        addrinfo* found = nullptr;
        int rc = resolve(name.c_str(), nullptr, &hints, &found);
        int err = errno;
        std::lock_guard lock(mutex);
        status = rc;
        savedErrno = err;
        list = found;
        uint64_t one = 1;
        (void)!write(doneFd, &one, sizeof one);
    }
};

DWORD ResolverError(int status, int savedErrno) {
    switch (status) {
        case EAI_NONAME:
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
#endif
        case EAI_SERVICE: return kErrHostNotFound;
        case EAI_AGAIN: return kErrTryAgain;
#ifdef EAI_NODATA
        case EAI_NODATA: return kErrNoData;
#endif
        case EAI_MEMORY: return kErrOutOfMemory;
        case EAI_FAMILY: return kErrAddressFamily;
        case EAI_SYSTEM: return savedErrno ? PlatformSocketErrorFromErrno(savedErrno) : kErrNoRecovery;
        default: return kErrNoRecovery;
    }
}

int Fail(HostLookup& result, DWORD error) {
    result.error = error;
    SetSocketError(error);
    return -1;
}

void StoreAddresses(const addrinfo* list, HostLookup& result) {
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
        if ((ai->ai_family != AF_INET && ai->ai_family != AF_INET6) ||
            ai->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        HostAddress entry;
        std::memcpy(&entry.address, ai->ai_addr, ai->ai_addrlen);
        entry.length = ai->ai_addrlen;
        entry.family = ai->ai_family;
        bool duplicate = std::any_of(result.addresses.begin(), result.addresses.end(), [&](const HostAddress& a) {
            return a.length == entry.length && std::memcmp(&a.address, &entry.address, a.length) == 0;
        });
        if (!duplicate) result.addresses.push_back(entry);
    }
    if (list && list->ai_canonname)
        result.canonicalName.assign(list->ai_canonname,
                                    strnlen(list->ai_canonname, kMaxCanonicalNameLength));
}

int ResolveName(const std::string& name, int timeoutMs, HostLookup& result) {
    const SocketFunctions& table = SocketTable();
    if (!table.getaddrinfo || !table.freeaddrinfo) return Fail(result, kErrNotInitialised);
    auto job = std::make_shared<LookupJob>();
    job->name = name;
    job->resolve = table.getaddrinfo;
    job->release = table.freeaddrinfo;
    job->doneFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    bool threaded = false;
    if (job->doneFd >= 0) {
        try {
            std::thread([job] { job->Run(); }).detach();
            threaded = true;
        } catch (...) {
        }
    }
    if (!threaded) {
        job->Run();  // no helper available: resolve in place
    } else {
        WaitItem item{job->doneFd, POLLIN, 0};
        int ready = WaitForSockets(&item, 1, timeoutMs);
        if (ready < 0) return Fail(result, LastSocketError());
        if (ready == 0) return Fail(result, kErrTimedOut);
    }
    std::lock_guard lock(job->mutex);
    if (job->status != 0) return Fail(result, ResolverError(job->status, job->savedErrno));
    StoreAddresses(job->list, result);
    if (result.addresses.empty()) return Fail(result, kErrNoData);
    return 0;
}

}  // namespace

int LookupHost(std::string_view name, int timeoutMs, HostLookup& result) {
    result = HostLookup{};
    while (!name.empty() && IsBlank(name.front())) name.remove_prefix(1);
    if (name.empty() || name.size() > kMaxHostNameLength ||
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return Fail(result, kErrHostNotFound);
    if (std::optional<uint32_t> numeric = ParseNumericAddress(name)) {
        HostAddress entry;
        auto* v4 = reinterpret_cast<sockaddr_in*>(&entry.address);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(*numeric);
        entry.length = sizeof(sockaddr_in);
        entry.family = AF_INET;
        result.addresses.push_back(entry);
        result.family = kFamilyIpv4;
        result.canonicalName = std::string(name);
        return 0;
    }
    if (ResolveName(std::string(name), timeoutMs, result) != 0) return -1;
    bool allV4 = std::all_of(result.addresses.begin(), result.addresses.end(), [](const HostAddress& a) { return a.family == AF_INET; });
    bool allV6 = std::all_of(result.addresses.begin(), result.addresses.end(), [](const HostAddress& a) { return a.family == AF_INET6; });
    result.family = allV4 ? kFamilyIpv4 : allV6 ? kFamilyIpv6 : kFamilyAny;
    if (result.canonicalName.empty()) result.canonicalName = std::string(name);
    return 0;
}

bool IsLoopbackName(std::string_view name) {
    if (name == "localhost") return true;
    std::optional<uint32_t> numeric = ParseNumericAddress(name);
    return numeric && (*numeric >> 24) == 127;
}

bool IsLocalAddress(uint32_t address) {
    if ((address >> 24) == 127) return true;
    static std::once_flag once;
    static std::vector<uint32_t>* local = new std::vector<uint32_t>;
    std::call_once(once, [] {
        const SocketFunctions& table = SocketTable();
        ifaddrs* list = nullptr;
        if (!table.getifaddrs || !table.freeifaddrs || table.getifaddrs(&list) != 0) return;
        for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
                local->push_back(ntohl(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr));
        }
        table.freeifaddrs(list);
    });
    return std::find(local->begin(), local->end(), address) != local->end();
}

bool IsIpv6Available() {
    static const bool available = [] {
        int s = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (s < 0) return false;
        close(s);
        return true;
    }();
    if (!available) SetSocketError(kErrProtocolNotSupported);
    return available;
}

std::string AddressText(const HostAddress& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&address.address)->sin_addr, text, sizeof text);
    else if (address.family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&address.address)->sin6_addr, text, sizeof text);
    return text;
}

}  // namespace tessan::net
