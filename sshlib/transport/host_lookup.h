// Host lookup (numeric text or a name, every address the resolver returns), the local address
// test and the IPv6 availability test.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_types.h"

namespace tessan::net {

inline constexpr int kFamilyAny = 0;
inline constexpr int kFamilyIpv4 = 2;
inline constexpr int kFamilyIpv6 = 23;
inline constexpr size_t kMaxHostNameLength = 255;
inline constexpr size_t kMaxCanonicalNameLength = 512;

struct HostAddress {
    sockaddr_storage address{};  // port 0
    socklen_t length = 0;
    int family = 0;  // AF_INET or AF_INET6
};

struct HostLookup {
    DWORD error = 0;
    int family = kFamilyAny;  // kFamilyIpv4 / kFamilyIpv6 when every address is of that family
    std::vector<HostAddress> addresses;
    size_t current = 0;
    std::string canonicalName;  // the text as typed when no lookup took place
};

// Looks `name` up. Leading white space is skipped; numeric IPv4 text gives that one address
// without a lookup. A name is resolved (IPv4 and IPv6) while the calling thread's messages keep
// flowing (a blocking wait), for at most `timeoutMs` (negative: no limit).
// Returns 0, or -1 with the error in result.error and LastSocketError(): 11001 for an empty
// name, a name longer than 255 characters, a name with a NUL or control character, or an
// unknown name; 11002/11003/11004 for the resolver's other answers; 10060 on timeout; 10004
// when the wait was cancelled; 10036 when the thread already waits.
int LookupHost(std::string_view name, int timeoutMs, HostLookup& result);

// True when the text is the name "localhost" (exactly) or numeric text of 127.x.x.x.
bool IsLoopbackName(std::string_view name);

// True when the IPv4 address (host byte order) is 127.x.x.x or one of this machine's interface
// addresses (read once and cached).
bool IsLocalAddress(uint32_t address);

// True when IPv6 TCP sockets can be made (tested once); otherwise sets 10043 and returns false.
bool IsIpv6Available();

// Address text for logs and messages ("1.2.3.4", "::1").
std::string AddressText(const HostAddress& address);

}  // namespace tessan::net
